#include "net/win/sha256_hash.h"

#include "net/win/bcrypt_api.h"
#include "net/text_encoding.h"

namespace velmora {
namespace {

constexpr ULONG kDigestBytes = 32;

bool Succeeded(NTSTATUS status) { return status >= 0; }

}  // namespace

Sha256Hash::Sha256Hash() : api_(GetBcryptApi()) {
  if (!api_.available) return;
  BCRYPT_ALG_HANDLE provider = nullptr;
  if (!Succeeded(api_.BCryptOpenAlgorithmProvider(&provider, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) return;
  provider_ = ScopedBcryptProvider(provider, {&api_});
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!Succeeded(api_.BCryptCreateHash(provider, &hash, nullptr, 0, nullptr, 0, 0))) return;
  hash_ = ScopedBcryptHash(hash, {&api_});
}

bool Sha256Hash::Update(const unsigned char* bytes, std::size_t count) {
  return Valid() &&
         Succeeded(api_.BCryptHashData(hash_.Get(), const_cast<PUCHAR>(bytes), static_cast<ULONG>(count), 0));
}

bool Sha256Hash::Finish(std::array<std::uint8_t, 32>& digest) {
  return Valid() && Succeeded(api_.BCryptFinishHash(hash_.Get(), digest.data(), kDigestBytes, 0));
}

bool Sha256Hash::FinishHex(std::string& hex) {
  std::array<std::uint8_t, kDigestBytes> digest{};
  if (!Finish(digest)) return false;
  hex = HexEncodeLower(digest.data(), kDigestBytes);
  return true;
}

}  // namespace velmora
