// Folders the system records for the machine or for a user, read through the known-folder API
// and never from environment variables: any parent process can set those, and a same-user
// elevation builds the environment from values the user can write.
#pragma once

#include <windows.h>
#include <shtypes.h>

#include <string>

namespace velmora {

// The path the system gives for the known folder, for the user of the token (null: whoever the
// calling thread acts as). Empty when the system gives none or the folder does not exist.
[[nodiscard]] std::wstring KnownFolderPath(REFKNOWNFOLDERID id, HANDLE token = nullptr);

}  // namespace velmora
