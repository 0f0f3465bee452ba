#include "fake_worker_calls.h"

#include <gtest/gtest.h>

#include "profile/vendor_profile.h"
#include "workflow/package_cache.h"

namespace velmora::test {

std::wstring FakeMachine::ManifestPath() const {
  return runFolder + L"VelmoraInstallerManifest-" + std::to_wstring(pid) + L".json";
}

std::wstring FakeMachine::PackagePath() const {
  return runFolder + L"Velmora-Setup-" + std::to_wstring(pid) + L".msi";
}

std::wstring FakeMachine::CachedPath(const std::wstring& version) const {
  return L"C:\\ProgramData\\Velmora\\Setup\\Cache\\" + CachedPackageName(version);
}

bool FakeMachine::Finish(const ScriptedDownload& download, const std::wstring& path, std::string* error) {
  cancelAtDownloads.push_back(SetupCancel.load());
  if (download.userCancels) cancelsGranted.push_back(RequestCancel());
  if (download.ok || (download.userCancels && !download.body.empty())) files[path] = download.body;
  if (!download.ok && error) *error = download.error;
  return download.ok;
}

WorkerCalls FakeMachine::Calls() {
  WorkerCalls p;
  p.sweepEarlierRuns = [this] { ++sweeps; };
  p.createRunFolder = [this](std::wstring& folder) {
    if (!runFolderAvailable) return HeldFile();
    folder = runFolder;
    runFolderHeld = true;
    return HeldFile(this, [this](void*) { runFolderHeld = false; });
  };
  p.processId = [this] { return pid; };
  p.sleep = [this](unsigned long ms) { events.push_back("sleep " + std::to_string(ms)); };
  p.httpsDownload = [this](const std::string& url, const std::wstring& path, std::uint64_t limit,
                           const DownloadProgress& progress, std::string* error) {
    events.push_back("https " + url + " " + std::to_string(limit));
    ScriptedDownload next{false, "", "Update server returned HTTP 404", {}};
    if (!httpsDownloads.empty()) {
      next = httpsDownloads.front();
      httpsDownloads.pop_front();
    }
    for (const auto& [done, total] : next.progress) {
      if (progress) progress(done, total);
    }
    return Finish(next, path, error);
  };
  p.systemDownload = [this](const std::string& url, const std::wstring& path, std::string* error) {
    events.push_back("system " + url);
    files.erase(path);
    return Finish(systemDownload, path, error);
  };
  p.readManifestFile = [this](const std::wstring& path, std::string& text) {
    const auto found = files.find(path);
    if (found == files.end()) return false;
    text = found->second;
    return true;
  };
  p.deleteFile = [this](const std::wstring& path) {
    if (locked.count(path) == 0) files.erase(path);
  };
  p.manifestSigningKeys = signingKeys;
  p.verifySignature = [this](const EcdsaP256PublicKey& key, const std::string& text,
                             const EcdsaP256Signature& signature, std::string*) {
    events.push_back("verify " + std::to_string(key[0]));
    return text == signedText && signature[0] == key[0] ? SignatureVerdict::kValid
                                                        : SignatureVerdict::kInvalid;
  };
  p.utcNow = [this] { return utcNow; };
  p.lockFile = [this](const std::wstring& path) {
    if (files.count(path) == 0 || !locked.insert(path).second) return HeldFile();
    return HeldFile(this, [this, path](void*) { locked.erase(path); });
  };
  p.readInstallerValue = [this](const wchar_t* name, std::wstring* value) {
    const auto found = registry.find(name);
    if (found == registry.end()) return false;
    *value = found->second;
    return true;
  };
  p.installedExeMatchesSize = [this](std::uint64_t size) { return size == 0 || exeMatches; };
  p.isMsiPackage = [this](const std::wstring& path) {
    const auto found = files.find(path);
    return found != files.end() && found->second.rfind("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 0) == 0;
  };
  p.computeFileSha256Hex = [this](const std::wstring& path, std::string* hex) {
    const auto found = files.find(path);
    if (found == files.end()) return false;
    const auto digest = digests.find(found->second);
    *hex = digest != digests.end() ? digest->second : std::string(64, 'e');
    return true;
  };
  p.packagePublisherKeys = publisherKeys;
  p.verifyPackagePublisher = [this](const std::wstring& path, const std::vector<std::string>& keys,
                                    std::string* signer, std::string* error) {
    events.push_back("publisher");
    packageLockedAtPublisherCheck = locked.count(path) > 0;
    const auto found = files.find(path);
    const auto signedBy = found != files.end() ? publisherSigned.find(found->second) : publisherSigned.end();
    if (keys != publisherKeys || signedBy == publisherSigned.end()) {
      *error = "the package is not signed (0x800B0100)";
      return false;
    }
    *signer = signedBy->second;
    return true;
  };
  p.openCachedPackage = [this](const std::wstring& folder, const std::wstring& version, std::wstring& path,
                               std::string& record, std::string& reason) {
    events.push_back("cache " + std::string(version.begin(), version.end()));
    EXPECT_EQ(folder, runFolder);
    const auto kept = cache.find(version);
    if (kept == cache.end()) {
      reason = cache.empty() ? "there is no package cache" : "no package of it is kept";
      return HeldFile();
    }
    path = CachedPath(version);
    files[path] = kept->second.first;
    record = kept->second.second;
    locked.insert(path);
    return HeldFile(this, [this, path](void*) { locked.erase(path); });
  };
  p.keepInCache = [this](const std::wstring& folder, const std::wstring& package, const std::wstring& version,
                         const std::string& sha256, std::string& reason) {
    events.push_back("keep " + std::string(version.begin(), version.end()) + " " + sha256);
    EXPECT_EQ(folder, runFolder);
    EXPECT_EQ(locked.count(package), 1u) << "kept from the package as it was checked";
    if (!keepSucceeds) reason = "the cache folder is not for administrators only";
    return keepSucceeds;
  };
  p.runInstallStrategy = [this](const std::wstring& path, const std::wstring& logFolder, bool removeFirst,
                                const InstallVersions& versions,
                                const std::function<bool(std::wstring & path)>& previousPackage,
                                std::uint32_t& lastExitCode) {
    lastExitCode = installExitCode;
    events.push_back("install");
    cancelAtInstall = SetupCancel.load();
    strategyCalls.emplace_back(path, removeFirst);
    strategyLogFolders.push_back(logFolder);
    strategyVersions.push_back(versions);
    packagePresentAtInstall = files.count(path) == 1;
    packageLockedAtInstall = locked.count(path) == 1;
    runFolderHeldAtInstall = runFolderHeld;
    if (strategyResult == InstallResult::Installed) registry[L"Version"] = versions.offered;
    if (strategyResult != InstallResult::Installed) {
      std::wstring previous;
      if (previousPackage(previous)) {
        previousPackages.push_back(previous);
        previousPackageLockedAtRestore = locked.count(previous) == 1;
      } else if (strategyResult == InstallResult::Restored) {
        ADD_FAILURE() << "restored without a previous package";
      }
    }
    return strategyResult;
  };
  return p;
}

std::string DerSignedBy(std::uint8_t id) {
  std::string r(32, '\x11');
  r[0] = static_cast<char>(id);
  return std::string("\x30\x44\x02\x20", 4) + r + std::string("\x02\x20", 2) + std::string(32, '\x22');
}

EcdsaP256PublicKey FakeKey(std::uint8_t id) {
  EcdsaP256PublicKey key{};
  key[0] = id;
  return key;
}

std::string ManifestText(const std::string& version, const std::string& url, const std::string& digest,
                         const std::string& exeSizeField) {
  return "{ \"" + ManifestVersionKey() + "\": \"" + version + "\", \"" + ManifestPackageUrlKey() + "\": \"" +
         url + "\", \"" + ManifestPackageSha256Key() + "\": \"" + digest + "\"" + exeSizeField + " }";
}

}  // namespace velmora::test
