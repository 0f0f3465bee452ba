// Which processes count as running copies of the application: those whose executable file
// name is Velmora.exe, compared without regard to ASCII letter case only.
#pragma once

#include <string_view>

namespace velmora {

// The file name alone, without folder, as a process snapshot gives it.
bool IsApplicationImageName(std::wstring_view fileName);

}  // namespace velmora
