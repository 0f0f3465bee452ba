// The package cache: the verified package of the installed version, kept by the run that
// installed it, so that a later run can put that version back after a failed update, or repair
// it, without the network. These are the cache's names and its digest record, and the worker's
// use of it; the folder itself is kept by the Windows build (workflow/win/package_cache_folder.h).
#pragma once

#include <string>

#include "workflow/installer_manifest.h"
#include "workflow/worker_calls.h"

namespace velmora {

// The kept package's file name for a version ("Velmora-1.1.8.msi"); empty when the version text
// has anything but digits and full stops, or is longer than a version can sensibly be, so that
// a version can never name a file anywhere else.
std::wstring CachedPackageName(const std::wstring& version);

// The digest record kept beside a package, in the form sha256sum writes ("<digest> *<name>"), so
// that an administrator can check the package with the usual tools.
std::string DigestRecord(const std::string& sha256, const std::wstring& packageName);

// The digest of a record made for that package name; false when the text is anything else.
[[nodiscard]] bool ReadDigestRecord(const std::string& text, const std::wstring& packageName,
                                    std::string& sha256);

// The kept package of a version, held, once its digest has been computed again and found equal
// to the one recorded beside it and, where the profile names publisher keys, its signature has
// passed the publisher check; its path and digest are given back. Empty, after a log line
// saying why, when there is none or it fails the check.
[[nodiscard]] HeldFile OpenCheckedCachedPackage(const WorkerCalls& calls, const std::wstring& runFolder,
                                                const std::wstring& version, std::wstring& path,
                                                std::string& sha256);

// Keeps the package just installed as the installed version's, when the product record now
// names the offered version; logs what was done. A package that cannot be kept does not fail
// the run.
void KeepInstalledPackage(const WorkerCalls& calls, const std::wstring& runFolder,
                          const std::wstring& package, const InstallerManifest& manifest);

}  // namespace velmora
