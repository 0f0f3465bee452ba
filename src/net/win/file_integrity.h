// The two checks a downloaded package must pass before Windows Installer sees it: the
// compound-file signature at offset 0, and its SHA-256 digest as lower-case hex.
#pragma once

#include <string>

namespace velmora {

// True when the file opens and its first 8 bytes are D0 CF 11 E0 A1 B1 1A E1.
[[nodiscard]] bool IsMsiPackage(const std::wstring& path);

// True when the whole file was read and hashed; *hexOut then holds 64 lower-case hex digits.
// False (hexOut unchanged) for a null hexOut, a file that cannot be opened or read, or a
// failing hash call.
[[nodiscard]] bool ComputeFileSha256Hex(const std::wstring& path, std::string* hexOut);

}  // namespace velmora
