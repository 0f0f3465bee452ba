// bcrypt (CNG) bound at run time from the system folder: the SHA-256 calls of the key pin and
// the package digest.
#pragma once

#include <windows.h>
#include <bcrypt.h>

#include "app/scoped_handle.h"

namespace velmora {

struct BcryptApi {
  HMODULE module = nullptr;
  decltype(&::BCryptOpenAlgorithmProvider) BCryptOpenAlgorithmProvider = nullptr;
  decltype(&::BCryptCreateHash) BCryptCreateHash = nullptr;
  decltype(&::BCryptHashData) BCryptHashData = nullptr;
  decltype(&::BCryptFinishHash) BCryptFinishHash = nullptr;
  decltype(&::BCryptDestroyHash) BCryptDestroyHash = nullptr;
  decltype(&::BCryptCloseAlgorithmProvider) BCryptCloseAlgorithmProvider = nullptr;
  bool available = false;  // the module and every entry point are present
};

// The process-wide table, built on the first call (thread-safe) and kept for the process's
// life; a failed load is not retried.
const BcryptApi& GetBcryptApi();

// The table's handles close through the table, so their traits point at it.
struct BcryptProviderTraits {
  using Value = BCRYPT_ALG_HANDLE;
  const BcryptApi* api = nullptr;
  static bool Valid(BCRYPT_ALG_HANDLE provider) { return provider != nullptr; }
  void Close(BCRYPT_ALG_HANDLE provider) const { api->BCryptCloseAlgorithmProvider(provider, 0); }
};

struct BcryptHashTraits {
  using Value = BCRYPT_HASH_HANDLE;
  const BcryptApi* api = nullptr;
  static bool Valid(BCRYPT_HASH_HANDLE hash) { return hash != nullptr; }
  void Close(BCRYPT_HASH_HANDLE hash) const { api->BCryptDestroyHash(hash); }
};

using ScopedBcryptProvider = Scoped<BcryptProviderTraits>;
using ScopedBcryptHash = Scoped<BcryptHashTraits>;

}  // namespace velmora
