// Small Win32 helpers that several subsystems need, in one place.
#pragma once

#include <windows.h>

#include <string>

#include "base/user_texts.h"

namespace velmora {

using texts::kSetupCaption;

// The variable's value, or empty when it is unset, empty, or too long for a buffer of
// bufferUnits (a cut value would name some other folder).
std::wstring ReadEnvironmentVariable(const wchar_t* name, DWORD bufferUnits);

// True when something exists at the path and it is not a folder.
[[nodiscard]] bool IsFile(const std::wstring& path);

}  // namespace velmora
