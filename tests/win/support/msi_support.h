// Fixtures of the Windows Installer tests: the setup log of the test, running copies of the
// sample application, the msiexec stand-in, a wait that answers msiexec's dialogs the way a
// person would, and the removal of whatever sample product a test installed.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "base/win/scoped_handle.h"
#include "msi/msiexec_command.h"
#include "msi/win/msiexec_calls.h"
#include "win_test_support.h"

namespace velmora::test::msi {

#ifdef VELMORA_BINARY_DIR
// A sample package as the build made it, e.g. SamplePackage(L"1.1.7").
inline std::wstring SamplePackage(const std::wstring& version) {
  return DriveZPathOf(VELMORA_BINARY_DIR "/packages/Velmora-Setup-") + version + L"-x64.msi";
}
// The sample executable of a version; the small 1.0.0 one is what tests copy under other names.
inline std::wstring SampleExecutable(const std::wstring& version = L"1.0.0") {
  return DriveZPathOf(VELMORA_BINARY_DIR "/sample/") + version + L"\\Velmora.exe";
}
#endif

// GetSystemDirectoryW's folder, and GetTempPathW's with its trailing backslash.
std::wstring SystemFolderPath();
std::wstring TemporaryFolderPath();

// The bootstrap log lines written while it lives, by this process and by every other process of
// the prefix, kept in a machine-wide data folder of the test's own.
class SetupLogCapture {
 public:
  // The messages without their time stamps, in order.
  std::vector<std::string> Messages() const;
  // The position of a message, or -1.
  int Find(const std::string& message) const;
  // The machine-wide data folder the system is pointed at while this lives.
  const std::wstring& DataFolder() const { return programData_.Path(); }

 private:
  OwnMachineDataFolder programData_;
};

// A copy of an executable started under the given path; with a sample Velmora.exe its control
// file makes it stay up without a window, or with one (Mode::Window: it saves on WM_CLOSE;
// Mode::IgnoringClose: it ignores WM_CLOSE). The constructor returns once the copy runs its own
// code (it has written its report, and shown its window when it has one). A copy still running
// when the test ends is terminated.
class RunningCopy {
 public:
  enum class Mode { NoWindow, Window, IgnoringClose };
  // refuseAccess: the copy's process carries an empty access list, so that nobody else can
  // open it; this object keeps the full-access handle of its creation.
  RunningCopy(const std::wstring& executable, const std::wstring& path, bool refuseAccess = false,
              Mode mode = Mode::NoWindow);
  ~RunningCopy();
  RunningCopy(const RunningCopy&) = delete;
  RunningCopy& operator=(const RunningCopy&) = delete;

  DWORD Pid() const { return child_.ProcessId(); }
  // What the sample wrote when it was asked to close, empty when it wrote nothing.
  std::string SavedMarker() const;
  bool Started() const { return child_.Valid(); }
  bool HasEnded() const;
  // Waits up to 10 seconds for the end; STILL_ACTIVE when it did not come.
  DWORD ExitCode() const;

 private:
  ScopedProcessInformation child_;
  std::wstring folder_;
};

// Stands in for msiexec with exit codes or a hang taken from a plan ("0,1603" or "hang"); each
// run writes down what it saw.
class MsiexecStandIn {
 public:
  explicit MsiexecStandIn(const std::wstring& plan);
  MsiexecStandIn(const MsiexecStandIn&) = delete;
  MsiexecStandIn& operator=(const MsiexecStandIn&) = delete;

  std::wstring Program() const;

  struct Run {
    std::string commandLine;
    std::string currentDirectory;
    std::vector<DWORD> velmoraRunning;  // Velmora.exe processes alive as the run started
  };
  std::vector<Run> Runs() const;

  // A host whose msiexec is this stand-in.
  MsiexecCalls Calls() const;

 private:
  TempFolder records_;
  ScopedEnvironmentVariable folder_;
  ScopedEnvironmentVariable plan_;
};

// What a dialog box showed: its title, the texts of its controls, its owner and its icon.
struct SeenDialog {
  std::wstring title;
  std::vector<std::wstring> texts;
  HWND owner = nullptr;
  HICON icon = nullptr;
};

// Finds the visible dialog boxes of a process not answered before, notes what they show and
// chooses their OK button.
class DialogAnswerer {
 public:
  std::vector<SeenDialog> AnswerOpenDialogs(DWORD processId);

 private:
  std::set<HWND> answered_;
};

// The wait on a hanging msiexec, cut short: the first wait gives up after 200 ms as the real
// one would at its limit, and keeps the process so that the test can read how it ended; later
// waits are real. Each limit asked for is recorded.
class GiveUpFirstWait {
 public:
  DWORD Wait(HANDLE process, DWORD milliseconds);

  std::vector<DWORD> waits;
  ScopedHandle kept;
};

// A wait for msiexec that does what a person at the screen would: it answers every dialog
// box that msiexec shows with OK. It also notes how long each run took, and calls onRunStart
// as each run's wait begins.
class MsiexecWatch {
 public:
  DWORD Wait(HANDLE process, DWORD milliseconds);
  // A host of the real system whose waits go through this watch.
  MsiexecCalls Calls();

  std::function<void()> onRunStart;
  std::vector<SeenDialog> dialogs;
  std::vector<double> runSeconds;

 private:
  DialogAnswerer answerer_;
};

// Prints how long each msiexec run of the current test took, for the record of a test run.
void PrintRunTimes(const MsiexecWatch& watch);

// Removes the sample product a test installed: the registered product through msiexec, the
// record key and the install folder. Also done on construction, after an aborted run.
class SampleProductCleanup {
 public:
  SampleProductCleanup();
  ~SampleProductCleanup();
  SampleProductCleanup(const SampleProductCleanup&) = delete;
  SampleProductCleanup& operator=(const SampleProductCleanup&) = delete;
};

// The size of a file in bytes, 0 when it cannot be read.
std::uint64_t FileSize(const std::wstring& path);

// A value of the product record, empty when absent.
std::wstring InstalledValue(const wchar_t* name);

// Writes a REG_SZ value of the product record, creating the key; SampleProductCleanup removes it.
void WriteInstallerValue(const wchar_t* name, const std::wstring& value);

// The log's start line of an install of msiPath with this process's install log.
std::string StartLine(const std::wstring& msiPath);
// The log's line before the uninstall of a product.
std::string UninstallingLine(const std::wstring& productCode);

// Runs a program with a command line and returns its full exit code, or STILL_ACTIVE when it
// did not end within a minute (it is then terminated).
DWORD RunProgram(const std::wstring& program, const std::wstring& commandLine);

#ifdef VELMORA_BINARY_DIR
// The fixture the msiexec tests open with: Wine's real msiexec on the sample packages, the
// setup log captured, whatever sample product a test installed removed afterwards, and every
// wait watched for the modal boxes that the basic interface must never show.
class MsiexecTest : public ::testing::Test {
 protected:
  void TearDown() override {
    PrintRunTimes(watch);
    // The basic interface must never hold a run on a modal box.
    EXPECT_TRUE(watch.dialogs.empty()) << Narrow(watch.dialogs.front().title);
  }

  // Installs a sample package without the code under test and returns its product code.
  std::wstring InstallSample(const std::wstring& version) {
    EXPECT_EQ(RunProgram(MsiexecPath(SystemFolderPath()),
                         L"msiexec.exe /i \"" + SamplePackage(version) + L"\" /qn"),
              0u);
    return InstalledValue(L"ProductCode");
  }

  SetupLogCapture log;
  SampleProductCleanup cleanup;
  MsiexecWatch watch;
};
#endif

}  // namespace velmora::test::msi
