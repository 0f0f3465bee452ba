#include "net/winhttp_api.h"

namespace velmora {
namespace {

template <typename Function>
void Resolve(HMODULE module, const char* name, Function& field) {
  field = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

WinHttpApi LoadWinHttpApi() {
  WinHttpApi api;
  api.module = LoadLibraryExW(L"winhttp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (api.module == nullptr) return api;
  Resolve(api.module, "WinHttpOpen", api.WinHttpOpen);
  Resolve(api.module, "WinHttpConnect", api.WinHttpConnect);
  Resolve(api.module, "WinHttpOpenRequest", api.WinHttpOpenRequest);
  Resolve(api.module, "WinHttpSetOption", api.WinHttpSetOption);
  Resolve(api.module, "WinHttpSetTimeouts", api.WinHttpSetTimeouts);
  Resolve(api.module, "WinHttpSendRequest", api.WinHttpSendRequest);
  Resolve(api.module, "WinHttpReceiveResponse", api.WinHttpReceiveResponse);
  Resolve(api.module, "WinHttpQueryHeaders", api.WinHttpQueryHeaders);
  Resolve(api.module, "WinHttpReadData", api.WinHttpReadData);
  Resolve(api.module, "WinHttpCloseHandle", api.WinHttpCloseHandle);
  Resolve(api.module, "WinHttpQueryOption", api.WinHttpQueryOption);
  api.available = HasRequiredWinHttpEntryPoints(api);
  return api;
}

}  // namespace

bool HasRequiredWinHttpEntryPoints(const WinHttpApi& api) {
  return api.module != nullptr && api.WinHttpOpen != nullptr && api.WinHttpConnect != nullptr &&
         api.WinHttpOpenRequest != nullptr && api.WinHttpSetOption != nullptr &&
         api.WinHttpSendRequest != nullptr && api.WinHttpReceiveResponse != nullptr &&
         api.WinHttpQueryHeaders != nullptr && api.WinHttpReadData != nullptr &&
         api.WinHttpCloseHandle != nullptr && api.WinHttpQueryOption != nullptr;
}

const WinHttpApi& GetWinHttpApi() {
  // A function-local static: built once, and a concurrent first caller waits for it.
  static const WinHttpApi api = LoadWinHttpApi();
  return api;
}

}  // namespace velmora
