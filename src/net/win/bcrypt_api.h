// bcrypt (CNG) bound at run time from the system folder: the SHA-256 calls of the key pin and
// the package digest, and the ECDSA calls that check the manifest's signature.
#pragma once

#include <windows.h>
#include <bcrypt.h>

#include "base/win/scoped_handle.h"

namespace velmora {

struct BcryptApi {
  HMODULE module = nullptr;
  decltype(&::BCryptOpenAlgorithmProvider) BCryptOpenAlgorithmProvider = nullptr;
  decltype(&::BCryptCreateHash) BCryptCreateHash = nullptr;
  decltype(&::BCryptHashData) BCryptHashData = nullptr;
  decltype(&::BCryptFinishHash) BCryptFinishHash = nullptr;
  decltype(&::BCryptDestroyHash) BCryptDestroyHash = nullptr;
  decltype(&::BCryptCloseAlgorithmProvider) BCryptCloseAlgorithmProvider = nullptr;
  decltype(&::BCryptImportKeyPair) BCryptImportKeyPair = nullptr;
  decltype(&::BCryptVerifySignature) BCryptVerifySignature = nullptr;
  decltype(&::BCryptDestroyKey) BCryptDestroyKey = nullptr;
  bool available = false;  // the module and every entry point are present
};

// The process-wide table, built on the first call (thread-safe) and kept for the process's
// life; a failed load is not retried.
const BcryptApi& GetBcryptApi();

// The table's handles close through the table.
inline void CloseBcryptProvider(const BcryptApi& api, BCRYPT_ALG_HANDLE provider) {
  api.BCryptCloseAlgorithmProvider(provider, 0);
}
inline void DestroyBcryptHash(const BcryptApi& api, BCRYPT_HASH_HANDLE hash) { api.BCryptDestroyHash(hash); }
inline void DestroyBcryptKey(const BcryptApi& api, BCRYPT_KEY_HANDLE key) { api.BCryptDestroyKey(key); }

using ScopedBcryptProvider = Scoped<TableHandleTraits<BcryptApi, BCRYPT_ALG_HANDLE, CloseBcryptProvider>>;
using ScopedBcryptHash = Scoped<TableHandleTraits<BcryptApi, BCRYPT_HASH_HANDLE, DestroyBcryptHash>>;
using ScopedBcryptKey = Scoped<TableHandleTraits<BcryptApi, BCRYPT_KEY_HANDLE, DestroyBcryptKey>>;

}  // namespace velmora
