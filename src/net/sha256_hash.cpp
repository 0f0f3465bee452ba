#include "net/sha256_hash.h"

#include "net/bcrypt_api.h"
#include "net/text_encoding.h"

namespace velmora {
namespace {

constexpr ULONG kDigestBytes = 32;

bool Succeeded(NTSTATUS status) { return status >= 0; }

}  // namespace

Sha256Hash::Sha256Hash() : api_(GetBcryptApi()) {
  if (!api_.available) return;
  if (!Succeeded(api_.BCryptOpenAlgorithmProvider(&provider_, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
    provider_ = nullptr;
    return;
  }
  if (!Succeeded(api_.BCryptCreateHash(provider_, &hash_, nullptr, 0, nullptr, 0, 0))) hash_ = nullptr;
}

Sha256Hash::~Sha256Hash() {
  if (hash_ != nullptr) api_.BCryptDestroyHash(hash_);
  if (provider_ != nullptr) api_.BCryptCloseAlgorithmProvider(provider_, 0);
}

bool Sha256Hash::Update(const unsigned char* bytes, std::size_t count) {
  return Valid() && Succeeded(api_.BCryptHashData(hash_, const_cast<PUCHAR>(bytes),
                                                  static_cast<ULONG>(count), 0));
}

bool Sha256Hash::FinishHex(std::string& hex) {
  unsigned char digest[kDigestBytes] = {};
  if (!Valid() || !Succeeded(api_.BCryptFinishHash(hash_, digest, kDigestBytes, 0))) return false;
  hex = HexEncodeLower(digest, kDigestBytes);
  return true;
}

}  // namespace velmora
