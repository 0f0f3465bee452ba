// Real-system fixtures for the Wine tests: each sets up what a test uses and removes it after.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "base/win/scoped_handle.h"

namespace velmora::test {

// Sets (or, with nullopt, removes) an environment variable and restores it afterwards.
class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(const wchar_t* name, std::optional<std::wstring> value);
  ~ScopedEnvironmentVariable();
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

 private:
  std::wstring name_;
  std::optional<std::wstring> previous_;
};

// A fresh folder under the temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::wstring& Path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

// Points a shell folder at a folder while this lives: the "User Shell Folders" value `name`
// under root (HKEY_LOCAL_MACHINE for the machine's folders, HKEY_CURRENT_USER for the user's),
// which the known-folder API reads. Afterwards it restores that value and the "Shell Folders"
// copy that the shell writes once it has resolved the folder.
class RedirectedShellFolder {
 public:
  RedirectedShellFolder(HKEY root, const wchar_t* name, const std::wstring& folder);
  ~RedirectedShellFolder();
  RedirectedShellFolder(const RedirectedShellFolder&) = delete;
  RedirectedShellFolder& operator=(const RedirectedShellFolder&) = delete;

 private:
  struct SavedValue {
    const wchar_t* key;
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> data;
  };
  HKEY root_;
  std::wstring name_;
  std::vector<SavedValue> saved_;
};

// The value behind the machine-wide data folder, FOLDERID_ProgramData, under HKEY_LOCAL_MACHINE.
inline constexpr wchar_t kMachineDataFolderValue[] = L"Common AppData";

// The user's desktop (FOLDERID_Desktop) pointed at a folder, as the user can do.
class RedirectedDesktop : public RedirectedShellFolder {
 public:
  explicit RedirectedDesktop(const std::wstring& folder)
      : RedirectedShellFolder(HKEY_CURRENT_USER, L"Desktop", folder) {}
};

// A machine-wide data folder of the test's own: FOLDERID_ProgramData, where the setup writes its
// log, pointed at a fresh folder while this lives, for this process and every process of the
// prefix. The Windows tests run one at a time, so no other test sees it.
class OwnMachineDataFolder {
 public:
  const std::wstring& Path() const { return folder_.Path(); }
  std::wstring operator/(const std::wstring& name) const { return folder_ / name; }
  // The setup log's path inside it.
  std::wstring LogPath() const { return folder_ / L"Velmora\\Setup\\bootstrapper.log"; }

 private:
  TempFolder folder_;
  RedirectedShellFolder redirect_{HKEY_LOCAL_MACHINE, kMachineDataFolderValue, folder_.Path()};
};

// HKLM\Software\Velmora\Installer in the 64-bit view, created empty and deleted afterwards.
class ScopedInstallerKey {
 public:
  ScopedInstallerKey();
  ~ScopedInstallerKey();
  ScopedInstallerKey(const ScopedInstallerKey&) = delete;
  ScopedInstallerKey& operator=(const ScopedInstallerKey&) = delete;
  void SetString(const wchar_t* name, const std::wstring& value, DWORD type = REG_SZ);
  void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes);
};

void DeleteInstallerKey();
std::string ReadWholeFile(const std::wstring& path);
void WriteWholeFile(const std::wstring& path, const std::string& bytes);
bool PathExists(const std::wstring& path);
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);

}  // namespace velmora::test

namespace velmora::test {

// Wine's names for a path on either side: the Unix path of a Windows one and the Windows
// (drive Z:) path of a Unix one; empty when Wine has none.
std::string UnixPathOf(const std::wstring& windowsPath);
std::wstring DosPathOf(const std::string& unixPath);
// The build machine's path on drive Z:, also for a path that does not exist yet.
std::wstring DriveZPathOf(const std::string& unixPath);

// Makes a Unix symbolic link (Wine cannot make Windows ones); Wine shows a link to a folder
// as a reparse point. Both paths are Windows paths inside the prefix.
bool MakeUnixSymlink(const std::wstring& target, const std::wstring& link);
// Removes such a link itself: Wine's own deletes would act on what it points at.
bool RemoveUnixSymlink(const std::wstring& link);

// The folder holding the running test binary and its helper programs.
std::wstring TestBinaryFolder();

// The system's temporary folder, where each setup run makes its private folder.
std::wstring SystemTempFolderPath();

// The run folders that setup runs make in the system's temporary folder: the ones that
// appeared since this record was made, removed with everything in them afterwards.
class NewRunFolders {
 public:
  NewRunFolders();
  ~NewRunFolders();
  NewRunFolders(const NewRunFolders&) = delete;
  NewRunFolders& operator=(const NewRunFolders&) = delete;
  std::vector<std::wstring> Paths() const;
  // The names of the files in the new run folders.
  std::vector<std::wstring> FileNames() const;

 private:
  std::vector<std::wstring> before_;
};

// How a test starts a child process: the one way every test support starts one.
struct ChildStart {
  std::wstring program;  // empty: the command line's first word
  std::wstring commandLine;
  std::wstring folder;  // empty: this process's current folder
  DWORD flags = 0;
  // The child's process carries an empty access list, so that nobody else can open it; the
  // creator keeps the full-access handle it is given.
  bool refuseAccess = false;
};

// False when CreateProcessW failed; its error is then the thread's last error.
bool StartChild(const ChildStart& start, ScopedProcessInformation& child);

struct ChildRun {
  DWORD exitCode = 0;
  std::vector<std::string> debugStrings;
};

// Runs a program as its debugger and collects what it passes to OutputDebugStringA.
bool RunCollectingDebugOutput(const std::wstring& commandLine, ChildRun& run);

}  // namespace velmora::test
