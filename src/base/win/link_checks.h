// Opening files and folders in places where someone else may have planted a link. The program
// runs elevated; a junction, symbolic link or hard link put in its way would let an ordinary
// user point its writes and deletes at files that user could never touch.
#pragma once

#include <windows.h>

#include <string>

#include "base/win/scoped_handle.h"

namespace velmora {

// True when the object is a link or cannot be examined: a reparse point on the path (as Wine
// reports folder links) or on the opened object (as Windows reports junctions and symbolic
// links), or a file with a second name (a hard link onto some other file).
[[nodiscard]] bool IsLinkOrUnreadable(const std::wstring& path, HANDLE handle);

// The path the system reports for an opened object, without the \\?\ prefix, so that it
// compares with paths of the usual form; empty when the system gives none.
std::wstring FinalPathOf(HANDLE handle);

// Whether two paths name the same place, compared as the file system does (without case); an
// empty path matches nothing.
[[nodiscard]] bool SamePath(const std::wstring& a, const std::wstring& b);

// True when the system's own name for the opened object is path, so that the handle did not
// end up elsewhere through a link that was not reported as one (as Wine reports a Unix link to
// a file).
[[nodiscard]] bool OpenedPathIs(HANDLE handle, const std::wstring& path);

// Opens an existing folder itself, never what a link points at, without delete sharing, so
// that it can be neither renamed nor replaced while the handle is held. Empty when the folder
// cannot be opened that way or is a link.
[[nodiscard]] ScopedHandle OpenFolderWithoutLinks(const std::wstring& path, DWORD access);

// Deletes the file through a handle that was checked to be the file itself: a name that leads
// elsewhere, as a link does (Wine deletes a link's target when asked to delete the link by
// name), is left alone.
[[nodiscard]] bool DeleteUnlinkedFile(const std::wstring& path);

// A file or folder, opened, with its path as named and the path the system reports for it.
struct OpenedEntry {
  ScopedHandle handle;
  std::wstring path;
  std::wstring finalPath;
  explicit operator bool() const { return handle.Valid(); }
};

// An existing folder whose place an administrator chose (the machine-wide data folder, a user's
// profile), opened for reading its attributes. Whatever links lead to it are that
// administrator's choice, so they are followed. Empty unless it is a folder.
[[nodiscard]] OpenedEntry OpenChosenFolder(const std::wstring& path);

// An existing folder opened only when neither it nor any folder between parent and it is a
// link: its own entry is not a reparse point and the system places it inside parent. Empty
// otherwise, or when it is not inside parent at all.
[[nodiscard]] OpenedEntry OpenFolderInside(const OpenedEntry& parent, const std::wstring& path);

// The folder `name` directly inside parent, created when missing, and kept only when it is
// parent's own real folder of that name: not a link, not placed anywhere else by the system.
[[nodiscard]] OpenedEntry CreateOwnFolder(const OpenedEntry& parent, const wchar_t* name);

// The file `name` directly inside parent, opened with the access asked for, or created only
// where no name exists at all (creating through "open always" would follow a dangling link and
// create its target). Kept only when it is parent's own file: not a link of any kind, not a
// second name of another file, not placed anywhere else by the system.
[[nodiscard]] OpenedEntry OpenOrCreateOwnFile(const OpenedEntry& parent, const wchar_t* name, DWORD access);

}  // namespace velmora
