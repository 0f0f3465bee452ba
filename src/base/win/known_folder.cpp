#include "base/win/known_folder.h"

#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

#include "base/win/scoped_handle.h"

namespace velmora {
namespace {

using ScopedTaskMemoryText = Scoped<NullEmptyTraits<PWSTR, CoTaskMemFree>>;

}  // namespace

std::wstring KnownFolderPath(REFKNOWNFOLDERID id, HANDLE token) {
  PWSTR raw = nullptr;
  // Without KF_FLAG_DONT_VERIFY the system answers only for a folder that exists.
  const HRESULT result = SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, token, &raw);
  const ScopedTaskMemoryText path(raw);
  return SUCCEEDED(result) && path ? std::wstring(path.Get()) : std::wstring();
}

}  // namespace velmora
