// Privileges of the setup process's own token.
#pragma once

namespace velmora {

// Enables one privilege (e.g. L"SeImpersonatePrivilege") in this process's token. False when
// the token cannot be opened, the name is unknown, or the token does not hold the privilege.
[[nodiscard]] bool EnablePrivilege(const wchar_t* name);

}  // namespace velmora
