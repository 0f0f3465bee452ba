// userenv bound at run time from the system folder: the signed-in user's environment block.
#pragma once

#include <windows.h>
#include <userenv.h>

namespace velmora {

struct UserenvApi {
  HMODULE module = nullptr;
  decltype(&::CreateEnvironmentBlock) CreateEnvironmentBlock = nullptr;
  decltype(&::DestroyEnvironmentBlock) DestroyEnvironmentBlock = nullptr;
  bool available = false;  // the module and both entry points are present
};

// The process-wide table, built on the first call (thread-safe) and kept for the process's
// life; a failed load is not retried.
const UserenvApi& GetUserenvApi();

// CreateEnvironmentBlock through the table. When userenv could not be bound: FALSE, a null
// block and the last error ERROR_MOD_NOT_FOUND.
[[nodiscard]] BOOL CreateUserEnvironmentBlock(LPVOID* block, HANDLE token, BOOL inherit);
// DestroyEnvironmentBlock through the table, for a block made by the function above.
BOOL DestroyUserEnvironmentBlock(LPVOID block);

}  // namespace velmora
