#include "app/command_line.h"

#include <gtest/gtest.h>

#include "app/exit_code.h"

namespace velmora {
namespace {

struct Expected {
  RunMode mode = RunMode::Interactive;
  bool fallbackManifest = false;
  bool noRestart = false;
  bool shortcut = false;
  bool showHelp = false;
  std::wstring logCopyPath;
};

TEST(ParseSetupArguments, ReadsEverySpellingInAnyOrder) {
  const struct {
    const char* name;
    std::vector<std::wstring> arguments;
    Expected expected;
  } cases[] = {
      {"none", {}, {}},
      {"quiet", {L"/quiet"}, {RunMode::Quiet}},
      {"quiet with a dash, in capitals", {L"-QUIET"}, {RunMode::Quiet}},
      {"mixed case", {L"/QuIeT"}, {RunMode::Quiet}},
      {"passive", {L"-passive"}, {RunMode::Passive}},
      {"quiet wins over passive, either order", {L"/quiet", L"/passive"}, {RunMode::Quiet}},
      {"passive then quiet", {L"/passive", L"/quiet"}, {RunMode::Quiet}},
      {"norestart", {L"/norestart", L"/quiet"}, {RunMode::Quiet, false, true}},
      {"shortcut", {L"-Shortcut", L"/passive"}, {RunMode::Passive, false, false, true}},
      {"help", {L"/?"}, {RunMode::Interactive, false, false, false, true}},
      {"help with a dash", {L"-?"}, {RunMode::Interactive, false, false, false, true}},
      {"log before the mode",
       {L"/log", L"C:\\Logs\\setup.log", L"/quiet"},
       {RunMode::Quiet, false, false, false, false, L"C:\\Logs\\setup.log"}},
      {"log with spaces, as one argument",
       {L"/quiet", L"-LOG", L"C:\\Deploy Logs\\Velmora Setup.log"},
       {RunMode::Quiet, false, false, false, false, L"C:\\Deploy Logs\\Velmora Setup.log"}},
      {"a path that looks like a switch is still the path",
       {L"/log", L"/quiet"},
       {RunMode::Interactive, false, false, false, false, L"/quiet"}},
      {"the diagnostic switch", {L"--fallback-manifest"}, {RunMode::Interactive, true}},
      {"the diagnostic switch among the new ones",
       {L"/quiet", L"--fallback-manifest", L"/norestart"},
       {RunMode::Quiet, true, true}},
      {"repeated switches",
       {L"/quiet", L"/quiet", L"/shortcut", L"/shortcut"},
       {RunMode::Quiet, false, false, true}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetupOptions options;
    std::wstring error = L"untouched";
    ASSERT_TRUE(ParseSetupArguments(c.arguments, options, &error));
    EXPECT_EQ(error, L"untouched");
    EXPECT_EQ(options.mode, c.expected.mode);
    EXPECT_EQ(options.fallbackManifest, c.expected.fallbackManifest);
    EXPECT_EQ(options.noRestart, c.expected.noRestart);
    EXPECT_EQ(options.shortcut, c.expected.shortcut);
    EXPECT_EQ(options.showHelp, c.expected.showHelp);
    EXPECT_EQ(options.logCopyPath, c.expected.logCopyPath);
  }
}

// Anything else is refused by name, so that a mistyped switch never runs a visible install that
// a deployment tool waits on; the options given stay as they were.
TEST(ParseSetupArguments, RefusesUnknownArgumentsAndALogWithoutItsPath) {
  const struct {
    std::vector<std::wstring> arguments;
    std::wstring error;
  } cases[] = {
      {{L"/silent"}, L"unknown argument \"/silent\""},
      {{L"/quiet", L"/q"}, L"unknown argument \"/q\""},
      {{L"--quiet"}, L"unknown argument \"--quiet\""},
      {{L"quiet"}, L"unknown argument \"quiet\""},
      {{L"/"}, L"unknown argument \"/\""},
      {{L"-"}, L"unknown argument \"-\""},
      {{L""}, L"unknown argument \"\""},
      // The diagnostic switch keeps its spelling and its case, and is never a part of a longer argument.
      {{L"--FALLBACK-MANIFEST"}, L"unknown argument \"--FALLBACK-MANIFEST\""},
      {{L"/fallback-manifest"}, L"unknown argument \"/fallback-manifest\""},
      {{L"--fallback-manifest=1"}, L"unknown argument \"--fallback-manifest=1\""},
      {{L"C:\\Users\\x\\--fallback-manifest\\VelmoraSetup.exe"},
       L"unknown argument \"C:\\Users\\x\\--fallback-manifest\\VelmoraSetup.exe\""},
      {{L"/quiet", L"/log"}, L"/log needs the path of a file after it"},
      {{L"-Log", L""}, L"-Log needs the path of a file after it"},
  };
  for (const auto& c : cases) {
    SetupOptions options;
    options.shortcut = true;
    std::wstring error;
    EXPECT_FALSE(ParseSetupArguments(c.arguments, options, &error));
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(options.mode, RunMode::Interactive);
    EXPECT_TRUE(options.shortcut);
    EXPECT_FALSE(ParseSetupArguments(c.arguments, options, nullptr));
  }
}

TEST(UsageText, NamesEverySwitchAndEveryUnattendedExitCode) {
  const std::wstring text = UsageText();
  for (const wchar_t* name : {L"/quiet", L"/passive", L"/shortcut", L"/norestart", L"/log <file>", L"/?"}) {
    EXPECT_NE(text.find(name), std::wstring::npos) << name;
  }
  for (const ExitCodeRow& row : UnattendedExitCodes()) {
    EXPECT_NE(text.find(L"\n" + std::to_wstring(row.code) + L"\t" + row.meaning + L"\n"), std::wstring::npos)
        << row.code;
  }
}

}  // namespace
}  // namespace velmora
