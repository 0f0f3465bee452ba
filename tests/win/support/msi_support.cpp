#include "msi_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "msi/msiexec_command.h"
#include "product/win/product_record.h"

namespace velmora::test::msi {
namespace {

constexpr DWORD kReadyWaitMilliseconds = 10000;
constexpr DWORD kPollMilliseconds = 50;
// A real msiexec run of the sample packages takes well under a second; a run still going
// after a minute has hung, and failing then beats waiting for the test's own time limit.
constexpr DWORD kLongestRealRunMilliseconds = 60000;

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string ValueAfter(const std::vector<std::string>& lines, const std::string& key) {
  for (const std::string& line : lines) {
    if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  }
  return {};
}

std::wstring WindowText(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

struct WindowSearch {
  DWORD processId;
  bool found;
};

BOOL CALLBACK NoteWindowOf(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId) search->found = true;
  return TRUE;
}

bool HasTopLevelWindow(DWORD processId) {
  WindowSearch search{processId, false};
  EnumWindows(NoteWindowOf, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

std::wstring SystemFolderPath() {
  wchar_t folder[MAX_PATH] = {};
  GetSystemDirectoryW(folder, MAX_PATH);
  return folder;
}

std::wstring TemporaryFolderPath() {
  wchar_t folder[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, folder);
  return folder;
}

std::vector<std::string> SetupLogCapture::Messages() const {
  std::vector<std::string> messages;
  // Each line is "YYYY-MM-DD hh:mm:ss " and the message.
  for (const std::string& line : SplitLines(ReadWholeFile(programData_.LogPath()))) {
    messages.push_back(line.size() >= 20 ? line.substr(20) : line);
  }
  return messages;
}

int SetupLogCapture::Find(const std::string& message) const {
  const std::vector<std::string> messages = Messages();
  for (std::size_t i = 0; i < messages.size(); ++i) {
    if (messages[i] == message) return static_cast<int>(i);
  }
  return -1;
}

RunningCopy::RunningCopy(const std::wstring& executable, const std::wstring& path, bool refuseAccess,
                         Mode mode)
    : folder_(FolderOf(path)) {
  const std::wstring report = folder_ + L"\\velmora-sample-report.txt";
  // A second copy of one file starts the file already there, which its first copy holds open.
  if (!PathExists(path)) {
    EXPECT_TRUE(CopyFileW(executable.c_str(), path.c_str(), TRUE)) << Narrow(path);
  }
  DeleteFileW((folder_ + L"\\velmora-sample-saved.txt").c_str());
  const char* control = mode == Mode::NoWindow ? "report\nnowindow\n"
                        : mode == Mode::Window ? "report\nwindow\n"
                                               : "report\nwindow\nignoreclose\n";
  WriteWholeFile(folder_ + L"\\velmora-sample-mode.txt", control);

  if (!StartChild({path, L"\"" + path + L"\"", folder_, 0, refuseAccess}, child_)) {
    ADD_FAILURE() << "cannot start " << Narrow(path) << " (code " << GetLastError() << ")";
    return;
  }
  const std::string ready = "pid=" + std::to_string(child_.ProcessId()) + "\n";
  for (DWORD waited = 0; waited < kReadyWaitMilliseconds; waited += kPollMilliseconds) {
    if (ReadWholeFile(report).find(ready) != std::string::npos &&
        (mode == Mode::NoWindow || HasTopLevelWindow(child_.ProcessId()))) {
      return;
    }
    if (HasEnded()) break;
    Sleep(kPollMilliseconds);
  }
  ADD_FAILURE() << Narrow(path) << " did not come up (exit code " << ExitCode() << ")";
}

std::string RunningCopy::SavedMarker() const {
  return ReadWholeFile(folder_ + L"\\velmora-sample-saved.txt");
}

RunningCopy::~RunningCopy() {
  if (child_ && !HasEnded()) {
    TerminateProcess(child_.Process(), 1);
    WaitForSingleObject(child_.Process(), 5000);
  }
}

bool RunningCopy::HasEnded() const { return WaitForSingleObject(child_.Process(), 0) == WAIT_OBJECT_0; }

DWORD RunningCopy::ExitCode() const {
  WaitForSingleObject(child_.Process(), 10000);
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(child_.Process(), &code);
  return code;
}

MsiexecStandIn::MsiexecStandIn(const std::wstring& plan)
    : folder_(L"VELMORA_STANDIN_FOLDER", records_.Path()), plan_(L"VELMORA_STANDIN_PLAN", plan) {}

std::wstring MsiexecStandIn::Program() const { return TestBinaryFolder() + L"\\win_msiexec_standin.exe"; }

std::vector<MsiexecStandIn::Run> MsiexecStandIn::Runs() const {
  std::vector<Run> runs;
  for (unsigned n = 1;; ++n) {
    const std::wstring record = records_ / (L"run-" + std::to_wstring(n) + L".txt");
    if (!PathExists(record)) break;
    const std::vector<std::string> lines = SplitLines(ReadWholeFile(record));
    Run run{ValueAfter(lines, "command_line"), ValueAfter(lines, "current_directory"), {}};
    std::istringstream ids(ValueAfter(lines, "velmora_running"));
    for (std::string id; std::getline(ids, id, ',');) run.velmoraRunning.push_back(std::stoul(id));
    runs.push_back(run);
  }
  return runs;
}

MsiexecCalls MsiexecStandIn::Calls() const {
  MsiexecCalls host;
  host.msiexecPath = [program = Program()](const std::wstring&) { return program; };
  return host;
}

std::vector<SeenDialog> DialogAnswerer::AnswerOpenDialogs(DWORD processId) {
  struct Search {
    DWORD processId;
    std::vector<HWND> found;
  } search{processId, {}};
  EnumWindows(
      [](HWND window, LPARAM context) -> BOOL {
        auto* search = reinterpret_cast<Search*>(context);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == search->processId && IsWindowVisible(window) && ClassOf(window) == L"#32770") {
          search->found.push_back(window);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  std::vector<SeenDialog> seen;
  for (HWND dialog : search.found) {
    if (!answered_.insert(dialog).second) continue;
    SeenDialog box{WindowText(dialog), {}, GetWindow(dialog, GW_OWNER), nullptr};
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM context) -> BOOL {
          auto* box = reinterpret_cast<SeenDialog*>(context);
          if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && ClassOf(child) == L"Static") {
            box->icon = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
          }
          const std::wstring text = WindowText(child);
          if (!text.empty()) box->texts.push_back(text);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&box));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    seen.push_back(box);
  }
  return seen;
}

DWORD MsiexecWatch::Wait(HANDLE process, DWORD milliseconds) {
  if (milliseconds == kMsiexecTimeoutMilliseconds && onRunStart) onRunStart();
  const ULONGLONG start = GetTickCount64();
  const ULONGLONG limit =
      milliseconds < kLongestRealRunMilliseconds ? milliseconds : kLongestRealRunMilliseconds;
  for (;;) {
    const DWORD result = WaitForSingleObject(process, kPollMilliseconds);
    const ULONGLONG elapsed = GetTickCount64() - start;
    if (result != WAIT_TIMEOUT) {
      runSeconds.push_back(static_cast<double>(elapsed) / 1000.0);
      return result;
    }
    if (elapsed >= limit) return WAIT_TIMEOUT;
    for (SeenDialog& dialog : answerer_.AnswerOpenDialogs(GetProcessId(process))) dialogs.push_back(dialog);
  }
}

MsiexecCalls MsiexecWatch::Calls() {
  MsiexecCalls host;
  host.waitForProcess = [this](HANDLE process, DWORD milliseconds) { return Wait(process, milliseconds); };
  return host;
}

void PrintRunTimes(const MsiexecWatch& watch) {
  const char* test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  for (std::size_t i = 0; i < watch.runSeconds.size(); ++i) {
    std::printf("[msiexec] %s run %zu: %.3f s\n", test, i + 1, watch.runSeconds[i]);
  }
}

namespace {

void RemoveSampleProduct() {
  const std::wstring productCode = InstalledValue(L"ProductCode");
  if (!productCode.empty()) {
    RunProgram(SystemFolderPath() + L"\\msiexec.exe", L"msiexec.exe /x \"" + productCode + L"\" /qn");
  }
  DeleteInstallerKey();
  wchar_t programFiles[MAX_PATH] = {};
  GetEnvironmentVariableW(L"ProgramFiles", programFiles, MAX_PATH);
  std::error_code ignored;
  std::filesystem::remove_all(std::wstring(programFiles) + L"\\Velmora", ignored);
}

}  // namespace

SampleProductCleanup::SampleProductCleanup() { RemoveSampleProduct(); }
SampleProductCleanup::~SampleProductCleanup() { RemoveSampleProduct(); }

std::uint64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring InstalledValue(const wchar_t* name) {
  std::wstring value;
  return ReadInstallerValue(name, &value) ? value : std::wstring();
}

void WriteInstallerValue(const wchar_t* name, const std::wstring& value) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Velmora\\Installer", 0, nullptr, 0,
                            KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

DWORD GiveUpFirstWait::Wait(HANDLE process, DWORD milliseconds) {
  waits.push_back(milliseconds);
  if (waits.size() > 1) return WaitForSingleObject(process, milliseconds);
  HANDLE copy = nullptr;
  DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
  kept = ScopedHandle(copy);
  return WaitForSingleObject(process, 200);
}

DWORD RunProgram(const std::wstring& program, const std::wstring& commandLine) {
  ScopedProcessInformation child;
  if (!StartChild({program, commandLine}, child)) {
    ADD_FAILURE() << "cannot start " << Narrow(program) << " (code " << GetLastError() << ")";
    return STILL_ACTIVE;
  }
  const HANDLE process = child.Process();
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(process, kLongestRealRunMilliseconds) == WAIT_TIMEOUT) {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
    return STILL_ACTIVE;
  }
  GetExitCodeProcess(process, &code);
  return code;
}

std::string StartLine(const std::wstring& msiPath) {
  return "Starting Windows Installer: " +
         Narrow(InstallCommandLine(msiPath, InstallLogPath(TemporaryFolderPath(), GetCurrentProcessId()),
                                   RunMode::Interactive));
}

std::string UninstallingLine(const std::wstring& productCode) {
  return "Uninstalling broken product " + Narrow(productCode) + ".";
}

}  // namespace velmora::test::msi
