#include "workflow/win/system_worker.h"

#include <windows.h>

#include "msi/win/system_install_strategy.h"
#include "net/win/file_integrity.h"
#include "net/win/https_downloader.h"
#include "net/win/system_downloader.h"
#include "product/win/product_record.h"
#include "workflow/win/manifest_file.h"
#include "workflow/win/package_cache_folder.h"
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
    return DownloadWithSystemDownloader(url, path, error);
  };
  calls.readManifestFile = ReadManifestFile;
  calls.deleteFile = [](const std::wstring& path) { DeleteFileW(path.c_str()); };
  calls.readInstallerValue = ReadInstallerValue;
  calls.installedExeMatchesSize = InstalledExeMatchesSize;
  calls.lockFile = LockFile;
  calls.isMsiPackage = IsMsiPackage;
  calls.computeFileSha256Hex = ComputeFileSha256Hex;
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
