#include "net/win/winhttp_api.h"

#include "base/win/system_library.h"

namespace velmora {
namespace {

WinHttpApi LoadWinHttpApi() {
  WinHttpApi api;
  api.module = LoadSystemLibrary(L"winhttp.dll");
  if (api.module == nullptr) return api;
  ResolveEntryPoint(api.module, "WinHttpOpen", api.WinHttpOpen);
  ResolveEntryPoint(api.module, "WinHttpConnect", api.WinHttpConnect);
  ResolveEntryPoint(api.module, "WinHttpOpenRequest", api.WinHttpOpenRequest);
  ResolveEntryPoint(api.module, "WinHttpSetOption", api.WinHttpSetOption);
  ResolveEntryPoint(api.module, "WinHttpSetTimeouts", api.WinHttpSetTimeouts);
  ResolveEntryPoint(api.module, "WinHttpSendRequest", api.WinHttpSendRequest);
  ResolveEntryPoint(api.module, "WinHttpReceiveResponse", api.WinHttpReceiveResponse);
  ResolveEntryPoint(api.module, "WinHttpQueryHeaders", api.WinHttpQueryHeaders);
  ResolveEntryPoint(api.module, "WinHttpQueryDataAvailable", api.WinHttpQueryDataAvailable);
  ResolveEntryPoint(api.module, "WinHttpReadData", api.WinHttpReadData);
  ResolveEntryPoint(api.module, "WinHttpCloseHandle", api.WinHttpCloseHandle);
  ResolveEntryPoint(api.module, "WinHttpQueryOption", api.WinHttpQueryOption);
  api.available = HasRequiredWinHttpEntryPoints(api);
  return api;
}

}  // namespace

bool HasRequiredWinHttpEntryPoints(const WinHttpApi& api) {
  return api.module != nullptr && api.WinHttpOpen != nullptr && api.WinHttpConnect != nullptr &&
         api.WinHttpOpenRequest != nullptr && api.WinHttpSetOption != nullptr &&
         api.WinHttpSendRequest != nullptr && api.WinHttpReceiveResponse != nullptr &&
         api.WinHttpQueryHeaders != nullptr && api.WinHttpQueryDataAvailable != nullptr &&
         api.WinHttpReadData != nullptr && api.WinHttpCloseHandle != nullptr &&
         api.WinHttpQueryOption != nullptr;
}

const WinHttpApi& GetWinHttpApi() {
  // A function-local static: built once, and a concurrent first caller waits for it.
  static const WinHttpApi api = LoadWinHttpApi();
  return api;
}

}  // namespace velmora
