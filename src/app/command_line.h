// The program's command line, read from its arguments (the program's own path left out).
// Apart from "--fallback-manifest", every switch may start with '/' or '-' and is matched
// without regard to case.
#pragma once

#include <string>
#include <vector>

#include "base/run_mode.h"

namespace velmora {

struct SetupOptions {
  RunMode mode = RunMode::Interactive;  // /quiet wins over /passive when both are given
  bool fallbackManifest = false;        // --fallback-manifest, exactly so written
  bool noRestart = false;               // /norestart: accepted; setup never restarts the computer
  bool shortcut = false;                // /shortcut: an unattended run also creates the desktop shortcut
  bool showHelp = false;                // /?
  std::wstring logCopyPath;             // /log <path>: every log line also goes there
};

// False, with the reason in `error` (naming the argument), for an argument that is not a
// switch of the program or a /log without its path.
[[nodiscard]] bool ParseSetupArguments(const std::vector<std::wstring>& arguments, SetupOptions& options,
                                       std::wstring* error);

// The switches and the exit codes, as /? shows them.
std::wstring UsageText();

}  // namespace velmora
