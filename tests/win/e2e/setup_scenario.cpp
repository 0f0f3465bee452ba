#include "setup_scenario.h"

#include <shlobj.h>

#include <sstream>

#include "base/win/scoped_handle.h"

namespace velmora::test {
namespace {

struct WindowClose {
  const wchar_t* title;
  int closed;
};

BOOL CALLBACK CloseByTitle(HWND window, LPARAM context) {
  auto* close = reinterpret_cast<WindowClose*>(context);
  wchar_t title[64] = {};
  wchar_t className[64] = {};
  GetWindowTextW(window, title, 64);
  GetClassNameW(window, className, 64);
  if (wcscmp(title, close->title) == 0 && wcscmp(className, L"VelmoraNativeClass") == 0) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    ++close->closed;
  }
  return TRUE;
}

}  // namespace

std::string Manifest(const std::string& version, const std::string& url, const std::string& digest,
                     std::uint64_t exeSize) {
  return ManifestText(version, url, "sha256:" + digest, exeSize);
}

DWORD RunMsiexec(const std::wstring& arguments) {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring program = std::wstring(system) + L"\\msiexec.exe";
  ScopedProcessInformation child;
  if (!StartChild({program, L"msiexec.exe " + arguments}, child)) return 0xFFFFFFFF;
  WaitForSingleObject(child.Process(), 300000);
  DWORD code = 0xFFFFFFFF;
  GetExitCodeProcess(child.Process(), &code);
  return code;
}

std::wstring RegistryValue(const wchar_t* name) {
  wchar_t data[1024] = {};
  DWORD bytes = sizeof data;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Velmora\\Installer", name,
                   RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, data, &bytes) != ERROR_SUCCESS) {
    return {};
  }
  return data;
}

std::wstring DesktopShortcutPath() {
  PWSTR desktop = nullptr;
  if (FAILED(SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, &desktop))) return {};
  std::wstring path = std::wstring(desktop) + L"\\Velmora.lnk";
  CoTaskMemFree(desktop);
  return path;
}

std::wstring InstalledExePath() {
  const std::wstring folder = RegistryValue(L"InstallFolder");
  std::wstring path = folder.empty() ? L"C:\\Program Files\\Velmora\\" : folder;
  if (path.back() != L'\\') path += L'\\';
  return path + L"Velmora.exe";
}

// Log lines without their time stamps.
std::vector<std::string> LogMessages(const std::wstring& path) {
  std::istringstream text(ReadWholeFile(path));
  std::vector<std::string> messages;
  std::string line;
  while (std::getline(text, line)) messages.push_back(line.size() > 20 ? line.substr(20) : line);
  return messages;
}

// Closes every running sample application window; returns how many there were.
int CloseSampleWindows() {
  WindowClose close{L"Velmora", 0};
  EnumWindows(CloseByTitle, reinterpret_cast<LPARAM>(&close));
  if (close.closed > 0) Sleep(500);
  return close.closed;
}

bool WaitForSampleWindow(DWORD milliseconds) {
  for (DWORD waited = 0; waited < milliseconds; waited += 100) {
    if (FindWindowW(L"VelmoraNativeClass", L"Velmora") != nullptr) return true;
    Sleep(100);
  }
  return false;
}

std::wstring ArtifactsFolder() {
  const std::wstring folder = TestBinaryFolder() + L"\\..\\artifacts";
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

}  // namespace velmora::test
