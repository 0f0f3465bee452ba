#include "net/sha256_hash.h"

#include "net/text_encoding.h"

namespace velmora {
namespace {

constexpr ULONG kDigestBytes = 32;

bool Succeeded(NTSTATUS status) { return status >= 0; }

}  // namespace

Sha256Hash::Sha256Hash() {
  if (!Succeeded(BCryptOpenAlgorithmProvider(&provider_, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
    provider_ = nullptr;
    return;
  }
  if (!Succeeded(BCryptCreateHash(provider_, &hash_, nullptr, 0, nullptr, 0, 0))) hash_ = nullptr;
}

Sha256Hash::~Sha256Hash() {
  if (hash_ != nullptr) BCryptDestroyHash(hash_);
  if (provider_ != nullptr) BCryptCloseAlgorithmProvider(provider_, 0);
}

bool Sha256Hash::Update(const unsigned char* bytes, std::size_t count) {
  return Valid() && Succeeded(BCryptHashData(hash_, const_cast<PUCHAR>(bytes),
                                             static_cast<ULONG>(count), 0));
}

bool Sha256Hash::FinishHex(std::string& hex) {
  unsigned char digest[kDigestBytes] = {};
  if (!Valid() || !Succeeded(BCryptFinishHash(hash_, digest, kDigestBytes, 0))) return false;
  hex = HexEncodeLower(digest, kDigestBytes);
  return true;
}

}  // namespace velmora
