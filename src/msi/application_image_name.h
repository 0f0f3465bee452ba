// Which processes count as running copies of the application: those whose executable file
// name is Velmora.exe, compared without regard to ASCII letter case only.
#pragma once

#include <string_view>

namespace velmora {

// The file name alone, without folder, as a process snapshot gives it.
[[nodiscard]] bool IsApplicationImageName(std::wstring_view fileName);

// A full image path, as the system reports it for an opened process: its file name part
// (after the last backslash) is the application's.
[[nodiscard]] bool IsApplicationImagePath(std::wstring_view imagePath);

}  // namespace velmora
