// The package cache's folder, %ProgramData%\Velmora\Setup\Cache: made by the elevated run for
// SYSTEM and Administrators only, each level above it checked as the log's levels are, and
// holding the installed version's package ("Velmora-<version>.msi") with its digest record beside
// it ("Velmora-<version>.msi.sha256"). The run's own folder, made with the same access list, is
// the reference that the cache folder's list must read back equal to: a cache folder that an
// ordinary user made first, or one that inherits from ProgramData, is never used.
#pragma once

#include <string>

#include "workflow/worker_calls.h"

namespace velmora {

// Holds the kept package of the version (and the cache folder) and gives its path and the text
// of its digest record; empty, with the reason, when there is no cache, no package of that
// version, or anything in the way is a link or not for administrators only.
[[nodiscard]] HeldFile OpenCachedPackage(const std::wstring& runFolder, const std::wstring& version,
                                         std::wstring& path, std::string& digestRecord, std::string& reason);

// Copies the package into the cache (made when missing) as the version's, checks the copy
// against sha256, records the digest beside it and then removes every other version's package
// and record, logging each removal. False, with the reason, when the package could not be kept;
// what was kept before then stays.
[[nodiscard]] bool KeepInCache(const std::wstring& runFolder, const std::wstring& packagePath,
                               const std::wstring& version, const std::string& sha256, std::string& reason);

}  // namespace velmora
