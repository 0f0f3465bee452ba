// The machine-wide folders of setup: %ProgramData%\Velmora\Setup, which holds the log, and the
// package cache below it. The setup runs elevated and ProgramData lets ordinary users create
// folders, so each level is opened without following a link, checked to be a real folder of
// its own, and held while it is used (the checks are link_checks').
#pragma once

#include <windows.h>

#include <string>

#include "base/win/link_checks.h"

namespace velmora {

// The machine-wide application-data folder under which setup keeps its log and its package
// cache (FOLDERID_ProgramData, normally C:\ProgramData); empty when the system gives no
// existing folder. The one place where that root is read, from the known-folder API and never
// from the ProgramData variable: any parent process can set that, and a same-user elevation
// builds the environment from values the user can write.
std::wstring MachineDataFolder();

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
