#include "workflow/package_cache.h"

#include "base/ascii.h"
#include "base/bootstrap_log.h"
#include "net/text_encoding.h"

namespace velmora {
namespace {

constexpr std::size_t kLongestVersionUnits = 64;
constexpr std::size_t kDigestDigits = 64;

// The cache's names are ASCII by construction.
std::string NarrowName(const std::wstring& name) {
  std::string narrow;
  for (const wchar_t unit : name) narrow += static_cast<char>(unit);
  return narrow;
}

}  // namespace

std::wstring CachedPackageName(const std::wstring& version) {
  if (version.empty() || version.size() > kLongestVersionUnits) return {};
  for (const wchar_t unit : version) {
    if (unit != L'.' && (unit < L'0' || unit > L'9')) return {};
  }
  return L"Velmora-" + version + L".msi";
}

std::string DigestRecord(const std::string& sha256, const std::wstring& packageName) {
  return sha256 + " *" + NarrowName(packageName) + "\n";
}

bool ReadDigestRecord(const std::string& text, const std::wstring& packageName, std::string& sha256) {
  const std::string tail = " *" + NarrowName(packageName) + "\n";
  if (packageName.empty() || text.size() != kDigestDigits + tail.size() ||
      text.compare(kDigestDigits, std::string::npos, tail) != 0) {
    return false;
  }
  for (std::size_t i = 0; i < kDigestDigits; ++i) {
    if (!IsLowerHexDigit(text[i])) return false;
  }
  sha256 = text.substr(0, kDigestDigits);
  return true;
}

HeldFile OpenCheckedCachedPackage(const WorkerCalls& calls, const std::wstring& runFolder,
                                  const std::wstring& version, std::wstring& path, std::string& sha256) {
  std::string record;
  std::string reason;
  HeldFile held = calls.openCachedPackage(runFolder, version, path, record, reason);
  if (!held) {
    LogMessage("No usable cached package of Velmora %ls: %s.", version.c_str(), reason.c_str());
    return nullptr;
  }
  std::string recorded;
  if (!ReadDigestRecord(record, CachedPackageName(version), recorded)) {
    LogMessage(
        "The digest record of the cached package of Velmora %ls cannot be read; not using the package.",
        version.c_str());
    return nullptr;
  }
  // Computed again on every use: the record says what was kept, the file may have changed since.
  std::string actual;
  if (!calls.computeFileSha256Hex(path, &actual) || actual != recorded) {
    LogMessage("Cached package of Velmora %ls failed its digest check. recorded=%s actual=%s; not using it.",
               version.c_str(), recorded.c_str(), actual.c_str());
    return nullptr;
  }
  LogMessage("Cached package of Velmora %ls passed its digest check: %ls.", version.c_str(), path.c_str());
  // It passed the publisher check when it was kept, if the program that kept it had keys; this
  // one asks again, as for a download.
  if (!calls.packagePublisherKeys.empty()) {
    std::string signer;
    if (!calls.verifyPackagePublisher(path, calls.packagePublisherKeys, &signer, &reason)) {
      LogMessage("Cached package of Velmora %ls failed its publisher check: %s; not using it.",
                 version.c_str(), reason.c_str());
      return nullptr;
    }
    LogMessage("Cached package of Velmora %ls is signed by its publisher: %s.", version.c_str(),
               signer.c_str());
  }
  sha256 = recorded;
  return held;
}

void KeepInstalledPackage(const WorkerCalls& calls, const std::wstring& runFolder,
                          const std::wstring& package, const InstallerManifest& manifest) {
  const std::wstring offered = WidenAscii(manifest.productVersion);
  // Kept under the version the product record names, so that a later run finds it by that name;
  // a package that installs some other version than the manifest says is not kept at all.
  std::wstring installed;
  if (!calls.readInstallerValue(L"Version", &installed) || installed != offered) {
    LogMessage("Installed version %ls is not the offered %ls; the package is not kept.", installed.c_str(),
               offered.c_str());
    return;
  }
  std::string reason;
  if (calls.keepInCache(runFolder, package, offered, manifest.packageSha256, reason)) {
    LogMessage("Kept the package of Velmora %ls in the package cache.", offered.c_str());
  } else {
    LogMessage("Could not keep the package of Velmora %ls in the package cache: %s.", offered.c_str(),
               reason.c_str());
  }
}

}  // namespace velmora
