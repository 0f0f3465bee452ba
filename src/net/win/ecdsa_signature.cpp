#include "net/win/ecdsa_signature.h"

#include <windows.h>
#include <bcrypt.h>

#include <array>
#include <cstring>

#include "net/error_text.h"
#include "net/win/bcrypt_api.h"
#include "net/win/sha256_hash.h"

namespace velmora {
namespace {

constexpr NTSTATUS kStatusInvalidSignature = static_cast<NTSTATUS>(0xC000A000);

bool Succeeded(NTSTATUS status) { return status >= 0; }

void SetStatusError(std::string* error, const char* message, NTSTATUS status) {
  SetError(error, std::string(message) + " (" + FormatHresult(status) + ")");
}

// The public key as CNG imports it: its blob header, then X and Y.
std::array<std::uint8_t, sizeof(BCRYPT_ECCKEY_BLOB) + 64> PublicKeyBlob(const EcdsaP256PublicKey& key) {
  std::array<std::uint8_t, sizeof(BCRYPT_ECCKEY_BLOB) + 64> blob{};
  const BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  std::memcpy(blob.data(), &header, sizeof header);
  std::memcpy(blob.data() + sizeof header, key.data(), key.size());
  return blob;
}

}  // namespace

SignatureVerdict VerifyEcdsaP256Sha256(const EcdsaP256PublicKey& key, std::string_view message,
                                       const EcdsaP256Signature& signature, std::string* error) {
  const BcryptApi& api = GetBcryptApi();
  if (!api.available) {
    SetError(error, "bcrypt is unavailable");
    return SignatureVerdict::kError;
  }
  std::array<std::uint8_t, 32> digest{};
  Sha256Hash hash;
  if (!hash.Update(reinterpret_cast<const unsigned char*>(message.data()), message.size()) ||
      !hash.Finish(digest)) {
    SetError(error, "Unable to compute the SHA-256 of the signed text");
    return SignatureVerdict::kError;
  }
  BCRYPT_ALG_HANDLE rawProvider = nullptr;
  NTSTATUS status = api.BCryptOpenAlgorithmProvider(&rawProvider, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0);
  if (!Succeeded(status)) {
    SetStatusError(error, "Unable to open the ECDSA P-256 provider", status);
    return SignatureVerdict::kError;
  }
  const ScopedBcryptProvider provider(rawProvider, {&api});
  auto blob = PublicKeyBlob(key);
  BCRYPT_KEY_HANDLE rawKey = nullptr;
  status = api.BCryptImportKeyPair(provider.Get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &rawKey, blob.data(),
                                   static_cast<ULONG>(blob.size()), 0);
  if (!Succeeded(status)) {
    SetStatusError(error, "Unable to import the manifest signing key", status);
    return SignatureVerdict::kError;
  }
  const ScopedBcryptKey publicKey(rawKey, {&api});
  EcdsaP256Signature raw = signature;
  status =
      api.BCryptVerifySignature(publicKey.Get(), nullptr, digest.data(), static_cast<ULONG>(digest.size()),
                                raw.data(), static_cast<ULONG>(raw.size()), 0);
  if (Succeeded(status)) return SignatureVerdict::kValid;
  if (status == kStatusInvalidSignature) return SignatureVerdict::kInvalid;
  SetStatusError(error, "Unable to verify the signature", status);
  return SignatureVerdict::kError;
}

}  // namespace velmora
