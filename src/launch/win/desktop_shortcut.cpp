#include "launch/win/desktop_shortcut.h"

#include <windows.h>
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "base/bootstrap_log.h"
#include "base/win/scoped_handle.h"
#include "base/win/win_util.h"
#include "launch/win/shell_user_token.h"
#include "product/win/product_record.h"
#include "base/user_texts.h"

namespace velmora {
namespace {

template <typename Interface>
struct ComInterfaceTraits {
  using Value = Interface*;
  static bool Valid(Interface* object) { return object != nullptr; }
  static void Close(Interface* object) { object->Release(); }
};
template <typename Interface>
using ScopedComInterface = Scoped<ComInterfaceTraits<Interface>>;

struct TaskMemoryTraits {
  using Value = PWSTR;
  static bool Valid(PWSTR text) { return text != nullptr; }
  static void Close(PWSTR text) { CoTaskMemFree(text); }
};
using ScopedTaskMemoryText = Scoped<TaskMemoryTraits>;

// The calling thread acts as the token's user while this lives, if impersonation succeeded.
class ScopedImpersonation {
 public:
  explicit ScopedImpersonation(HANDLE token) : active_(token != nullptr && ImpersonateLoggedOnUser(token)) {}
  ~ScopedImpersonation() {
    if (active_) RevertToSelf();
  }
  ScopedImpersonation(const ScopedImpersonation&) = delete;
  ScopedImpersonation& operator=(const ScopedImpersonation&) = delete;
  [[nodiscard]] bool Active() const { return active_; }

 private:
  bool active_;
};

// The desktop of whoever the calling thread acts as; empty when the shell cannot tell.
std::wstring KnownDesktopFolder() {
  PWSTR raw = nullptr;
  const HRESULT result = SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, &raw);
  const ScopedTaskMemoryText path(raw);
  return SUCCEEDED(result) && path ? std::wstring(path.Get()) : std::wstring();
}

// The signed-in user's desktop, looked up while impersonating that user only for the lookup.
std::wstring SignedInUserDesktopFolder() {
  const ScopedHandle token = GetShellUserToken();
  const ScopedImpersonation impersonation(token.Get());
  return impersonation.Active() ? KnownDesktopFolder() : std::wstring();
}

// Saves the link as the signed-in user when that user's token can be had, else as this
// account; an existing file of that name is replaced.
HRESULT SaveLink(IShellLinkW* link, const std::wstring& linkPath) {
  IPersistFile* rawFile = nullptr;
  const HRESULT queried = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&rawFile));
  const ScopedComInterface<IPersistFile> file(rawFile);
  if (FAILED(queried)) return queried;
  if (!file) return E_NOINTERFACE;
  const ScopedHandle token = GetShellUserToken();
  const ScopedImpersonation impersonation(token.Get());
  return file.Get()->Save(linkPath.c_str(), TRUE);
}

}  // namespace

bool CreateDesktopShortcut() {
  const std::wstring folder = GetInstallFolder();
  const std::wstring exePath = GetInstalledExePath();
  if (folder.empty() || exePath.empty() || !IsFile(exePath)) {
    LogMessage("Desktop shortcut skipped: installed executable is missing.");
    return false;
  }

  std::wstring desktop = SignedInUserDesktopFolder();
  if (desktop.empty()) desktop = KnownDesktopFolder();
  if (desktop.empty()) {
    LogMessage("Desktop shortcut skipped: desktop folder could not be found.");
    return false;
  }
  const std::wstring linkPath = desktop + L"\\Velmora.lnk";

  IShellLinkW* rawLink = nullptr;
  const HRESULT created = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                           reinterpret_cast<void**>(&rawLink));
  ScopedComInterface<IShellLinkW> link(rawLink);
  if (FAILED(created) || !link) {
    LogMessage("Desktop shortcut failed: CoCreateInstance 0x%08lX.", static_cast<unsigned long>(created));
    return false;
  }
  link.Get()->SetPath(exePath.c_str());
  link.Get()->SetWorkingDirectory(folder.c_str());
  link.Get()->SetDescription(texts::kShortcutDescription);
  link.Get()->SetIconLocation(exePath.c_str(), 0);
  const HRESULT saved = SaveLink(link.Get(), linkPath);
  link.Close();

  LogMessage("Desktop shortcut %s: %ls", SUCCEEDED(saved) ? "created" : "failed", linkPath.c_str());
  return SUCCEEDED(saved);
}

}  // namespace velmora
