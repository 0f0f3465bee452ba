// WinHTTP bound at run time: the program does not link against it. Every WinHTTP call of the
// program goes through this table, built once per process from the system folder's copy only.
#pragma once

#include <windows.h>
#include <winhttp.h>

namespace velmora {

struct WinHttpApi {
  HMODULE module = nullptr;
  decltype(&::WinHttpOpen) WinHttpOpen = nullptr;
  decltype(&::WinHttpConnect) WinHttpConnect = nullptr;
  decltype(&::WinHttpOpenRequest) WinHttpOpenRequest = nullptr;
  decltype(&::WinHttpSetOption) WinHttpSetOption = nullptr;
  decltype(&::WinHttpSetTimeouts) WinHttpSetTimeouts = nullptr;  // optional
  decltype(&::WinHttpSendRequest) WinHttpSendRequest = nullptr;
  decltype(&::WinHttpReceiveResponse) WinHttpReceiveResponse = nullptr;
  decltype(&::WinHttpQueryHeaders) WinHttpQueryHeaders = nullptr;
  decltype(&::WinHttpQueryDataAvailable) WinHttpQueryDataAvailable = nullptr;
  decltype(&::WinHttpReadData) WinHttpReadData = nullptr;
  decltype(&::WinHttpCloseHandle) WinHttpCloseHandle = nullptr;
  decltype(&::WinHttpQueryOption) WinHttpQueryOption = nullptr;
  bool available = false;
};

// The process-wide table. The first call loads winhttp.dll (LOAD_LIBRARY_SEARCH_SYSTEM32) and
// resolves the entry points; later calls, from any thread, return the same table. The library
// is never unloaded and a failed load is not retried.
const WinHttpApi& GetWinHttpApi();

// The availability rule: the module and every entry point but WinHttpSetTimeouts are present.
[[nodiscard]] bool HasRequiredWinHttpEntryPoints(const WinHttpApi& api);

}  // namespace velmora
