// The machine-wide folders of setup: %ProgramData%\Velmora\Setup, which holds the log, and the
// package cache below it. The setup runs elevated and ProgramData lets ordinary users create
// folders, so each level is opened without following a link, checked to be a real folder of
// its own, and held while it is used.
#pragma once

#include <windows.h>

#include <string>

#include "base/win/scoped_handle.h"

namespace velmora {

// The machine-wide application-data folder under which setup keeps its log and its package
// cache; empty when none can be had. The one place where that root is read.
std::wstring MachineDataFolder();

// A file or folder below that root, opened, with the path the system reports for it.
struct OpenedEntry {
  ScopedHandle handle;
  std::wstring finalPath;
  explicit operator bool() const { return handle.Valid(); }
};

// A folder an administrator chose (the root, or the folder of a log copy), opened as whatever
// it resolves to; empty unless it is a folder.
[[nodiscard]] OpenedEntry OpenChosenFolder(const std::wstring& path);

// Opens a path without following a link at its end. Folders are held without delete sharing,
// so that they cannot be renamed or swapped while they are held.
[[nodiscard]] ScopedHandle OpenWithoutFollowing(const std::wstring& path, bool folder, DWORD access,
                                                DWORD disposition);

// Keeps the opened entry when it is the parent's own entry of that name and kind; otherwise
// closes it and gives an empty one.
[[nodiscard]] OpenedEntry KeepIfOwn(ScopedHandle handle, const OpenedEntry& parent, const std::wstring& path,
                                    const wchar_t* name, bool folder);

// Opens an existing folder that must be the parent's own entry of that name.
[[nodiscard]] OpenedEntry OpenOwnFolder(const OpenedEntry& parent, const std::wstring& path,
                                        const wchar_t* name, DWORD access = FILE_READ_ATTRIBUTES);

// Velmora\Setup below the root, each level created (with the system's default security) only
// once the one above it has proved to be a real folder of its own, and all held while this
// lives.
struct SetupDataFolders {
  std::wstring setupPath;  // empty when the root gives no path
  OpenedEntry data;
  OpenedEntry velmora;
  OpenedEntry setup;  // empty unless every level is a real folder
};

[[nodiscard]] SetupDataFolders OpenSetupDataFolders();

}  // namespace velmora
