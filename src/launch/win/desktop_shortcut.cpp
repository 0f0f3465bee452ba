#include "launch/win/desktop_shortcut.h"

#include <windows.h>
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "base/bootstrap_log.h"
#include "base/win/known_folder.h"
#include "base/win/link_checks.h"
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

// The signed-in user's desktop, looked up and opened as that user. The user can point the
// desktop anywhere through the registry, and can plant links in the profile, so the folder is
// taken only when it is a real folder inside the user's own profile, which an administrator
// records; a desktop elsewhere (a system folder) is refused. Held open without delete sharing,
// so that it cannot be swapped before the link is written.
struct UserDesktop {
  std::wstring path;  // as the shell gives it; empty when it gives none
  OpenedEntry folder;
};

UserDesktop OpenUserDesktop(HANDLE token) {
  UserDesktop desktop;
  const ScopedImpersonation impersonation(token);
  if (!impersonation.Active()) return desktop;
  desktop.path = KnownFolderPath(FOLDERID_Desktop);
  if (desktop.path.empty()) return desktop;
  desktop.folder = OpenFolderInside(OpenChosenFolder(KnownFolderPath(FOLDERID_Profile)), desktop.path);
  return desktop;
}

// The link's bytes, as the shell link object writes them.
HRESULT SaveLinkToMemory(IShellLinkW* link, std::string& bytes) {
  IPersistStream* rawPersist = nullptr;
  HRESULT result = link->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&rawPersist));
  const ScopedComInterface<IPersistStream> persist(rawPersist);
  if (FAILED(result)) return result;
  if (!persist) return E_NOINTERFACE;
  IStream* rawStream = nullptr;
  result = CreateStreamOnHGlobal(nullptr, TRUE, &rawStream);
  const ScopedComInterface<IStream> stream(rawStream);
  if (FAILED(result)) return result;
  result = persist.Get()->Save(stream.Get(), TRUE);
  if (FAILED(result)) return result;
  HGLOBAL memory = nullptr;
  result = GetHGlobalFromStream(stream.Get(), &memory);
  if (FAILED(result)) return result;
  STATSTG status = {};
  result = stream.Get()->Stat(&status, STATFLAG_NONAME);
  if (FAILED(result)) return result;
  const void* data = GlobalLock(memory);
  if (data == nullptr) return E_OUTOFMEMORY;
  bytes.assign(static_cast<const char*>(data), static_cast<std::size_t>(status.cbSize.QuadPart));
  GlobalUnlock(memory);
  return S_OK;
}

// Writes the link as the signed-in user, replacing an existing file of that name, but never
// through a link: a planted symbolic or hard link named Velmora.lnk is refused, not followed.
bool WriteLinkFile(HANDLE token, const UserDesktop& desktop, const std::string& bytes) {
  const ScopedImpersonation impersonation(token);
  if (!impersonation.Active()) return false;
  const OpenedEntry file =
      OpenOrCreateOwnFile(desktop.folder, desktop.path + L"\\Velmora.lnk", L"Velmora.lnk", GENERIC_WRITE);
  DWORD written = 0;
  return file && SetFilePointer(file.handle.Get(), 0, nullptr, FILE_BEGIN) == 0 &&
         WriteFile(file.handle.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size() && SetEndOfFile(file.handle.Get());
}

}  // namespace

bool CreateDesktopShortcut() {
  const std::wstring folder = GetInstallFolder();
  const std::wstring exePath = GetInstalledExePath();
  if (folder.empty() || exePath.empty() || !IsFile(exePath)) {
    LogMessage("Desktop shortcut skipped: installed executable is missing.");
    return false;
  }

  // Written as the administrator, the link would land on that account's desktop, or wherever
  // the user's registry points it, through whatever links were planted there.
  const ScopedHandle token = GetShellUserToken();
  if (!token) {
    LogMessage(
        "Desktop shortcut skipped: no signed-in user's token (no shell window); it is not written "
        "as administrator.");
    return false;
  }
  const UserDesktop desktop = OpenUserDesktop(token.Get());
  if (desktop.path.empty()) {
    LogMessage("Desktop shortcut skipped: desktop folder could not be found.");
    return false;
  }
  if (!desktop.folder) {
    LogMessage("Desktop shortcut skipped: %ls is not a real folder inside the user's profile.",
               desktop.path.c_str());
    return false;
  }
  const std::wstring linkPath = desktop.path + L"\\Velmora.lnk";

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
  std::string bytes;
  const bool saved =
      SUCCEEDED(SaveLinkToMemory(link.Get(), bytes)) && WriteLinkFile(token.Get(), desktop, bytes);
  link.Close();

  LogMessage("Desktop shortcut %s: %ls", saved ? "created" : "failed", linkPath.c_str());
  return saved;
}

}  // namespace velmora
