#include "app/command_line.h"

#include "app/exit_code.h"

namespace velmora {
namespace {

// The switch's name without its '/' or '-', lower-cased; empty for anything else.
std::wstring SwitchName(const std::wstring& argument) {
  if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) return {};
  std::wstring name = argument.substr(1);
  for (wchar_t& unit : name) {
    if (unit >= L'A' && unit <= L'Z') unit = static_cast<wchar_t>(unit - L'A' + L'a');
  }
  return name;
}

}  // namespace

bool ParseSetupArguments(const std::vector<std::wstring>& arguments, SetupOptions& options,
                         std::wstring* error) {
  SetupOptions parsed;
  bool quiet = false;
  bool passive = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::wstring& argument = arguments[i];
    // The diagnostic switch keeps its one spelling and its case.
    if (argument == L"--fallback-manifest") {
      parsed.fallbackManifest = true;
      continue;
    }
    const std::wstring name = SwitchName(argument);
    if (name == L"quiet") {
      quiet = true;
    } else if (name == L"passive") {
      passive = true;
    } else if (name == L"norestart") {
      parsed.noRestart = true;
    } else if (name == L"shortcut") {
      parsed.shortcut = true;
    } else if (name == L"?") {
      parsed.showHelp = true;
    } else if (name == L"log") {
      if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
        if (error != nullptr) *error = argument + L" needs the path of a file after it";
        return false;
      }
      parsed.logCopyPath = arguments[++i];
    } else {
      if (error != nullptr) *error = L"unknown argument \"" + argument + L"\"";
      return false;
    }
  }
  parsed.mode = quiet ? RunMode::Quiet : passive ? RunMode::Passive : RunMode::Interactive;
  options = parsed;
  return true;
}

std::wstring UsageText() {
  std::wstring text =
      L"VelmoraSetup.exe [/quiet | /passive] [/shortcut] [/norestart] [/log <file>]\n\n"
      L"/quiet\tNo window at all; nothing is launched.\n"
      L"/passive\tThe progress window only, with nothing to click; nothing is launched.\n"
      L"/shortcut\tWith /quiet or /passive: also create the desktop shortcut.\n"
      L"/norestart\tAccepted; setup never restarts the computer.\n"
      L"/log <file>\tAlso write the log to this file.\n"
      L"/?\tThis help.\n\n"
      L"Switches may start with / or - and are not case-sensitive.\n\n"
      L"Exit codes with /quiet or /passive:\n";
  for (const ExitCodeRow& row : UnattendedExitCodes()) {
    text += std::to_wstring(row.code) + L"\t" + row.meaning + L"\n";
  }
  text += L"\nWithout them: 0 for success, 1 for failure; 87 for a switch not understood.";
  return text;
}

}  // namespace velmora
