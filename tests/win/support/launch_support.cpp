#include "launch_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>

namespace velmora::test {
namespace {

constexpr wchar_t kLnkinfo[] = L"Z:\\usr\\bin\\lnkinfo";
constexpr wchar_t kShell[] = L"Z:\\bin\\sh";
constexpr size_t kStampLength = 20;  // "YYYY-MM-DD HH:MM:SS "
constexpr DWORD kHelperWaitMs = 20000;
constexpr DWORD kEndWaitMs = 10000;

std::wstring SampleExecutable() {
  const std::wstring relative = TestBinaryFolder() + L"\\..\\sample\\1.1.8\\Velmora.exe";
  wchar_t full[MAX_PATH] = {};
  GetFullPathNameW(relative.c_str(), MAX_PATH, full, nullptr);
  return full;
}

std::wstring UniqueName(const wchar_t* what) {
  static std::atomic<unsigned> counter{0};
  return std::wstring(L"Local\\VelmoraTest-") + what + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(counter++);
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string UnixPath(const std::wstring& windowsPath) {
  using UnixName = char* (*)(const wchar_t*);
  const auto toUnix = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (toUnix == nullptr) return {};
  char* name = toUnix(windowsPath.c_str());
  if (name == nullptr) return {};
  std::string path(name);
  HeapFree(GetProcessHeap(), 0, name);
  return path;
}

}  // namespace

std::vector<std::string> MessagesStartingWith(const std::vector<std::string>& messages,
                                              const std::string& prefix) {
  std::vector<std::string> found;
  for (const std::string& message : messages) {
    if (message.rfind(prefix, 0) == 0) found.push_back(message);
  }
  return found;
}

SampleInstall::SampleInstall() : folder_(temp_ / L"Velmora App") {
  CreateDirectoryW(folder_.c_str(), nullptr);
  EXPECT_TRUE(CopyFileW(SampleExecutable().c_str(), ExePath().c_str(), FALSE))
      << "the sample " << Narrow(SampleExecutable()) << " could not be copied: " << GetLastError();
  record_.SetString(L"InstallFolder", folder_);
}

SampleInstall::~SampleInstall() = default;

void SampleInstall::SetControl(const std::string& lines) const {
  WriteWholeFile(folder_ + L"\\velmora-sample-mode.txt", lines + "\n");
}

std::map<std::string, std::string> SampleInstall::Report() const {
  std::map<std::string, std::string> report;
  std::istringstream lines(ReadWholeFile(folder_ + L"\\velmora-sample-report.txt"));
  for (std::string line; std::getline(lines, line);) {
    const size_t equals = line.find('=');
    if (equals != std::string::npos) report[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return report;
}

void SampleInstall::EndLaunched(const std::vector<std::string>& logMessages) {
  const std::string prefix = "Velmora process started with PID ";
  for (const std::string& line : MessagesStartingWith(logMessages, prefix)) {
    const DWORD pid = std::stoul(line.substr(prefix.size()));
    const ScopedHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    if (!process) continue;
    TerminateProcess(process.Get(), 0);
    WaitForSingleObject(process.Get(), kEndWaitMs);
  }
}

ShellWindowOwner::ShellWindowOwner(bool refuseAccess) {
  const std::wstring readyName = UniqueName(L"shell-ready");
  const std::wstring quitName = UniqueName(L"shell-quit");
  const ScopedHandle ready(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
  quit_ = ScopedHandle(CreateEventW(nullptr, TRUE, FALSE, quitName.c_str()));
  std::wstring command =
      L"\"" + TestBinaryFolder() + L"\\win_launch_shell_window.exe\" " + readyName + L" " + quitName;
  if (!ready || !quit_ || !StartChild({L"", command, L"", 0, refuseAccess}, child_)) {
    ADD_FAILURE() << "the shell window helper could not be started: " << GetLastError();
    return;
  }
  // The helper sets the event once its window is the shell window, or exits when it cannot be.
  const HANDLE waits[] = {ready.Get(), child_.Process()};
  ready_ = WaitForMultipleObjects(2, waits, FALSE, kHelperWaitMs) == WAIT_OBJECT_0;
}

ShellWindowOwner::~ShellWindowOwner() {
  if (!child_) return;
  SetEvent(quit_.Get());
  if (WaitForSingleObject(child_.Process(), kEndWaitMs) != WAIT_OBJECT_0) {
    TerminateProcess(child_.Process(), 1);
    WaitForSingleObject(child_.Process(), kEndWaitMs);
  }
}

LaunchCalls RecordingBoxes(std::vector<Notice>& boxes) {
  LaunchCalls calls;
  calls.notify = [&boxes](const Notice& notice) { boxes.push_back(notice); };
  return calls;
}

bool ReadWithLnkinfo(const std::wstring& linkPath, LnkinfoResult& result, std::string& error) {
  if (GetFileAttributesW(kLnkinfo) == INVALID_FILE_ATTRIBUTES) {
    error = "/usr/bin/lnkinfo is missing: install Debian's liblnk-utils";
    return false;
  }
  const TempFolder work;
  const std::wstring script = work / L"read_link.sh";
  const std::wstring output = work / L"lnkinfo.txt";
  // Wine does not follow a Unix child to its end, so the script publishes the output under
  // its final name only once lnkinfo has finished.
  WriteWholeFile(script,
                 "/usr/bin/lnkinfo \"$1\" > \"$2.part\" 2>&1\n"
                 "echo \"lnkinfo exit status: $?\" >> \"$2.part\"\n"
                 "mv \"$2.part\" \"$2\"\n");
  const std::string unixScript = UnixPath(script);
  const std::string unixLink = UnixPath(linkPath);
  const std::string unixOutput = UnixPath(output);
  if (unixScript.empty() || unixLink.empty() || unixOutput.empty()) {
    error = "no Unix names for the paths (wine_get_unix_file_name)";
    return false;
  }
  std::wstring command = L"\"" + std::wstring(kShell) + L"\" \"" + Widen(unixScript) + L"\" \"" +
                         Widen(unixLink) + L"\" \"" + Widen(unixOutput) + L"\"";
  ScopedProcessInformation child;
  if (!StartChild({kShell, command}, child)) {
    error = "/bin/sh could not be started: " + std::to_string(GetLastError());
    return false;
  }
  child.Close();
  for (DWORD waited = 0; !PathExists(output); waited += 50) {
    if (waited >= kHelperWaitMs) {
      error = "lnkinfo wrote no output";
      return false;
    }
    Sleep(50);
  }
  result.output = ReadWholeFile(output);
  std::istringstream lines(result.output);
  for (std::string line; std::getline(lines, line);) {
    const size_t colon = line.find(':');
    if (colon != std::string::npos) result.fields[Trim(line.substr(0, colon))] = Trim(line.substr(colon + 1));
  }
  if (result.fields["lnkinfo exit status"] != "0") {
    error = "lnkinfo failed: " + result.output;
    return false;
  }
  return true;
}

bool ProcessIsRunning(DWORD pid) {
  const ScopedHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
  return process && WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

}  // namespace velmora::test
