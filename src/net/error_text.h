// How failure texts carry the platform's codes: system errors as " (code N)" in unsigned
// decimal, HRESULT values as eight upper-case hex digits.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

// The caller's error text, when it wants one (a null pointer means it does not).
void SetError(std::string* error, const std::string& text);

// message + " (code " + code in unsigned decimal + ")".
std::string AppendErrorCode(const std::string& message, std::uint32_t code);

// "0x" and eight upper-case, zero-padded hex digits of the HRESULT's 32 bits.
std::string FormatHresult(std::int32_t result);

}  // namespace velmora
