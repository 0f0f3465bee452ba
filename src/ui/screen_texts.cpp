#include "ui/screen_texts.h"

namespace velmora {

std::wstring ProgressStatusLine(const std::wstring& statusText) {
  return statusText.empty() ? texts::kPreparingStatus : statusText;
}

const wchar_t* FinishHeading(Operation operation) {
  switch (operation) {
    case Operation::Install:
      return texts::kInstalledHeading;
    case Operation::Update:
      return texts::kUpdatedHeading;
    case Operation::Repair:
      return texts::kRepairedHeading;
    case Operation::UpToDate:
      return texts::kUpToDateHeading;
    default:
      return texts::kCompletedHeading;
  }
}

std::wstring FinishBody(bool webView2Missing, bool restartRequired, bool actionsOffered) {
  std::wstring body = restartRequired ? std::wstring(texts::kRestartRequiredLine) + L"\n" : std::wstring();
  body += actionsOffered ? texts::kFinishBody : texts::kFinishBodyWithoutActions;
  if (webView2Missing) body += std::wstring(L"\n") + texts::kWebView2MissingWarning;
  return body;
}

const wchar_t* FinishButtonLabel(bool finishing, bool launchSelected) {
  if (!finishing) return texts::kFinishButton;
  return launchSelected ? texts::kOpeningButton : texts::kFinishingButton;
}

}  // namespace velmora
