// The installed product's registry record (HKLM\Software\Velmora\Installer, 64-bit view), its
// install folder and executable. Readers only: they never log and never fail loudly.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

[[nodiscard]] bool ReadInstallerValue(const wchar_t* name, std::wstring* value);
std::wstring GetInstallFolder();
std::wstring GetInstalledExePath();
// Velmora.exe in the install folder that the record itself names, without the default folder
// GetInstallFolder falls back to; empty when the record names none. Only a process of this
// file is the installed product's own.
std::wstring GetRecordedExePath();
[[nodiscard]] bool InstalledExeMatchesSize(std::uint64_t expectedSize);

}  // namespace velmora
