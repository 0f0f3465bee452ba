#include "base/setup_state.h"
#include "base/user_texts.h"

#include <cwchar>
#include <vector>

namespace velmora {

std::wstring StatusText;
std::wstring ErrorText;
std::mutex StatusLock;
std::atomic<Operation> SetupOperation{Operation::None};
std::atomic<Outcome> SetupOutcome{Outcome::Pending};
std::atomic<bool> SetupBusy{true};
std::atomic<FailureCause> SetupFailureCause{FailureCause::None};
std::atomic<bool> RestartRequired{false};
WindowHandle SetupWindowHandle = nullptr;
std::int32_t ProgressPercent = 0;
bool ForceFallbackManifest = false;
std::atomic<CancelState> SetupCancel{CancelState::NotOffered};

namespace {

void Post(std::uint32_t message, std::uintptr_t wParam) {
  if (SetupWindowHandle != nullptr) PostSetupMessage(SetupWindowHandle, message, wParam);
}

void EndRun(Outcome outcome, std::uint32_t message) {
  SetupOutcome.exchange(outcome);
  SetupBusy.exchange(false);
  Post(message, 0);
}

}  // namespace

void SetStatus(const std::wstring& text) {
  {
    std::lock_guard<std::mutex> lock(StatusLock);
    if (&text != &StatusText) StatusText = text;
  }
  Post(WM_SETUP_STATUS, 0);
}

void PostProgress(int percent) {
  if (SetupWindowHandle == nullptr) return;
  if (percent > 100) percent = 100;
  if (percent < 0) percent = 0;
  Post(WM_SETUP_PROGRESS, static_cast<std::uintptr_t>(static_cast<std::intptr_t>(percent)));
}

void FailSetup(FailureCause cause, const std::wstring& message) {
  {
    std::lock_guard<std::mutex> lock(StatusLock);
    ErrorText = message;
  }
  CloseSetup(Outcome::Failed, cause);
}

void FinishSetup(Outcome outcome) { EndRun(outcome, WM_SETUP_FINISH); }

void CloseSetup(Outcome outcome, FailureCause cause) {
  SetupFailureCause.exchange(cause);
  EndRun(outcome, WM_SETUP_CLOSE);
}

void OfferCancel() {
  CancelState expected = CancelState::NotOffered;
  SetupCancel.compare_exchange_strong(expected, CancelState::Offered);
}

bool WithdrawCancel() {
  CancelState expected = CancelState::Offered;
  return SetupCancel.compare_exchange_strong(expected, CancelState::NotOffered) ||
         expected == CancelState::NotOffered;
}

bool RequestCancel() {
  CancelState expected = CancelState::Offered;
  return SetupCancel.compare_exchange_strong(expected, CancelState::Requested);
}

bool CancelRequested() { return SetupCancel.load() == CancelState::Requested; }

std::wstring CopyStatusText() {
  std::lock_guard<std::mutex> lock(StatusLock);
  return StatusText;
}

std::wstring CopyErrorText() {
  std::lock_guard<std::mutex> lock(StatusLock);
  return ErrorText;
}

std::wstring FormatDownloadStatus(const std::wstring& version, int percent, std::uint64_t done,
                                  std::uint64_t total) {
  constexpr std::size_t kLineUnits = 256;
  // Sized for the whole line, so the formatting itself never truncates; the cut is ours.
  std::vector<wchar_t> buffer(version.size() + kLineUnits, L'\0');
  const int written = std::swprintf(buffer.data(), buffer.size(), texts::kDownloadProgressFormat,
                                    version.c_str(), percent, done / 1048576.0, total / 1048576.0);
  std::wstring line(buffer.data(), written > 0 ? static_cast<std::size_t>(written) : 0);
  if (line.size() > kLineUnits - 1) line.resize(kLineUnits - 1);
  return line;
}

DownloadProgress MakeDownloadProgressReporter(int& lastPercent, const std::wstring& version) {
  return [&lastPercent, &version](std::uint64_t done, std::uint64_t total) {
    if (total == 0) return;
    // WinHTTP never delivers more than announced, but a bound keeps the conversion defined.
    const double exact = static_cast<double>(done) * 100.0 / static_cast<double>(total);
    const int percent = static_cast<int>(exact < 2147483647.0 ? exact : 2147483647.0);
    if (percent == lastPercent) return;
    lastPercent = percent;
    PostProgress(percent);
    SetStatus(FormatDownloadStatus(version, percent, done, total));
  };
}

}  // namespace velmora
