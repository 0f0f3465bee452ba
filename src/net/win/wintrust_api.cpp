#include "net/win/wintrust_api.h"

#include "base/win/system_library.h"

namespace velmora {
namespace {

WintrustApi LoadWintrustApi() {
  WintrustApi api;
  api.module = LoadSystemLibrary(L"wintrust.dll");
  if (api.module == nullptr) return api;
  ResolveEntryPoint(api.module, "WinVerifyTrust", api.WinVerifyTrust);
  ResolveEntryPoint(api.module, "WTHelperProvDataFromStateData", api.WTHelperProvDataFromStateData);
  ResolveEntryPoint(api.module, "WTHelperGetProvSignerFromChain", api.WTHelperGetProvSignerFromChain);
  ResolveEntryPoint(api.module, "WTHelperGetProvCertFromChain", api.WTHelperGetProvCertFromChain);
  api.available = api.WinVerifyTrust != nullptr && api.WTHelperProvDataFromStateData != nullptr &&
                  api.WTHelperGetProvSignerFromChain != nullptr &&
                  api.WTHelperGetProvCertFromChain != nullptr;
  return api;
}

}  // namespace

const WintrustApi& GetWintrustApi() {
  static const WintrustApi api = LoadWintrustApi();
  return api;
}

}  // namespace velmora
