#include "msi/install_strategy.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "app/setup_state.h"
#include "captured_log.h"
#include "recorded_posts.h"

namespace velmora {
namespace {

WindowHandle const kWindow = reinterpret_cast<WindowHandle>(0x4d5349);
const std::wstring kPackage = L"C:\\Temp\\Velmora Setup 42.msi";

constexpr wchar_t kFinalMessage[] =
    L"Velmora could not be installed after repairing the previous copy. Run Velmora Setup again, or download "
    L"the latest installer from downloads.velmora.test.";

constexpr char kRepairPath[] = "Repair path: trying install/upgrade first.";
constexpr char kCleanReinstall[] = "Clean reinstall requested: removing the previous copy first.";
constexpr char kInstallFailed[] = "Install/upgrade failed; falling back to uninstall + reinstall.";
constexpr char kUninstallFailed[] = "Uninstall failed; trying install over the existing product.";

// Each step as the strategy called it, with the status text the window showed at that moment.
struct Step {
  std::wstring what;
  std::wstring status;
  bool operator==(const Step&) const = default;
};

void PrintTo(const Step& step, std::ostream* out) {
  *out << testing::PrintToString(step.what) << " under " << testing::PrintToString(step.status);
}

const Step kFirstInstall{L"install " + kPackage, L"Starting the Windows installer..."};
const Step kUninstall{L"uninstall", L"Cleaning up the previous Velmora copy..."};
const Step kSecondInstall{L"install " + kPackage, L"Installing the latest Velmora..."};
const Step kFinalBox{std::wstring(L"box ") + kFinalMessage, L"Installing the latest Velmora..."};

struct Row {
  const char* name;
  bool removeFirst;
  std::deque<bool> installResults;
  bool uninstallResult;
  std::vector<Step> steps;
  std::vector<std::string> log;
  bool result;
};

class InstallStrategyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSetupState(kWindow);
    CapturedLog().clear();
  }
  void TearDown() override { ResetSetupState(nullptr); }

  // Steps that answer from the row and write down how they were called.
  InstallStrategySteps Recording(std::deque<bool>& installResults, bool uninstallResult) {
    return InstallStrategySteps{
        [this, &installResults](const std::wstring& msiPath) {
          seen.push_back({L"install " + msiPath, CopyStatusText()});
          EXPECT_FALSE(installResults.empty()) << "more installs than the row allows";
          if (installResults.empty()) return false;
          const bool result = installResults.front();
          installResults.pop_front();
          return result;
        },
        [this, uninstallResult] {
          seen.push_back({L"uninstall", CopyStatusText()});
          return uninstallResult;
        },
        [this](const std::wstring& text) { seen.push_back({L"box " + text, CopyStatusText()}); },
    };
  }

  std::vector<Step> seen;
};

TEST_F(InstallStrategyTest, EverySequenceOfInstallUninstallAndReinstall) {
  const Row rows[] = {
      {"first install succeeds", false, {true}, true, {kFirstInstall}, {kRepairPath}, true},
      {"second install succeeds after uninstall",
       false,
       {false, true},
       true,
       {kFirstInstall, kUninstall, kSecondInstall},
       {kRepairPath, kInstallFailed},
       true},
      {"second install runs although the uninstall failed",
       false,
       {false, true},
       false,
       {kFirstInstall, kUninstall, kSecondInstall},
       {kRepairPath, kInstallFailed, kUninstallFailed},
       true},
      {"both installs fail",
       false,
       {false, false},
       true,
       {kFirstInstall, kUninstall, kSecondInstall, kFinalBox},
       {kRepairPath, kInstallFailed},
       false},
      {"everything fails",
       false,
       {false, false},
       false,
       {kFirstInstall, kUninstall, kSecondInstall, kFinalBox},
       {kRepairPath, kInstallFailed, kUninstallFailed},
       false},
      {"remove first, then install", true, {true}, true, {kUninstall, kSecondInstall}, {kCleanReinstall}, true},
      {"remove first fails, install all the same",
       true,
       {true},
       false,
       {kUninstall, kSecondInstall},
       {kCleanReinstall, kUninstallFailed},
       true},
      {"remove first, install fails",
       true,
       {false},
       true,
       {kUninstall, kSecondInstall, kFinalBox},
       {kCleanReinstall},
       false},
      {"remove first: both fail",
       true,
       {false},
       false,
       {kUninstall, kSecondInstall, kFinalBox},
       {kCleanReinstall, kUninstallFailed},
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ResetSetupState(kWindow);
    CapturedLog().clear();
    seen.clear();
    std::deque<bool> installResults = row.installResults;
    EXPECT_EQ(RunInstallStrategy(kPackage, row.removeFirst, Recording(installResults, row.uninstallResult)),
              row.result);
    EXPECT_EQ(seen, row.steps);
    EXPECT_EQ(CapturedLog(), row.log);
    EXPECT_TRUE(installResults.empty());
    // Each status text reached the window as one status message.
    std::size_t statusSteps = 0;
    for (const Step& step : row.steps) statusSteps += step.what.rfind(L"box ", 0) == 0 ? 0 : 1;
    EXPECT_EQ(RecordedPosts(), std::vector<RecordedPost>(statusSteps, {kWindow, WM_SETUP_STATUS, 0}));
  }
}

TEST_F(InstallStrategyTest, NeitherOperationNorOutcomeIsTouched) {
  SetupOperation = Operation::Update;
  std::deque<bool> installResults = {false, false};
  EXPECT_FALSE(RunInstallStrategy(kPackage, false, Recording(installResults, false)));
  EXPECT_EQ(SetupOperation.load(), Operation::Update);
  EXPECT_EQ(SetupOutcome.load(), Outcome::Pending);
  EXPECT_TRUE(SetupBusy.load());
  EXPECT_EQ(CopyStatusText(), L"Installing the latest Velmora...");
}

}  // namespace
}  // namespace velmora
