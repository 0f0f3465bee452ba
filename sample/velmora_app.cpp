// The sample Velmora application: what the setup installs, launches, recognises by its window
// and stops. It is started without arguments, so tests steer it through a control file beside
// the executable, read once at start:
//
//   window      show the window and run until WM_CLOSE (the default, also with no file); on
//               WM_CLOSE first write velmora-sample-saved.txt ("saved") beside the executable,
//               as an application saves its user's work when asked to close
//   ignoreclose with a window: answer WM_CLOSE by doing nothing, like a hung application
//   nowindow    never create a window; stay running until killed, at most two minutes
//   exit N      exit at once with code N (unsigned decimal), no window
//   report      first write velmora-sample-report.txt beside the executable (UTF-8 lines
//               command_line=, current_directory=, version=, pid=)
//
// One directive a line; blank lines and lines starting with '#' are ignored; the last mode wins.
// A control file that cannot be read or holds an unknown line ends the run with kBadControlExit.
#include <windows.h>

#include <string>
#include <string_view>

#ifndef VELMORA_SAMPLE_VERSION
#error "VELMORA_SAMPLE_VERSION must be defined by the build"
#endif

namespace {

constexpr wchar_t kWindowClass[] = L"VelmoraNativeClass";
constexpr wchar_t kWindowTitle[] = L"Velmora";
constexpr wchar_t kBanner[] = L"Velmora " VELMORA_SAMPLE_VERSION;
constexpr wchar_t kControlFileName[] = L"velmora-sample-mode.txt";
constexpr wchar_t kReportFileName[] = L"velmora-sample-report.txt";
constexpr wchar_t kReportTempName[] = L"velmora-sample-report.txt.tmp";
constexpr wchar_t kSavedFileName[] = L"velmora-sample-saved.txt";
constexpr DWORD kControlFileLimit = 4096;
constexpr DWORD kNoWindowLifetimeMs = 120000;
constexpr DWORD kLongestModulePath = 32768;

// The sample's own failures; tests pick other codes for "exit N".
constexpr int kBadControlExit = 2;
constexpr int kReportFailedExit = 3;
constexpr int kWindowFailedExit = 4;

// Owns a kernel handle; null and INVALID_HANDLE_VALUE both mean empty. Closing keeps the last
// error, so a failure can still be read after the handle is gone.
class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE handle) noexcept : handle_(handle) {}
  ~OwnedHandle() {
    if (Valid()) {
      const DWORD lastError = GetLastError();
      CloseHandle(handle_);
      SetLastError(lastError);
    }
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;

  [[nodiscard]] bool Valid() const noexcept { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  [[nodiscard]] HANDLE Get() const noexcept { return handle_; }

 private:
  HANDLE handle_;
};

// Keeps the window class registered while a window of it may exist.
class ClassRegistration {
 public:
  ClassRegistration(ATOM atom, HINSTANCE instance) noexcept : atom_(atom), instance_(instance) {}
  ~ClassRegistration() {
    if (atom_ != 0) UnregisterClassW(MAKEINTATOM(atom_), instance_);
  }
  ClassRegistration(const ClassRegistration&) = delete;
  ClassRegistration& operator=(const ClassRegistration&) = delete;

  [[nodiscard]] bool Valid() const noexcept { return atom_ != 0; }

 private:
  ATOM atom_;
  HINSTANCE instance_;
};

// Destroys the window unless WM_CLOSE already did.
class OwnedWindow {
 public:
  explicit OwnedWindow(HWND window) noexcept : window_(window) {}
  ~OwnedWindow() {
    if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
  }
  OwnedWindow(const OwnedWindow&) = delete;
  OwnedWindow& operator=(const OwnedWindow&) = delete;

  [[nodiscard]] HWND Get() const noexcept { return window_; }

 private:
  HWND window_;
};

enum class RunMode { Window, NoWindow, Exit };

struct ControlSettings {
  RunMode mode = RunMode::Window;
  unsigned long exitCode = 0;
  bool writeReport = false;
  bool ignoreClose = false;
};

// What the window does on WM_CLOSE, set once before the window is made.
struct CloseBehaviour {
  bool ignore = false;
  std::wstring savedPath;
};
CloseBehaviour Closing;

std::string WithCode(const char* message, DWORD code) {
  return std::string(message) + " (code " + std::to_string(code) + ")";
}

std::string_view Trim(std::string_view text) {
  constexpr std::string_view kBlank = " \t\r";
  const size_t first = text.find_first_not_of(kBlank);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

[[nodiscard]] bool ParseExitCode(std::string_view text, unsigned long& code) {
  if (text.empty() || text.size() > 10) return false;
  unsigned long long value = 0;
  for (const char digit : text) {
    if (digit < '0' || digit > '9') return false;
    value = value * 10 + static_cast<unsigned>(digit - '0');
  }
  if (value > 0xFFFFFFFFull) return false;
  code = static_cast<unsigned long>(value);
  return true;
}

[[nodiscard]] bool ParseControlLine(std::string_view line, ControlSettings& settings, std::string* error) {
  if (line == "window") {
    settings.mode = RunMode::Window;
  } else if (line == "nowindow") {
    settings.mode = RunMode::NoWindow;
  } else if (line == "report") {
    settings.writeReport = true;
  } else if (line == "ignoreclose") {
    settings.ignoreClose = true;
  } else if (line.substr(0, 5) == "exit " || line.substr(0, 5) == "exit\t") {
    if (!ParseExitCode(Trim(line.substr(5)), settings.exitCode)) {
      if (error) *error = "bad exit code in control line: " + std::string(line);
      return false;
    }
    settings.mode = RunMode::Exit;
  } else {
    if (error) *error = "unknown control line: " + std::string(line);
    return false;
  }
  return true;
}

[[nodiscard]] bool ParseControlText(std::string_view text, ControlSettings& settings, std::string* error) {
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;
    if (!ParseControlLine(line, settings, error)) return false;
  }
  return true;
}

// A missing control file is the normal case: the settings stay at their defaults.
[[nodiscard]] bool ReadControlFile(const std::wstring& path, ControlSettings& settings, std::string* error) {
  const OwnedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND) return true;
    if (error) *error = WithCode("cannot open the control file", code);
    return false;
  }
  std::string text(kControlFileLimit + 1, '\0');
  DWORD read = 0;
  if (!ReadFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr)) {
    if (error) *error = WithCode("cannot read the control file", GetLastError());
    return false;
  }
  if (read > kControlFileLimit) {
    if (error) *error = "control file larger than " + std::to_string(kControlFileLimit) + " bytes";
    return false;
  }
  text.resize(read);
  return ParseControlText(text, settings, error);
}

// The folder of this executable, ending with a backslash.
[[nodiscard]] bool GetExeFolder(std::wstring& folder, std::string* error) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      if (error) *error = WithCode("GetModuleFileNameW failed", GetLastError());
      return false;
    }
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    if (path.size() >= kLongestModulePath) {
      if (error) *error = "module path too long";
      return false;
    }
    path.resize(path.size() * 2);
  }
  const size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) {
    if (error) *error = "module path has no folder";
    return false;
  }
  folder = path.substr(0, separator + 1);
  return true;
}

[[nodiscard]] bool ToUtf8(std::wstring_view text, std::string& utf8, std::string* error) {
  utf8.clear();
  if (text.empty()) return true;
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                       nullptr, nullptr);
  if (size <= 0) {
    if (error) *error = WithCode("cannot convert text to UTF-8", GetLastError());
    return false;
  }
  utf8.resize(static_cast<size_t>(size));
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr,
                      nullptr);
  return true;
}

[[nodiscard]] bool GetCurrentFolder(std::wstring& folder, std::string* error) {
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) {
    if (error) *error = WithCode("GetCurrentDirectoryW failed", GetLastError());
    return false;
  }
  folder.assign(needed, L'\0');
  const DWORD length = GetCurrentDirectoryW(needed, folder.data());
  if (length == 0 || length >= needed) {
    if (error) *error = WithCode("GetCurrentDirectoryW failed", GetLastError());
    return false;
  }
  folder.resize(length);
  return true;
}

[[nodiscard]] bool FormatReport(std::string& report, std::string* error) {
  std::wstring currentFolder;
  std::string commandLine;
  std::string currentFolderUtf8;
  if (!GetCurrentFolder(currentFolder, error) || !ToUtf8(GetCommandLineW(), commandLine, error) ||
      !ToUtf8(currentFolder, currentFolderUtf8, error)) {
    return false;
  }
  report = "command_line=" + commandLine + "\ncurrent_directory=" + currentFolderUtf8 +
           "\nversion=" VELMORA_SAMPLE_VERSION "\npid=" + std::to_string(GetCurrentProcessId()) + "\n";
  return true;
}

[[nodiscard]] bool WriteWholeFile(const std::wstring& path, const std::string& content, std::string* error) {
  const OwnedHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    if (error) *error = WithCode("cannot create the report file", GetLastError());
    return false;
  }
  DWORD written = 0;
  if (!WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) ||
      written != content.size()) {
    if (error) *error = WithCode("cannot write the report file", GetLastError());
    return false;
  }
  return true;
}

// Written under a temporary name and then renamed, so a reader never sees half a report.
[[nodiscard]] bool WriteReport(const std::wstring& folder, std::string* error) {
  std::string report;
  if (!FormatReport(report, error)) return false;
  const std::wstring temporary = folder + kReportTempName;
  if (!WriteWholeFile(temporary, report, error)) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  if (!MoveFileExW(temporary.c_str(), (folder + kReportFileName).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    if (error) *error = WithCode("cannot rename the report file", GetLastError());
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

LRESULT CALLBACK SampleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      const HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      DrawTextW(dc, kBanner, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_CLOSE:
      if (Closing.ignore) return 0;
      if (!WriteWholeFile(Closing.savedPath, "saved\n", nullptr)) DeleteFileW(Closing.savedPath.c_str());
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

int RunWindow(HINSTANCE instance, int showCommand, std::string* error) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = SampleWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kWindowClass;
  const ClassRegistration registration(RegisterClassExW(&windowClass), instance);
  if (!registration.Valid()) {
    if (error) *error = WithCode("RegisterClassExW failed", GetLastError());
    return kWindowFailedExit;
  }
  const OwnedWindow window(CreateWindowExW(0, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                           CW_USEDEFAULT, 480, 320, nullptr, nullptr, instance, nullptr));
  if (window.Get() == nullptr) {
    if (error) *error = WithCode("CreateWindowExW failed", GetLastError());
    return kWindowFailedExit;
  }
  ShowWindow(window.Get(), showCommand);
  UpdateWindow(window.Get());

  MSG message;
  BOOL got;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (got < 0) {
    if (error) *error = WithCode("GetMessageW failed", GetLastError());
    return kWindowFailedExit;
  }
  return static_cast<int>(message.wParam);
}

int Run(HINSTANCE instance, int showCommand, std::string* error) {
  std::wstring folder;
  ControlSettings settings;
  if (!GetExeFolder(folder, error) || !ReadControlFile(folder + kControlFileName, settings, error)) {
    return kBadControlExit;
  }
  if (settings.writeReport && !WriteReport(folder, error)) return kReportFailedExit;
  switch (settings.mode) {
    case RunMode::Exit:
      return static_cast<int>(settings.exitCode);
    case RunMode::NoWindow:
      Sleep(kNoWindowLifetimeMs);
      return 0;
    case RunMode::Window:
      break;
  }
  Closing.ignore = settings.ignoreClose;
  Closing.savedPath = folder + kSavedFileName;
  return RunWindow(instance, showCommand, error);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  std::string error;
  const int exitCode = Run(instance, showCommand, &error);
  if (!error.empty()) OutputDebugStringA(("Velmora sample: " + error + "\n").c_str());
  return exitCode;
}
