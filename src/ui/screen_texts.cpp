#include "ui/screen_texts.h"

namespace velmora {

std::wstring ProgressStatusLine(const std::wstring& statusText) {
  return statusText.empty() ? L"Preparing your installation..." : statusText;
}

const wchar_t* FinishHeading(Operation operation) {
  switch (operation) {
    case Operation::Install:
      return L"Velmora was installed successfully.";
    case Operation::Update:
      return L"Velmora was updated successfully.";
    case Operation::Repair:
      return L"Velmora was repaired successfully.";
    case Operation::UpToDate:
      return L"Velmora is already up to date.";
    default:
      return L"Velmora Setup completed successfully.";
  }
}

std::wstring FinishBody(bool webView2Missing, bool restartRequired) {
  std::wstring body = restartRequired ? std::wstring(kRestartRequiredLine) + L"\n" : std::wstring();
  body += L"Choose what happens when you click Finish.";
  if (webView2Missing) {
    body +=
        L"\nMicrosoft Edge WebView2 Runtime is not installed. Web sign-in may be unavailable "
        L"until it is installed.";
  }
  return body;
}

const wchar_t* FinishButtonLabel(bool finishing, bool launchSelected) {
  if (!finishing) return L"Finish";
  return launchSelected ? L"Opening..." : L"Finishing...";
}

}  // namespace velmora
