// Run-time access to the active vendor profile. Scrambled texts are formed on first use and
// then kept for the rest of the run (function-local statics: thread-safe, once).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "profile/vendor_profile_values.h"

namespace velmora {

const std::string& AllowedDownloadHost(int index);  // 0 .. kAllowedDownloadHostCount - 1
const std::string& DefaultManifestUrl();
const std::string& ManifestVersionKey();
const std::string& ManifestPackageUrlKey();
const std::string& ManifestPackageSha256Key();
const std::string& BuiltInPackageUrl();
const std::wstring& MessageHost();
// The manifest signing keys the profile gives, first slot first; empty when it gives none.
const std::vector<std::string>& ManifestSigningKeys();
const char* ServerKeyPin();
const char* BuiltInVersion();
const char* BuiltInPackageSha256();
std::uint64_t BuiltInExeSize();
// The package publisher's keys the profile gives, first slot first and in lower case; empty
// when it gives none.
const std::vector<std::string>& PackagePublisherKeys();

}  // namespace velmora
