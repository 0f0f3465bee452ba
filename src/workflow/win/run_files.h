// Where the files of one run live, and how they are held. The program runs elevated, and the
// user's own temporary folder is writable by every process of that user: a file checked there
// could be swapped before msiexec reads it, and names made there could be links to files the
// user could never touch. So each run works in a folder of its own under the system's
// temporary folder, made with an access list for SYSTEM and Administrators only, named with
// random bits, and held open for the whole run.
#pragma once

#include <string>

#include "workflow/worker_calls.h"

namespace velmora {

// Creates the run's folder under %SystemRoot%\Temp and holds it without delete sharing; the
// path ends with its separator. Empty when the system's temporary folder cannot be had, when
// anything already stands under the chosen name, or when the new folder cannot be held. When
// the hold is released, the folder is removed if nothing (such as an msiexec log) is left in it.
[[nodiscard]] HeldFile CreateRunFolder(std::wstring& folder);

// Creates and holds exactly this folder, as CreateRunFolder does with the name it picks.
[[nodiscard]] HeldFile CreateRunFolderAt(const std::wstring& path);

// Removes the packages and manifests that earlier runs left in their folders when they were
// killed, and each such folder once it is empty. A folder still held by a running copy, a
// link, and anything else in a folder (the msiexec logs) are left alone. Logs each removal.
void SweepEarlierRuns();

// Opens the file for reading while denying every other process write and delete access, so
// that it stays exactly as checked for as long as it is held. Empty when the file cannot be
// opened so, or is a link.
[[nodiscard]] HeldFile LockFile(const std::wstring& path);

}  // namespace velmora
