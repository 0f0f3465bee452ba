// The switches of this process's command line, split the way the system splits it.
#pragma once

#include <string>

#include "app/command_line.h"

namespace velmora {

// CommandLineToArgvW over the whole command line, its first element (the program's own path)
// left out, then ParseSetupArguments. False with the reason in `error` for an argument not
// understood, or when the system could not split the line.
[[nodiscard]] bool ReadSetupCommandLine(const wchar_t* commandLine, SetupOptions& options,
                                        std::wstring* error);

}  // namespace velmora
