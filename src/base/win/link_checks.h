// Opening files and folders in places where someone else may have planted a link. The program
// runs elevated; a junction, symbolic link or hard link put in its way would let an ordinary
// user point its writes and deletes at files that user could never touch.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

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

// The names of the plain files in the folder (no folders, no links), read through the handle
// itself.
std::vector<std::wstring> FileNamesIn(HANDLE folder);

// A file or folder, opened, with the path the system reports for it.
struct OpenedEntry {
  ScopedHandle handle;
  std::wstring finalPath;
  explicit operator bool() const { return handle.Valid(); }
};

// Opens a path without following a link at its end. Folders are held without delete sharing,
// so that they cannot be renamed or swapped while they are held.
[[nodiscard]] ScopedHandle OpenWithoutFollowing(const std::wstring& path, bool folder, DWORD access,
                                                DWORD disposition);

// Keeps the opened entry when it is the parent's own entry of that name and kind; otherwise
// closes it and gives an empty one.
[[nodiscard]] OpenedEntry KeepIfOwn(ScopedHandle handle, const OpenedEntry& parent, const std::wstring& path,
                                    const wchar_t* name, bool folder);

// Opens an existing folder that must be the parent's own entry of that name.
[[nodiscard]] OpenedEntry OpenOwnFolder(const OpenedEntry& parent, const std::wstring& path,
                                        const wchar_t* name, DWORD access = FILE_READ_ATTRIBUTES);

// Opens the file `name` at path, the parent's own entry, with the access asked for; or creates
// it only where no name exists at all (creating through "open always" would follow a dangling
// link and create its target). Empty unless it is the parent's own plain file.
[[nodiscard]] OpenedEntry OpenOrCreateOwnFile(const OpenedEntry& parent, const std::wstring& path,
                                              const wchar_t* name, DWORD access);

// An existing folder whose place an administrator chose (the machine-wide data folder, a
// user's profile), opened for its attributes. Links that lead to it are that administrator's
// choice, so they are followed. Empty unless it is a folder.
[[nodiscard]] OpenedEntry OpenChosenFolder(const std::wstring& path);

// An existing folder somewhere below parent, opened only when it is not itself a link and the
// system places it inside parent, so that no link on the way leads out of it.
[[nodiscard]] OpenedEntry OpenFolderInside(const OpenedEntry& parent, const std::wstring& path);

// Deletes the file through a handle that was checked to be the file itself: a name that
// leads elsewhere, as a link does (Wine deletes a link's target when asked to delete the link
// by name), is left alone. False when nothing was deleted.
[[nodiscard]] bool DeleteUnlinkedFile(const std::wstring& path);

}  // namespace velmora
