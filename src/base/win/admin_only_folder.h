// Folders that only SYSTEM and Administrators may change: the run's private folder and the
// package cache. What lies in them decides what Windows Installer runs elevated.
#pragma once

#include <windows.h>

#include <string>

namespace velmora {

// Creates exactly this folder with full control for SYSTEM and Administrators, passed on to
// everything made inside, and protected, so that nothing is inherited from a parent where
// ordinary users may create folders. False when anything already stands under the name or the
// folder cannot be made.
[[nodiscard]] bool CreateAdminOnlyFolder(const std::wstring& path);

// Whether an opened folder (held with READ_CONTROL) carries the access list that the system
// reports for the reference folder, one this run made with CreateAdminOnlyFolder, and is owned
// by SYSTEM, by Administrators or by the reference's owner. The list is compared as the system
// reports it rather than as it was asked for, because a platform may record it in its own way
// (Wine keeps it as Unix mode bits); a folder made some other way reads back differently. Any
// administrator's run may have made the folder (one run as SYSTEM, the next by a signed-in
// administrator), but a folder that an ordinary user made is that user's, whatever list it
// carries. False when either cannot be read.
[[nodiscard]] bool HasAdminOnlySecurityOf(HANDLE folder, const std::wstring& referenceFolder);

}  // namespace velmora
