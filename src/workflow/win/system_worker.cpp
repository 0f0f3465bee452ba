#include "workflow/win/system_worker.h"

#include <windows.h>

#include "msi/win/system_install_strategy.h"
#include "net/win/ecdsa_signature.h"
#include "net/win/file_integrity.h"
#include "net/win/https_downloader.h"
#include "net/win/package_publisher.h"
#include "net/win/system_downloader.h"
#include "product/win/product_record.h"
#include "workflow/win/manifest_file.h"
#include "workflow/win/package_cache_folder.h"
#include "workflow/install_execution.h"
#include "workflow/win/run_files.h"
#include "workflow/worker.h"

namespace velmora {

WorkerCalls SystemWorkerCalls() {
  WorkerCalls calls;
  calls.sweepEarlierRuns = SweepEarlierRuns;
  calls.createRunFolder = CreateRunFolder;
  calls.processId = [] { return static_cast<unsigned long>(GetCurrentProcessId()); };
  calls.sleep = [](unsigned long milliseconds) { Sleep(milliseconds); };
  calls.httpsDownload = [](const std::string& url, const std::wstring& path, std::uint64_t maxBytes,
                           const DownloadProgress& progress, std::string* error) {
    return HttpsDownloader(url).Download(path, maxBytes, progress, error);
  };
  calls.systemDownload = [](const std::string& url, const std::wstring& path, std::string* error) {
    // The package's limit, the one its pinned downloads have.
    SystemDownloadLimits limits;
    limits.maxBytes = kPackageMaxBytes;
    return DownloadWithSystemDownloader(url, path, error, limits);
  };
  calls.readManifestFile = ReadManifestFile;
  calls.manifestSigningKeys = ProfileManifestSigningKeys();
  calls.verifySignature = [](const EcdsaP256PublicKey& key, const std::string& text,
                             const EcdsaP256Signature& signature, std::string* error) {
    return VerifyEcdsaP256Sha256(key, text, signature, error);
  };
  calls.utcNow = [] {
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    // 100 ns ticks since 1601 to seconds since 1970.
    return static_cast<std::int64_t>(ticks / 10000000ULL) - 11644473600LL;
  };
  calls.deleteFile = [](const std::wstring& path) { DeleteFileW(path.c_str()); };
  calls.readInstallerValue = ReadInstallerValue;
  calls.installedExeMatchesSize = InstalledExeMatchesSize;
  calls.lockFile = LockFile;
  calls.isMsiPackage = IsMsiPackage;
  calls.computeFileSha256Hex = ComputeFileSha256Hex;
  calls.packagePublisherKeys = PackagePublisherKeys();
  calls.verifyPackagePublisher = VerifyPackagePublisher;
  calls.openCachedPackage = OpenCachedPackage;
  calls.keepInCache = KeepInCache;
  calls.runInstallStrategy = [](const std::wstring& packagePath, const std::wstring& runFolder,
                                bool removeFirst, const InstallVersions& versions,
                                const std::function<bool(std::wstring & path)>& previousPackage,
                                std::uint32_t& lastExitCode) {
    return RunInstallStrategy(packagePath, runFolder, removeFirst, versions, previousPackage, {},
                              &lastExitCode);
  };
  return calls;
}

void Worker() { RunSetup(SystemWorkerCalls()); }

}  // namespace velmora
