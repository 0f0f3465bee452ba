#include "net/error_text.h"

#include <cstdio>

namespace velmora {

void SetError(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
}

std::string AppendErrorCode(const std::string& message, std::uint32_t code) {
  return message + " (code " + std::to_string(code) + ")";
}

std::string FormatHresult(std::int32_t result) {
  char text[32] = {};
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(static_cast<std::uint32_t>(result)));
  return text;
}

}  // namespace velmora
