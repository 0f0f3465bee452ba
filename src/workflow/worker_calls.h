// What one setup run needs of the machine, as a small record of callables. This layer cannot
// name the system, so the record has no defaults: the Windows build fills it with the real
// downloaders, registry, integrity checks and msiexec strategy (SystemWorkerCalls in
// workflow/win/system_worker.h); the native tests fill it with recording stand-ins.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/setup_state.h"
#include "net/ecdsa_p256.h"
#include "msi/install_strategy.h"
#include "workflow/signed_manifest.h"

namespace velmora {

// Keeps a file or folder open, and so in place and unchanged, until the last copy is released.
// Empty when nothing could be held.
using HeldFile = std::shared_ptr<void>;

struct WorkerCalls {
  // Removes the packages and manifests that killed earlier runs left behind, logging each.
  std::function<void()> sweepEarlierRuns;
  // Creates this run's private working folder and holds it; the path ends with its separator.
  // Empty when no such folder can be made.
  std::function<HeldFile(std::wstring& folder)> createRunFolder;
  std::function<unsigned long()> processId;
  std::function<void(unsigned long milliseconds)> sleep;
  // The pinned HTTPS downloader.
  std::function<bool(const std::string& url, const std::wstring& path, std::uint64_t maxBytes,
                     const DownloadProgress& progress, std::string* error)>
      httpsDownload;
  // The system's own downloader, the last resort for the package.
  std::function<bool(const std::string& url, const std::wstring& path, std::string* error)> systemDownload;
  std::function<bool(const std::wstring& path, std::string& text)> readManifestFile;
  // The keys the manifest must be signed with; none: it is taken unsigned, as it always was.
  std::vector<EcdsaP256PublicKey> manifestSigningKeys;
  SignatureCheck verifySignature;
  // Now, in seconds since 1970-01-01 UTC: what a signed manifest's expiry is compared with.
  std::function<std::int64_t()> utcNow;
  std::function<void(const std::wstring& path)> deleteFile;
  std::function<bool(const wchar_t* name, std::wstring* value)> readInstallerValue;
  std::function<bool(std::uint64_t expectedSize)> installedExeMatchesSize;
  // Holds the downloaded package so that nobody can change, rename or delete it; empty when
  // the file cannot be opened that way.
  std::function<HeldFile(const std::wstring& path)> lockFile;
  std::function<bool(const std::wstring& path)> isMsiPackage;
  std::function<bool(const std::wstring& path, std::string* hex)> computeFileSha256Hex;
  // The keys of the package's publisher (SPKI SHA-256 pins, lower case); none: the package rests
  // on its digest alone, as it always did.
  std::vector<std::string> packagePublisherKeys;
  // True when the package's signature is accepted and made with one of keys, *signer then
  // naming it; on false *error says why.
  std::function<bool(const std::wstring& path, const std::vector<std::string>& keys, std::string* signer,
                     std::string* error)>
      verifyPackagePublisher;
  // The package cache (workflow/win/package_cache_folder.h); the run's folder is the reference for
  // the cache folder's access list. Holds the kept package of a version and gives its path and
  // the text of the digest record beside it; empty, with the reason, when there is none that may
  // be used.
  std::function<HeldFile(const std::wstring& runFolder, const std::wstring& version, std::wstring& path,
                         std::string& digestRecord, std::string& reason)>
      openCachedPackage;
  // Copies the verified package into the cache as the version's, records its digest beside it and
  // removes every other version's; false, with the reason, when it could not be kept.
  std::function<bool(const std::wstring& runFolder, const std::wstring& packagePath,
                     const std::wstring& version, const std::string& sha256, std::string& reason)>
      keepInCache;
  // The msiexec logs go to the run's folder; previousPackage is the strategy's way back to the
  // version installed before (InstallStrategyCalls). lastExitCode receives the code of the last
  // msiexec run for the offered package.
  std::function<InstallResult(const std::wstring& packagePath, const std::wstring& runFolder,
                              bool removeFirst, const InstallVersions& versions,
                              const std::function<bool(std::wstring& path)>& previousPackage,
                              std::uint32_t& lastExitCode)>
      runInstallStrategy;
};

}  // namespace velmora
