// The downloader against a scripted WinHTTP table, for what real WinHTTP under Wine cannot be
// made to do on demand: WinHttpOpen refusing access types, a session refusing the protocol
// values with error 87 (as WinHTTP without TLS 1.3 does), WinHttpConnect or WinHttpOpenRequest
// failing, and a look at every call and every handle closing on each path. The certificate it
// hands out and the file the body goes to are real.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "net/win/https_downloader.h"
#include "net/win/server_key_pin.h"
#include "net_test_support.h"
#include "win_test_support.h"

namespace velmora {
namespace {

const HINTERNET kSession = reinterpret_cast<HINTERNET>(0x5E55);
const HINTERNET kConnection = reinterpret_cast<HINTERNET>(0xC044);
const HINTERNET kRequest = reinterpret_cast<HINTERNET>(0x5E0);

struct Script {
  int refusedOpens = 0;
  std::vector<DWORD> refusedSessionProtocols;  // refused with ERROR_INVALID_PARAMETER
  bool refuseConnect = false;
  bool refuseOpenRequest = false;
  bool refuseSend = false;
  bool refuseReceive = false;
  DWORD status = 200;
  bool staleDate = false;  // otherwise no Date header
  bool withCertificate = true;
  std::optional<DWORD> contentLength;
  std::vector<DWORD> reads;  // bytes of each successful read before the end
  bool readFailsAfterwards = false;
};

struct Closing {
  std::string handle;
  bool fileOpen;
  bool fileExists;
  bool operator==(const Closing&) const = default;
};

// What the fake functions see; one download at a time.
struct Fake {
  Script script;
  std::wstring destination;
  PCCERT_CONTEXT certificate = nullptr;
  std::vector<std::string> calls;
  std::vector<Closing> closings;
  std::size_t nextRead = 0;
};
Fake* fake = nullptr;

std::string Name(HINTERNET h) {
  if (h == kSession) return "session";
  if (h == kConnection) return "connection";
  if (h == kRequest) return "request";
  return "unknown";
}

std::string Text(LPCWSTR text) { return text == nullptr ? "null" : test::Narrow(text); }

void Call(const std::string& text) { fake->calls.push_back(text); }

bool FileHeldOpen(const std::wstring& path) {
  const HANDLE h =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return false;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION;
}

HINTERNET WINAPI FakeOpen(LPCWSTR agent, DWORD access, LPCWSTR proxy, LPCWSTR bypass, DWORD flags) {
  Call("Open " + Text(agent) + " " + std::to_string(access) + " " + Text(proxy) + " " + Text(bypass) + " " +
       std::to_string(flags));
  if (fake->script.refusedOpens > 0) {
    --fake->script.refusedOpens;
    SetLastError(7000 + access);
    return nullptr;
  }
  return kSession;
}

BOOL WINAPI FakeSetOption(HINTERNET h, DWORD option, LPVOID buffer, DWORD length) {
  Call("SetOption " + Name(h) + " " + std::to_string(option) + " " +
       std::to_string(length == 4 ? *static_cast<DWORD*>(buffer) : 0xFFFFFFFFu) + " " +
       std::to_string(length));
  // As Wine does: the protocol option is refused on a request handle.
  if (h == kRequest && option == WINHTTP_OPTION_SECURE_PROTOCOLS) {
    SetLastError(ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
    return FALSE;
  }
  const std::vector<DWORD>& refused = fake->script.refusedSessionProtocols;
  if (h == kSession && option == WINHTTP_OPTION_SECURE_PROTOCOLS &&
      std::find(refused.begin(), refused.end(), *static_cast<DWORD*>(buffer)) != refused.end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI FakeSetTimeouts(HINTERNET h, int resolve, int connect, int send, int receive) {
  Call("SetTimeouts " + Name(h) + " " + std::to_string(resolve) + " " + std::to_string(connect) + " " +
       std::to_string(send) + " " + std::to_string(receive));
  return TRUE;
}

HINTERNET WINAPI FakeConnect(HINTERNET h, LPCWSTR host, INTERNET_PORT port, DWORD reserved) {
  Call("Connect " + Name(h) + " " + Text(host) + " " + std::to_string(port) + " " + std::to_string(reserved));
  if (fake->script.refuseConnect) {
    SetLastError(ERROR_WINHTTP_INVALID_URL);
    return nullptr;
  }
  return kConnection;
}

HINTERNET WINAPI FakeOpenRequest(HINTERNET h, LPCWSTR verb, LPCWSTR path, LPCWSTR version, LPCWSTR referrer,
                                 LPCWSTR* accept, DWORD flags) {
  Call("OpenRequest " + Name(h) + " " + Text(verb) + " " + Text(path) + " " + Text(version) + " " +
       Text(referrer) + " " + (accept == nullptr ? "null" : "types") + " " + std::to_string(flags));
  if (fake->script.refuseOpenRequest) {
    SetLastError(ERROR_WINHTTP_UNRECOGNIZED_SCHEME);
    return nullptr;
  }
  return kRequest;
}

BOOL WINAPI FakeSendRequest(HINTERNET h, LPCWSTR headers, DWORD headersLength, LPVOID optional,
                            DWORD optionalLength, DWORD total, DWORD_PTR context) {
  Call("SendRequest " + Name(h) + " " + Text(headers) + " " + std::to_string(headersLength) + " " +
       (optional == nullptr ? "null" : "data") + " " + std::to_string(optionalLength) + " " +
       std::to_string(total) + " " + std::to_string(context));
  if (fake->script.refuseSend) {
    SetLastError(ERROR_WINHTTP_CANNOT_CONNECT);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI FakeReceiveResponse(HINTERNET h, LPVOID reserved) {
  Call("ReceiveResponse " + Name(h) + " " + (reserved == nullptr ? "null" : "data"));
  if (fake->script.refuseReceive) {
    SetLastError(ERROR_WINHTTP_SECURE_FAILURE);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI FakeQueryHeaders(HINTERNET h, DWORD level, LPCWSTR name, LPVOID buffer, LPDWORD length,
                             LPDWORD index) {
  Call("QueryHeaders " + Name(h) + " " + std::to_string(level) + " " + Text(name) + " " +
       std::to_string(*length) + " " + (index == nullptr ? "null" : "index"));
  const Script& s = fake->script;
  if (level == (WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER)) {
    *static_cast<DWORD*>(buffer) = s.status;
    return TRUE;
  }
  if (level == (WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER) && s.contentLength) {
    *static_cast<DWORD*>(buffer) = *s.contentLength;
    return TRUE;
  }
  if (level == (WINHTTP_QUERY_DATE | WINHTTP_QUERY_FLAG_SYSTEMTIME) && s.staleDate) {
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t = {{now.dwLowDateTime, now.dwHighDateTime}};
    t.QuadPart -= 120ull * 10000000ull;
    const FILETIME then = {t.LowPart, t.HighPart};
    FileTimeToSystemTime(&then, static_cast<SYSTEMTIME*>(buffer));
    return TRUE;
  }
  SetLastError(ERROR_WINHTTP_HEADER_NOT_FOUND);
  return FALSE;
}

BOOL WINAPI FakeQueryOption(HINTERNET h, DWORD option, LPVOID buffer, LPDWORD length) {
  Call("QueryOption " + Name(h) + " " + std::to_string(option) + " " + std::to_string(*length));
  if (option != WINHTTP_OPTION_SERVER_CERT_CONTEXT || !fake->script.withCertificate) {
    SetLastError(ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
    return FALSE;
  }
  *static_cast<PCCERT_CONTEXT*>(buffer) = CertDuplicateCertificateContext(fake->certificate);
  return TRUE;
}

// Each scripted read is announced as available, then read; after them the body ends, or the
// connection fails.
BOOL WINAPI FakeQueryDataAvailable(HINTERNET h, LPDWORD available) {
  Call("QueryDataAvailable " + Name(h));
  const Script& s = fake->script;
  if (fake->nextRead < s.reads.size()) {
    *available = s.reads[fake->nextRead];
    return TRUE;
  }
  if (s.readFailsAfterwards) {
    SetLastError(ERROR_WINHTTP_CONNECTION_ERROR);
    return FALSE;
  }
  *available = 0;
  return TRUE;
}

BOOL WINAPI FakeReadData(HINTERNET h, LPVOID buffer, DWORD size, LPDWORD read) {
  Call("ReadData " + Name(h) + " " + std::to_string(size));
  const DWORD n = std::min(size, fake->script.reads.at(fake->nextRead++));
  std::memset(buffer, 'b', n);
  *read = n;
  return TRUE;
}

BOOL WINAPI FakeCloseHandle(HINTERNET h) {
  fake->closings.push_back({Name(h), FileHeldOpen(fake->destination), test::PathExists(fake->destination)});
  return TRUE;
}

WinHttpApi FakeTable() {
  WinHttpApi api;
  api.module = GetModuleHandleW(nullptr);
  api.WinHttpOpen = &FakeOpen;
  api.WinHttpConnect = &FakeConnect;
  api.WinHttpOpenRequest = &FakeOpenRequest;
  api.WinHttpSetOption = &FakeSetOption;
  api.WinHttpSetTimeouts = &FakeSetTimeouts;
  api.WinHttpSendRequest = &FakeSendRequest;
  api.WinHttpReceiveResponse = &FakeReceiveResponse;
  api.WinHttpQueryHeaders = &FakeQueryHeaders;
  api.WinHttpQueryDataAvailable = &FakeQueryDataAvailable;
  api.WinHttpReadData = &FakeReadData;
  api.WinHttpCloseHandle = &FakeCloseHandle;
  api.WinHttpQueryOption = &FakeQueryOption;
  api.available = true;
  return api;
}

WinHttpApi table;
const WinHttpApi& Table() { return table; }

class FakeTableDownload : public ::testing::Test {
 protected:
  void SetUp() override {
    certificate = test::LoadPemCertificate(
        test::DosPathOf(std::string(VELMORA_SOURCE_DIR) + "/tools/sandbox/pki/server.pem"));
    ASSERT_NE(certificate, nullptr);
    ASSERT_TRUE(ComputeSpkiSha256Hex(certificate, &pin));
    table = FakeTable();
    state.certificate = certificate;
    state.destination = local / L"package.msi";
    fake = &state;
  }
  void TearDown() override {
    fake = nullptr;
    if (certificate != nullptr) CertFreeCertificateContext(certificate);
  }

  bool Download(std::uint64_t maxBytes = 0) {
    DownloadCalls calls;
    calls.winHttpApi = Table;
    calls.serverKeyPin = pin.c_str();  // the leaf's own key: the chain of a lone leaf is the leaf
    return HttpsDownloader("https://downloads.velmora.test/downloads/Velmora.msi?v=1")
        .Download(state.destination, maxBytes, {}, &error, calls);
  }

  PCCERT_CONTEXT certificate = nullptr;
  std::string pin;
  test::TempFolder local;
  Fake state;
  std::string error;
};

TEST_F(FakeTableDownload, SuccessfulDownloadMakesTheseCallsInThisOrder) {
  state.script.contentLength = 262149;
  state.script.reads = {262144, 5};
  ASSERT_TRUE(Download()) << error;
  const std::vector<std::string> expected = {
      "Open VelmoraNative-Updater/1.0 4 null null 0",
      "SetOption session 84 10240 4",  // TLS 1.2 | TLS 1.3 on the session, right after opening
      "SetTimeouts session 15000 30000 15000 30000",
      "Connect session downloads.velmora.test 443 0",
      "OpenRequest connection GET /downloads/Velmora.msi?v=1 null null null 8388608",
      "SetOption request 84 10240 4",  // refused here, as under Wine; the download goes on
      "SetOption request 88 0 4",
      "SendRequest request null 0 null 0 0 0",
      "ReceiveResponse request null",
      "QueryOption request 78 8",  // the pin, before anything of the response is read
      "QueryHeaders request 536870931 null 4 null",
      "QueryHeaders request 1073741833 null 16 null",
      "QueryHeaders request 536870917 null 4 null",
      "QueryDataAvailable request",
      "ReadData request 262144",
      "QueryDataAvailable request",
      "ReadData request 5",
      "QueryDataAvailable request",
  };
  EXPECT_EQ(state.calls, expected);
  EXPECT_TRUE(test::FileHolds(state.destination, std::string(262149, 'b')));
}

// Until the pin holds nothing of the response is read: a redirect, a stale Date and a length
// from a server whose key cannot be checked are never asked for.
TEST_F(FakeTableDownload, FailedPinReadsNoStatusDateOrLength) {
  state.script.withCertificate = false;
  state.script.status = 302;
  state.script.staleDate = true;
  state.script.contentLength = 5;
  EXPECT_FALSE(Download());
  EXPECT_EQ(error, "Server certificate context unavailable");
  EXPECT_EQ(state.calls.back(), "QueryOption request 78 8");
  for (const std::string& call : state.calls) EXPECT_EQ(call.find("QueryHeaders"), std::string::npos) << call;
}

TEST_F(FakeTableDownload, WinHttpOpenTriesAutomaticThenDefaultThenNoProxy) {
  state.script.refusedOpens = 2;
  state.script.reads = {10};
  EXPECT_TRUE(Download()) << error;
  ASSERT_GE(state.calls.size(), 4u);
  EXPECT_EQ(state.calls[0], "Open VelmoraNative-Updater/1.0 4 null null 0");
  EXPECT_EQ(state.calls[1], "Open VelmoraNative-Updater/1.0 0 null null 0");
  EXPECT_EQ(state.calls[2], "Open VelmoraNative-Updater/1.0 1 null null 0");
  EXPECT_EQ(state.calls[3], "SetOption session 84 10240 4");
}

TEST_F(FakeTableDownload, WinHttpOpenRefusingAllThreeGivesTheLastAttemptsCode) {
  state.script.refusedOpens = 3;
  EXPECT_FALSE(Download());
  EXPECT_EQ(error, "WinHttpOpen failed (code 7001)");  // 7000 + access type 1, the third
  EXPECT_EQ(state.calls.size(), 3u);
  EXPECT_TRUE(state.closings.empty());
}

// Where WinHTTP knows no TLS 1.3 it refuses the pair with 87; TLS 1.2 alone must then hold.
TEST_F(FakeTableDownload, SessionRefusingTls13WithError87RequiresTls12Alone) {
  state.script.refusedSessionProtocols = {0x2800};
  state.script.reads = {10};
  EXPECT_TRUE(Download()) << error;
  ASSERT_GE(state.calls.size(), 4u);
  EXPECT_EQ(state.calls[1], "SetOption session 84 10240 4");
  EXPECT_EQ(state.calls[2], "SetOption session 84 2048 4");
  EXPECT_EQ(state.calls[3], "SetTimeouts session 15000 30000 15000 30000");
}

TEST_F(FakeTableDownload, SessionRefusingBothProtocolValuesFailsBeforeAnyRequest) {
  state.script.refusedSessionProtocols = {0x2800, 0x800};
  EXPECT_FALSE(Download());
  EXPECT_EQ(error, "Unable to restrict the connection to TLS 1.2 or later (code 87)");
  EXPECT_EQ(state.calls,
            (std::vector<std::string>{"Open VelmoraNative-Updater/1.0 4 null null 0",
                                      "SetOption session 84 10240 4", "SetOption session 84 2048 4"}));
  EXPECT_EQ(state.closings, (std::vector<Closing>{{"session", false, false}}));
  EXPECT_FALSE(test::PathExists(state.destination));
}

TEST_F(FakeTableDownload, WithoutSetTimeoutsTheDownloadGoesOnWithoutThem) {
  table.WinHttpSetTimeouts = nullptr;
  state.script.reads = {10};
  EXPECT_TRUE(Download()) << error;
  for (const std::string& call : state.calls) EXPECT_EQ(call.find("SetTimeouts"), std::string::npos);
}

TEST_F(FakeTableDownload, UnavailableTableFailsWithoutAnyCall) {
  table.available = false;
  EXPECT_FALSE(Download());
  EXPECT_EQ(error, "WinHTTP is unavailable");
  EXPECT_TRUE(state.calls.empty());
}

struct PathCase {
  const char* name;
  Script script;
  std::uint64_t maxBytes;
  std::string error;
  std::vector<std::string> closed;  // handles, in closing order
  bool fileStep;                    // the staging file was created on this path
  std::wstring destination = {};    // instead of the temp folder's package.msi
};

TEST_F(FakeTableDownload, HandlesCloseAsFileRequestConnectionSessionOnEveryPath) {
  const std::vector<std::string> all = {"request", "connection", "session"};
  auto with = [](auto change) {
    Script s;
    change(s);
    return s;
  };
  const std::vector<PathCase> cases = {
      {"connect refused",
       with([](Script& s) { s.refuseConnect = true; }),
       0,
       "WinHttpConnect failed (code 12005)",
       {"session"},
       false},
      {"open request refused",
       with([](Script& s) { s.refuseOpenRequest = true; }),
       0,
       "WinHttpOpenRequest failed (code 12006)",
       {"connection", "session"},
       false},
      {"send refused", with([](Script& s) { s.refuseSend = true; }), 0,
       "Update download request failed (code 12029)", all, false},
      {"receive refused", with([](Script& s) { s.refuseReceive = true; }), 0,
       "Update download request failed (code 12175)", all, false},
      {"status 404", with([](Script& s) { s.status = 404; }), 0, "Update server returned HTTP 404", all,
       false},
      {"stale Date", with([](Script& s) { s.staleDate = true; }), 0,
       "Update server's Date is 120 seconds behind this computer's clock", all, false},
      {"no server certificate", with([](Script& s) { s.withCertificate = false; }), 0,
       "Server certificate context unavailable", all, false},
      {"announced length above the limit", with([](Script& s) { s.contentLength = 1001; }), 1000,
       "Update exceeds the maximum download size", all, false},
      {"staging file not creatable", with([](Script& s) { s.reads = {10}; }), 0,
       "Unable to create the staged update file (code 3)", all, false, L"no-such-folder\\package.msi"},
      {"first read fails", with([](Script& s) { s.readFailsAfterwards = true; }), 0,
       "Update download read failed (code 12030)", all, true},
      {"read fails mid-body", with([](Script& s) {
         s.reads = {262144, 1000};
         s.readFailsAfterwards = true;
       }),
       0, "Update download read failed (code 12030)", all, true},
      {"body passes the limit", with([](Script& s) {
         s.reads = {262144, 262144};
       }),
       300000, "Update exceeded the maximum download size", all, true},
      {"body shorter than announced", with([](Script& s) {
         s.contentLength = 300000;
         s.reads = {262144, 7};
       }),
       0, "Update download ended after 262151 of 300000 announced bytes", all, true},
      {"empty body", Script{}, 0, "Update download was empty", all, true},
      {"success", with([](Script& s) {
         s.reads = {262144, 7};
       }),
       0, "", all, true},
  };
  for (const PathCase& c : cases) {
    SCOPED_TRACE(c.name);
    state.script = c.script;
    state.calls.clear();
    state.closings.clear();
    state.nextRead = 0;
    state.destination = c.destination.empty() ? local / L"package.msi" : local / c.destination;
    DeleteFileW(state.destination.c_str());
    const bool ok = Download(c.maxBytes);
    EXPECT_EQ(ok, std::string(c.name) == "success");
    EXPECT_EQ(error, c.error);
    std::vector<Closing> expected;
    // The file is closed before any WinHTTP handle, and deleted only after the last of them.
    for (const std::string& handle : c.closed) expected.push_back({handle, false, c.fileStep});
    EXPECT_EQ(state.closings.size(), expected.size());
    for (std::size_t i = 0; i < std::min(expected.size(), state.closings.size()); ++i) {
      EXPECT_EQ(state.closings[i].handle, expected[i].handle) << i;
      EXPECT_EQ(state.closings[i].fileOpen, expected[i].fileOpen) << i;
      EXPECT_EQ(state.closings[i].fileExists, expected[i].fileExists) << i;
    }
    EXPECT_EQ(test::PathExists(state.destination), ok);
  }
}

}  // namespace
}  // namespace velmora
