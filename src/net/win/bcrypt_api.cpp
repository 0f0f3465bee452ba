#include "net/win/bcrypt_api.h"

#include "base/win/system_library.h"

namespace velmora {
namespace {

BcryptApi LoadBcryptApi() {
  BcryptApi api;
  api.module = LoadSystemLibrary(L"bcrypt.dll");
  if (api.module == nullptr) return api;
  ResolveEntryPoint(api.module, "BCryptOpenAlgorithmProvider", api.BCryptOpenAlgorithmProvider);
  ResolveEntryPoint(api.module, "BCryptCreateHash", api.BCryptCreateHash);
  ResolveEntryPoint(api.module, "BCryptHashData", api.BCryptHashData);
  ResolveEntryPoint(api.module, "BCryptFinishHash", api.BCryptFinishHash);
  ResolveEntryPoint(api.module, "BCryptDestroyHash", api.BCryptDestroyHash);
  ResolveEntryPoint(api.module, "BCryptCloseAlgorithmProvider", api.BCryptCloseAlgorithmProvider);
  ResolveEntryPoint(api.module, "BCryptImportKeyPair", api.BCryptImportKeyPair);
  ResolveEntryPoint(api.module, "BCryptVerifySignature", api.BCryptVerifySignature);
  ResolveEntryPoint(api.module, "BCryptDestroyKey", api.BCryptDestroyKey);
  api.available = api.BCryptOpenAlgorithmProvider != nullptr && api.BCryptCreateHash != nullptr &&
                  api.BCryptHashData != nullptr && api.BCryptFinishHash != nullptr &&
                  api.BCryptDestroyHash != nullptr && api.BCryptCloseAlgorithmProvider != nullptr &&
                  api.BCryptImportKeyPair != nullptr && api.BCryptVerifySignature != nullptr &&
                  api.BCryptDestroyKey != nullptr;
  return api;
}

}  // namespace

const BcryptApi& GetBcryptApi() {
  static const BcryptApi api = LoadBcryptApi();
  return api;
}

}  // namespace velmora
