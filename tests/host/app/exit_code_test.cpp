#include "app/exit_code.h"

#include <gtest/gtest.h>

#include <set>

namespace velmora {
namespace {

// A cancelled download is 1602 in either mode.
TEST(ExitCodeFor, InteractiveRunsKeepZeroAndOne) {
  const struct {
    RunEnd end;
    int code;
  } cases[] = {
      {{Outcome::UpToDate}, 0},
      {{Outcome::Installed}, 0},
      {{Outcome::Installed, FailureCause::None, true}, 0},
      {{Outcome::Failed, FailureCause::Download}, 1},
      {{Outcome::Failed, FailureCause::PackageCheck}, 1},
      {{Outcome::Failed, FailureCause::Setup}, 1},
      {{Outcome::InstallFailed, FailureCause::Installer}, 1},
      {{Outcome::InstallFailed, FailureCause::InstallerCancelled}, 1},
      {{Outcome::InstallFailed, FailureCause::AnotherInstallRunning}, 1},
      {{Outcome::Restored, FailureCause::Installer}, 1},
      {{Outcome::Cancelled}, 1602},
      {{Outcome::Pending}, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExitCodeFor(RunMode::Interactive, c.end), c.code)
        << static_cast<int>(c.end.outcome) << " " << static_cast<int>(c.end.cause);
  }
}

// The codes a deployment tool reads: Windows Installer's own where one fits, so that 3010 is
// a soft restart and 1618 a retry in their default tables.
TEST(ExitCodeFor, UnattendedRunsGiveOneSystemCodePerEnding) {
  const struct {
    RunEnd end;
    int code;
  } cases[] = {
      {{Outcome::UpToDate}, 0},
      {{Outcome::UpToDate, FailureCause::None, true}, 0},
      {{Outcome::Installed}, 0},
      {{Outcome::Installed, FailureCause::None, true}, 3010},
      {{Outcome::Failed, FailureCause::Download}, 1619},
      {{Outcome::Failed, FailureCause::PackageCheck}, 1620},
      {{Outcome::Failed, FailureCause::Setup}, 1627},
      {{Outcome::Failed, FailureCause::None}, 1627},
      {{Outcome::InstallFailed, FailureCause::Installer}, 1603},
      {{Outcome::InstallFailed, FailureCause::InstallerCancelled}, 1602},
      {{Outcome::InstallFailed, FailureCause::AnotherInstallRunning}, 1618},
      {{Outcome::Restored, FailureCause::Installer}, 1638},
      {{Outcome::Cancelled}, 1602},
      {{Outcome::Pending}, 1627},
  };
  for (const RunMode mode : {RunMode::Passive, RunMode::Quiet}) {
    for (const auto& c : cases) {
      EXPECT_EQ(ExitCodeFor(mode, c.end), c.code)
          << static_cast<int>(mode) << " " << static_cast<int>(c.end.outcome) << " "
          << static_cast<int>(c.end.cause);
    }
  }
}

TEST(SecondCopyExitCode, HandsOverOnlyWhileSomeoneWatches) {
  EXPECT_EQ(SecondCopyExitCode(RunMode::Interactive, true), 0);
  EXPECT_EQ(SecondCopyExitCode(RunMode::Interactive, false), 1);
  for (const RunMode mode : {RunMode::Passive, RunMode::Quiet}) {
    EXPECT_EQ(SecondCopyExitCode(mode, true), 1618);
    EXPECT_EQ(SecondCopyExitCode(mode, false), 1618);
  }
}

TEST(UnattendedExitCodes, ListEachCodeOnceWithItsMeaning) {
  std::set<int> codes;
  for (const ExitCodeRow& row : UnattendedExitCodes()) {
    EXPECT_TRUE(codes.insert(row.code).second) << row.code;
    EXPECT_NE(std::wstring(row.meaning), L"") << row.code;
  }
  EXPECT_EQ(codes, (std::set<int>{0, 87, 1602, 1603, 1618, 1619, 1620, 1627, 1638, 3010}));
}

}  // namespace
}  // namespace velmora
