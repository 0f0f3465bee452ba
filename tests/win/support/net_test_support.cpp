#include "net_test_support.h"

#include <atomic>
#include <filesystem>
#include <sstream>
#include <vector>

#include "sandbox_docroot.h"
#include "win_test_support.h"

namespace velmora::test {
namespace {

std::string UniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  return std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
}

}  // namespace

const char kOutsideSandbox[] =
    "VELMORA_SANDBOX_DOCROOT is not set: run the Windows tests inside tools/sandbox/with_sandbox.sh "
    "(tools/run_tests.sh does)";

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

bool RunUnixScript(const std::string& script, UnixRun& run, DWORD timeoutMs) {
  const TempFolder folder;
  const std::string dir = UnixPathOf(folder.Path());
  if (dir.empty()) return false;
  WriteWholeFile(folder / L"run.sh",
                 "{\n" + script + "\n} >" + ShellQuote(dir + "/out") + " 2>" + ShellQuote(dir + "/err") +
                     "\necho $? >" + ShellQuote(dir + "/status.part") + " && mv " +
                     ShellQuote(dir + "/status.part") + " " + ShellQuote(dir + "/status") + "\n");
  ScopedProcessInformation child;
  if (!StartChild({L"Z:\\bin\\sh", L"Z:\\bin\\sh \"" + Widen(dir) + L"/run.sh\""}, child)) return false;
  child.Close();
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (!PathExists(folder / L"status")) {
    if (GetTickCount64() > deadline) return false;
    Sleep(20);
  }
  run.exitStatus = std::stoi(ReadWholeFile(folder / L"status"));
  run.output = ReadWholeFile(folder / L"out");
  run.errors = ReadWholeFile(folder / L"err");
  return true;
}

bool RunNetProbe(const std::wstring& folder, const std::string& environment, const std::string& arguments,
                 std::map<std::string, std::string>& values) {
  return RunProbe(L"win_net_probe.exe", folder, environment, arguments, values);
}

bool RunProbe(const std::wstring& name, const std::wstring& folder, const std::string& environment,
              const std::string& arguments, std::map<std::string, std::string>& values) {
  std::wstring program = TestBinaryFolder() + L"\\" + name;
  if (!folder.empty()) {
    const std::wstring copy = folder + L"\\" + name;
    if (!CopyFileW(program.c_str(), copy.c_str(), FALSE)) return false;
    program = copy;
  }
  UnixRun run;
  if (!RunUnixScript(
          "env " + environment + " /usr/lib/wine/wine64 " + ShellQuote(UnixPathOf(program)) + " " + arguments,
          run) ||
      run.exitStatus != 0) {
    return false;
  }
  std::istringstream lines(run.output);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return true;
}

PCCERT_CONTEXT LoadPemCertificate(const std::wstring& pemPath) {
  const std::string pem = ReadWholeFile(pemPath);
  DWORD size = 0;
  if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                            &size, nullptr, nullptr)) {
    return nullptr;
  }
  std::vector<BYTE> der(size);
  if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                            der.data(), &size, nullptr, nullptr)) {
    return nullptr;
  }
  return CertCreateCertificateContext(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, der.data(), size);
}

ScopedFileLock::ScopedFileLock(const std::wstring& path)
    : file_(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr)) {
  EXPECT_NE(file_, INVALID_HANDLE_VALUE) << Narrow(path);
}

ScopedFileLock::~ScopedFileLock() {
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
}

::testing::AssertionResult FileHolds(const std::wstring& path, const std::string& expected) {
  if (!PathExists(path)) return ::testing::AssertionFailure() << Narrow(path) << " does not exist";
  const std::string actual = ReadWholeFile(path);
  if (actual == expected) return ::testing::AssertionSuccess();
  std::size_t first = 0;
  while (first < actual.size() && first < expected.size() && actual[first] == expected[first]) ++first;
  return ::testing::AssertionFailure() << Narrow(path) << " holds " << actual.size() << " bytes, expected "
                                       << expected.size() << "; first difference at offset " << first;
}

std::string PatternedBytes(std::size_t size, std::uint32_t seed) {
  std::string bytes(size, '\0');
  std::uint32_t state = seed * 2654435761u + 1;
  for (std::size_t i = 0; i < size; ++i) {
    state = state * 1664525u + 1013904223u;  // a 32-bit LCG; the top byte is well mixed
    bytes[i] = static_cast<char>(state >> 24);
  }
  return bytes;
}

SandboxFolder::SandboxFolder() : root_(SandboxDocroot()), folder_("net-" + UniqueSuffix()) {}

SandboxFolder::~SandboxFolder() {
  if (!Valid()) return;
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(root_) / Widen(folder_), ignored);
}

std::string SandboxFolder::Publish(const std::string& name, const std::string& bytes) {
  const std::string relative = folder_ + "/" + name;
  EXPECT_TRUE(PublishFile(Widen(folder_ + "\\" + name), bytes)) << relative;
  return "/" + relative;
}

std::string PinMismatchText(const std::string& leafName, const std::string& issuerName) {
  // The platform's X.500 form: a value with a space is quoted.
  return "SPKI pin mismatch (server certificate O=\"Velmora Sandbox\", CN=" + leafName + "; issued by " +
         issuerName + ")";
}

std::string PkiPin(const std::string& name) {
  std::string pin =
      ReadWholeFile(DosPathOf(std::string(VELMORA_SOURCE_DIR) + "/tools/sandbox/pki/" + name + ".pin"));
  while (!pin.empty() && (pin.back() == '\n' || pin.back() == '\r')) pin.pop_back();
  return pin;
}

std::wstring SamplePackageSignedBy(const std::string& signer) {
  return DriveZPathOf(std::string(VELMORA_BINARY_DIR) + "/packages/" + signer +
                      "/Velmora-Setup-1.1.8-x64.msi");
}

std::string OpensslSignature(const std::string& bytes, const std::string& keyName) {
  const TempFolder folder;
  WriteWholeFile(folder / L"signed", bytes);
  UnixRun run;
  const std::string key = std::string(VELMORA_SOURCE_DIR) + "/tools/sandbox/pki/" + keyName + ".key";
  const bool ran = RunUnixScript(
      "openssl dgst -sha256 -sign " + ShellQuote(key) + " " + ShellQuote(UnixPathOf(folder / L"signed")),
      run);
  EXPECT_TRUE(ran && run.exitStatus == 0) << run.errors;
  return ran && run.exitStatus == 0 ? run.output : std::string();
}

}  // namespace velmora::test
