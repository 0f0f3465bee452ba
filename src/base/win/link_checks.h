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

// Deletes the file through a handle that was checked to be the file itself: a name that
// leads elsewhere, as a link does (Wine deletes a link's target when asked to delete the link
// by name), is left alone. False when nothing was deleted.
[[nodiscard]] bool DeleteUnlinkedFile(const std::wstring& path);

}  // namespace velmora
