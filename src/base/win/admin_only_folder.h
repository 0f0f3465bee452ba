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

// Whether an opened folder (held with READ_CONTROL) carries the owner and access list that the
// system reports for the reference folder, one this run made with CreateAdminOnlyFolder.
// Compared as the system reports them rather than as they were asked for, because a platform
// may record them in its own way (Wine keeps them as Unix mode bits); a folder made some other
// way, by an ordinary user or with inherited entries, reads back differently. False when either
// cannot be read.
[[nodiscard]] bool HasAdminOnlySecurityOf(HANDLE folder, const std::wstring& referenceFolder);

}  // namespace velmora
