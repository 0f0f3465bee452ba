// The installed product's registry record (HKLM\Software\Velmora\Installer, 64-bit view), its
// install folder and executable. Readers only: they never log and never fail loudly.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

[[nodiscard]] bool ReadInstallerValue(const wchar_t* name, std::wstring* value);
std::wstring GetInstallFolder();
std::wstring GetInstalledExePath();
[[nodiscard]] bool InstalledExeMatchesSize(std::uint64_t expectedSize);

}  // namespace velmora
