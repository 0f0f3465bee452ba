// Fixtures of the launch and shortcut tests: a sample Velmora.exe placed in an install folder
// that the product record names, a real shell window owned by a helper process, the message
// boxes the launch showed, and lnkinfo. The setup log of a test is
// msi::SetupLogCapture.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "base/win/scoped_handle.h"
#include "launch/win/launch_installed_app.h"
#include "win_test_support.h"

namespace velmora::test {

// The sample Velmora.exe copied into "<temp>\Velmora App", which the product record names as
// the install folder. Processes the launch started are ended afterwards by the identifiers the
// log gives for them.
class SampleInstall {
 public:
  SampleInstall();
  ~SampleInstall();
  SampleInstall(const SampleInstall&) = delete;
  SampleInstall& operator=(const SampleInstall&) = delete;

  const std::wstring& Folder() const { return folder_; }
  std::wstring ExePath() const { return folder_ + L"\\Velmora.exe"; }
  // Writes the sample's control file ("window", "nowindow", "exit N", "report").
  void SetControl(const std::string& lines) const;
  // The sample's report (command_line, current_directory, version, pid); empty if none.
  std::map<std::string, std::string> Report() const;
  // Ends the processes that the log says the launch started, by their identifiers.
  void EndLaunched(const std::vector<std::string>& logMessages);

 private:
  TempFolder temp_;
  std::wstring folder_;
  ScopedInstallerKey record_;
};

// A helper process that owns the desktop's shell window while this lives. With refuseAccess
// its process carries an empty access list, so that nobody else can open it.
class ShellWindowOwner {
 public:
  explicit ShellWindowOwner(bool refuseAccess = false);
  ~ShellWindowOwner();
  ShellWindowOwner(const ShellWindowOwner&) = delete;
  ShellWindowOwner& operator=(const ShellWindowOwner&) = delete;
  [[nodiscard]] bool Ready() const { return ready_; }
  DWORD Pid() const { return child_.ProcessId(); }

 private:
  ScopedHandle quit_;
  ScopedProcessInformation child_;
  bool ready_ = false;
};

// Launch calls whose notices are recorded instead of shown.
LaunchCalls RecordingBoxes(std::vector<Notice>& boxes);

// A .lnk file as Debian's lnkinfo reads it: each "name : value" line of its output, and the
// whole text for failure messages. False with `error` when lnkinfo could not be run.
struct LnkinfoResult {
  std::map<std::string, std::string> fields;
  std::string output;
};
bool ReadWithLnkinfo(const std::wstring& linkPath, LnkinfoResult& result, std::string& error);

// Whether the process is still running.
bool ProcessIsRunning(DWORD pid);

// The messages that start with the prefix, in order.
std::vector<std::string> MessagesStartingWith(const std::vector<std::string>& messages,
                                              const std::string& prefix);

}  // namespace velmora::test
