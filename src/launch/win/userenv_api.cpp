#include "launch/win/userenv_api.h"

#include "base/win/system_library.h"

namespace velmora {
namespace {

UserenvApi LoadUserenvApi() {
  UserenvApi api;
  api.module = LoadSystemLibrary(L"userenv.dll");
  if (api.module == nullptr) return api;
  ResolveEntryPoint(api.module, "CreateEnvironmentBlock", api.CreateEnvironmentBlock);
  ResolveEntryPoint(api.module, "DestroyEnvironmentBlock", api.DestroyEnvironmentBlock);
  api.available = api.CreateEnvironmentBlock != nullptr && api.DestroyEnvironmentBlock != nullptr;
  return api;
}

}  // namespace

const UserenvApi& GetUserenvApi() {
  static const UserenvApi api = LoadUserenvApi();
  return api;
}

BOOL CreateUserEnvironmentBlock(LPVOID* block, HANDLE token, BOOL inherit) {
  const UserenvApi& api = GetUserenvApi();
  if (!api.available) {
    if (block != nullptr) *block = nullptr;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  return api.CreateEnvironmentBlock(block, token, inherit);
}

BOOL DestroyUserEnvironmentBlock(LPVOID block) {
  const UserenvApi& api = GetUserenvApi();
  return api.available ? api.DestroyEnvironmentBlock(block) : FALSE;
}

}  // namespace velmora
