// Byte-level text conversions shared by the downloaders, the pin check and the worker.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace velmora {

// One UTF-16 unit per byte, for ASCII texts (URLs, hosts, versions, error texts). A byte
// 0x80-0xFF is sign-extended, as the program has always carried such bytes.
std::wstring WidenAscii(const std::string& narrow);

// Two lower-case hexadecimal digits per byte, high half first.
std::string HexEncodeLower(const std::uint8_t* bytes, std::size_t count);

}  // namespace velmora
