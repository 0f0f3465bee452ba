#include "workflow/download_failure_reason.h"

#include <cstdint>
#include <cstdlib>

#include "net/transfer_limits.h"

namespace velmora {
namespace {

constexpr char kCodeMarker[] = " (code ";

// The number of a trailing " (code N)"; 0 when there is none.
std::uint32_t TrailingCode(const std::string& text) {
  const std::size_t start = text.rfind(kCodeMarker);
  if (start == std::string::npos) return 0;
  const std::string digits = text.substr(start + sizeof kCodeMarker - 1);
  char* end = nullptr;
  const unsigned long code = std::strtoul(digits.c_str(), &end, 10);
  return end != digits.c_str() && *end == ')' && end[1] == '\0' ? static_cast<std::uint32_t>(code) : 0;
}

// The HRESULT of a "(0xXXXXXXXX)" in the text; 0 when there is none.
std::uint32_t HresultIn(const std::string& text) {
  const std::size_t start = text.find("(0x");
  if (start == std::string::npos) return 0;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str() + start + 3, &end, 16);
  return end == text.c_str() + start + 11 && *end == ')' ? static_cast<std::uint32_t>(value) : 0;
}

// The system downloader stopped waiting rather than failing for a cause: its own abort after
// a stall or below the minimum rate (a body cut off mid-way trips whichever of the two comes
// first), or one of its time-outs.
bool OnlyGaveUp(const std::string& systemError) {
  if (systemError.find(SlowerThan(MinimumRate{})) != std::string::npos) return true;
  switch (HresultIn(systemError)) {
    case 0x80004004u:  // E_ABORT: the stall watchdog ended the binding
    case 0x800C000Bu:  // INET_E_CONNECTION_TIMEOUT
    case 0x80072EE2u:  // the WinINet/WinHTTP time-out (12002) as an HRESULT
      return true;
    default:
      return false;
  }
}

// Plain words for the network failures a user or support can act on.
const char* PlainCause(std::uint32_t code) {
  switch (code) {
    case 12002:  // ERROR_WINHTTP_TIMEOUT
    case 10060:  // WSAETIMEDOUT
      return "The server did not answer";
    case 12030:  // ERROR_WINHTTP_CONNECTION_ERROR
    case 10054:  // WSAECONNRESET
    case 10053:  // WSAECONNABORTED
      return "The connection was cut";
    case 12007:  // ERROR_WINHTTP_NAME_NOT_RESOLVED
    case 11001:  // WSAHOST_NOT_FOUND
      return "The name could not be found";
    case 12029:  // ERROR_WINHTTP_CANNOT_CONNECT
    case 10061:  // WSAECONNREFUSED
      return "The server could not be reached";
    case 12157:  // ERROR_WINHTTP_SECURE_CHANNEL_ERROR
    case 12175:  // ERROR_WINHTTP_SECURE_FAILURE
    case 12038:  // ERROR_WINHTTP_SECURE_CERT_CN_INVALID
    case 12037:  // ERROR_WINHTTP_SECURE_CERT_DATE_INVALID
      return "A secure connection could not be made";
    default:
      return nullptr;
  }
}

}  // namespace

std::string DownloadFailureReason(const std::vector<std::string>& pinnedErrors,
                                  const std::string& systemError) {
  std::string first;
  for (const std::string& error : pinnedErrors) {
    if (!error.empty()) {
      first = error;
      break;
    }
  }
  const std::string last = pinnedErrors.empty() ? std::string() : pinnedErrors.back();
  if (systemError.empty()) return last;
  if (first.empty() || !OnlyGaveUp(systemError)) return systemError;
  const std::uint32_t code = TrailingCode(first);
  const char* plain = PlainCause(code);
  if (plain == nullptr) return first;
  return std::string(plain) + kCodeMarker + std::to_string(code) + ").";
}

std::string WithoutFinalStop(const std::string& text) {
  return !text.empty() && text.back() == '.' ? text.substr(0, text.size() - 1) : text;
}

}  // namespace velmora
