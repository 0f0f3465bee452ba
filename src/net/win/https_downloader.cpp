#include "net/win/https_downloader.h"

#include <algorithm>
#include <utility>

#include "base/win/scoped_handle.h"
#include "net/error_text.h"
#include "net/win/server_key_pin.h"
#include "net/text_encoding.h"
#include "net/transfer_limits.h"
#include "net/url_rules.h"
#include "net/wiped_buffer.h"

namespace velmora {
namespace {

constexpr std::uint64_t kDefaultMaxBytes = kMaxDownloadBytes;
constexpr wchar_t kUserAgent[] = L"VelmoraNative-Updater/1.0";
constexpr DWORD kAccessTypes[] = {WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                  WINHTTP_ACCESS_TYPE_NO_PROXY};
constexpr DWORD kSecureProtocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
// What is left to require where the platform knows no TLS 1.3 and refuses the pair (error 87).
constexpr DWORD kSecureProtocolsWithoutTls13 = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
constexpr DWORD kNeverFollowRedirects = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
constexpr int kResolveTimeoutMs = 15000;
constexpr int kConnectTimeoutMs = 30000;
constexpr int kSendTimeoutMs = 15000;
constexpr int kReceiveTimeoutMs = 30000;
constexpr DWORD kReadBufferBytes = 0x40000;
constexpr ULONGLONG kHundredNanosecondsPerSecond = 10000000;
constexpr ULONGLONG kFreshnessTolerance = 61 * kHundredNanosecondsPerSecond;

// A WinHTTP handle closes through the run-time table it came from, which its traits point at.
void CloseWinHttpHandle(const WinHttpApi& api, HINTERNET handle) { api.WinHttpCloseHandle(handle); }
using WinHttpHandle = Scoped<TableHandleTraits<WinHttpApi, HINTERNET, CloseWinHttpHandle>>;

void SetErrorWithLastError(std::string* error, const char* message) {
  if (error != nullptr) *error = FormatWithLastError(message);
}

// The result is not used: where the platform refuses an option, the download goes on.
void SetDwordOption(const WinHttpApi& api, HINTERNET handle, DWORD option, DWORD value) {
  api.WinHttpSetOption(handle, option, &value, sizeof value);
}

// The session's setting is the one that holds everywhere (a request handle may refuse it, as
// Wine's does with 12009), so a session that takes neither value must carry no request: it
// would let TLS 1.0 and 1.1 through.
bool RequireModernTls(const WinHttpApi& api, HINTERNET session) {
  for (DWORD protocols : {kSecureProtocols, kSecureProtocolsWithoutTls13}) {
    if (api.WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols))
      return true;
  }
  return false;
}

HINTERNET OpenSession(const WinHttpApi& api) {
  for (const DWORD accessType : kAccessTypes) {
    const HINTERNET session =
        api.WinHttpOpen(kUserAgent, accessType, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (session != nullptr) return session;
  }
  return nullptr;
}

DWORD QueryNumberHeader(const WinHttpApi& api, HINTERNET request, DWORD query, bool* found) {
  DWORD value = 0;
  DWORD size = sizeof value;
  const bool ok =
      api.WinHttpQueryHeaders(request, query | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                              &value, &size, WINHTTP_NO_HEADER_INDEX);
  if (found != nullptr) *found = ok;
  return value;
}

ULONGLONG FileTimeValue(const FILETIME& time) {
  return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// One download's inputs, as the steps after the URL check see them.
struct TransferRequest {
  const DownloadCalls& calls;
  const WinHttpApi& api;
  const std::string& host;
  const std::string& path;
  const std::wstring& destinationPath;
  std::uint64_t limit;
  const DownloadProgress& progress;
  std::string* error;
};

bool ReadBody(const TransferRequest& t, HINTERNET request, HANDLE file, std::uint64_t total) {
  WipedBuffer buffer(kReadBufferBytes);
  std::uint64_t received = 0;
  if (t.progress) t.progress(0, total);
  TransferPace pace = StartPace(t.calls.minimumRate, GetTickCount64());
  for (;;) {
    if (t.calls.stopRequested()) {
      SetError(t.error, "Download cancelled by the user");
      return false;
    }
    // A read waits only for what has arrived: asked for a whole buffer, WinHTTP may wait to
    // fill it, and a trickle would then never come back to the rate check.
    DWORD available = 0;
    DWORD read = 0;
    if (!t.api.WinHttpQueryDataAvailable(request, &available) ||
        (available != 0 &&
         !t.api.WinHttpReadData(request, buffer.Data(), std::min(available, kReadBufferBytes), &read))) {
      SetErrorWithLastError(t.error, "Update download read failed");
      return false;
    }
    if (read == 0) break;
    if (received + read > t.limit) {
      SetError(t.error, "Update exceeded the maximum download size");
      return false;
    }
    DWORD written = 0;
    if (!t.calls.writeFile(file, buffer.Data(), read, &written, nullptr) || written != read) {
      SetErrorWithLastError(t.error, "Unable to write the staged update file");
      return false;
    }
    received += read;
    if (t.progress) t.progress(received, total);
    NotePace(pace, GetTickCount64(), received);
    if (IsTooSlow(pace, GetTickCount64())) {
      SetError(t.error, "Update download was " + SlowerThan(t.calls.minimumRate));
      return false;
    }
  }
  // A connection closed early ends the body like a complete one; only the count tells.
  if (total != 0 && received < total) {
    SetError(t.error, "Update download ended after " + std::to_string(received) + " of " +
                          std::to_string(total) + " announced bytes");
    return false;
  }
  return received > 0;
}

// Every handle of a download lives in this call and is closed when it returns, in the order
// file, request, connection, session. fileCreated tells the caller whether the staging file
// now exists.
bool Transfer(const TransferRequest& t, bool& fileCreated) {
  const WinHttpApi& api = t.api;
  const WinHttpHandle session(OpenSession(api), {&api});
  if (!session) {
    SetErrorWithLastError(t.error, "WinHttpOpen failed");
    return false;
  }
  if (!RequireModernTls(api, session.Get())) {
    SetErrorWithLastError(t.error, "Unable to restrict the connection to TLS 1.2 or later");
    return false;
  }
  if (api.WinHttpSetTimeouts != nullptr) {
    api.WinHttpSetTimeouts(session.Get(), kResolveTimeoutMs, kConnectTimeoutMs, kSendTimeoutMs,
                           kReceiveTimeoutMs);
  }
  const WinHttpHandle connection(
      api.WinHttpConnect(session.Get(), WidenAscii(t.host).c_str(), INTERNET_DEFAULT_HTTPS_PORT, 0), {&api});
  if (!connection) {
    SetErrorWithLastError(t.error, "WinHttpConnect failed");
    return false;
  }
  const WinHttpHandle request(
      api.WinHttpOpenRequest(connection.Get(), L"GET", WidenAscii(t.path).c_str(), nullptr,
                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE),
      {&api});
  if (!request) {
    SetErrorWithLastError(t.error, "WinHttpOpenRequest failed");
    return false;
  }
  SetDwordOption(api, request.Get(), WINHTTP_OPTION_SECURE_PROTOCOLS, kSecureProtocols);
  SetDwordOption(api, request.Get(), WINHTTP_OPTION_REDIRECT_POLICY, kNeverFollowRedirects);
  if (!api.WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                              0) ||
      !api.WinHttpReceiveResponse(request.Get(), nullptr)) {
    SetErrorWithLastError(t.error, "Update download request failed");
    return false;
  }
  // The pin first: until it holds, the status, the Date and the length are an unknown
  // party's words, and a redirect or a stale Date from an interceptor must not become the
  // reason the user is given.
  if (!VerifyServerKeyPin(api, request.Get(), t.error, t.calls.serverKeyPin)) return false;
  const DWORD status = QueryNumberHeader(api, request.Get(), WINHTTP_QUERY_STATUS_CODE, nullptr);
  if (status != HTTP_STATUS_OK) {
    SetError(t.error, "Update server returned HTTP " + std::to_string(status));
    return false;
  }
  if (!IsResponseDateFresh(api, request.Get(), t.error)) return false;
  bool announced = false;
  const std::uint64_t total = QueryNumberHeader(api, request.Get(), WINHTTP_QUERY_CONTENT_LENGTH, &announced);
  if (announced && total > t.limit) {
    SetError(t.error, "Update exceeds the maximum download size");
    return false;
  }
  const ScopedHandle file(CreateFileW(t.destinationPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    SetErrorWithLastError(t.error, "Unable to create the staged update file");
    return false;
  }
  fileCreated = true;
  return ReadBody(t, request.Get(), file.Get(), announced ? total : 0);
}

}  // namespace

std::string FormatWithLastError(const std::string& message) {
  const DWORD code = GetLastError();
  return AppendErrorCode(message, code);
}

bool IsResponseDateFresh(const WinHttpApi& api, HINTERNET request, std::string* error) {
  SYSTEMTIME date = {};
  DWORD size = sizeof date;
  if (!api.WinHttpQueryHeaders(request, WINHTTP_QUERY_DATE | WINHTTP_QUERY_FLAG_SYSTEMTIME,
                               WINHTTP_HEADER_NAME_BY_INDEX, &date, &size, WINHTTP_NO_HEADER_INDEX)) {
    return true;
  }
  FILETIME sent = {};
  if (!SystemTimeToFileTime(&date, &sent)) return true;
  FILETIME now = {};
  GetSystemTimeAsFileTime(&now);
  const ULONGLONG a = FileTimeValue(sent);
  const ULONGLONG b = FileTimeValue(now);
  const ULONGLONG difference = a > b ? a - b : b - a;
  if (difference < kFreshnessTolerance) return true;
  // Support reads this as "fix the clock": say by how much and which way.
  SetError(error, "Update server's Date is " + std::to_string(difference / kHundredNanosecondsPerSecond) +
                      " seconds " + (a > b ? "ahead of" : "behind") + " this computer's clock");
  return false;
}

bool HttpsDownloader::Download(const std::wstring& destinationPath, std::uint64_t maxBytes,
                               DownloadProgress progress, std::string* error,
                               const DownloadCalls& calls) const {
  // Held here so that it is released before the call returns, whatever the caller's ABI does
  // with the parameter.
  const DownloadProgress report = std::move(progress);
  if (error != nullptr) error->clear();
  const std::uint64_t limit = maxBytes == 0 ? kDefaultMaxBytes : maxBytes;
  std::string host;
  std::string path;
  if (!ParseAllowedHttpsUrl(url_, host, path)) {
    SetError(error, "Update URL is not an allowed HTTPS location");
    return false;
  }
  const WinHttpApi& api = calls.winHttpApi();
  if (!api.available) {
    SetError(error, "WinHTTP is unavailable");
    return false;
  }
  bool fileCreated = false;
  if (Transfer({calls, api, host, path, destinationPath, limit, report, error}, fileCreated)) {
    return true;
  }
  // Only now are all of the download's handles closed.
  if (fileCreated) {
    DeleteFileW(destinationPath.c_str());
    if (error != nullptr && error->empty()) *error = "Update download was empty";
  }
  return false;
}

}  // namespace velmora
