// wintrust bound at run time from the system folder: Windows' verdict on a file's Authenticode
// signature, and the signer it found.
#pragma once

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>

namespace velmora {

struct WintrustApi {
  HMODULE module = nullptr;
  decltype(&::WinVerifyTrust) WinVerifyTrust = nullptr;
  decltype(&::WTHelperProvDataFromStateData) WTHelperProvDataFromStateData = nullptr;
  decltype(&::WTHelperGetProvSignerFromChain) WTHelperGetProvSignerFromChain = nullptr;
  decltype(&::WTHelperGetProvCertFromChain) WTHelperGetProvCertFromChain = nullptr;
  bool available = false;  // the module and every entry point are present
};

// The process-wide table, built on the first call (thread-safe) and kept for the process's
// life; a failed load is not retried.
const WintrustApi& GetWintrustApi();

}  // namespace velmora
