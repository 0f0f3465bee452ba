#include "workflow/system_worker_platform.h"

#include <windows.h>

#include "msi/system_install_strategy.h"
#include "net/file_integrity.h"
#include "net/https_downloader.h"
#include "net/system_downloader.h"
#include "product/product_record.h"
#include "workflow/installer_manifest.h"
#include "workflow/run_files.h"
#include "workflow/worker.h"

namespace velmora {

WorkerPlatform SystemWorkerPlatform() {
  WorkerPlatform platform;
  platform.sweepEarlierRuns = SweepEarlierRuns;
  platform.createRunFolder = CreateRunFolder;
  platform.processId = [] { return static_cast<unsigned long>(GetCurrentProcessId()); };
  platform.sleep = [](unsigned long milliseconds) { Sleep(milliseconds); };
  platform.httpsDownload = [](const std::string& url, const std::wstring& path, std::uint64_t maxBytes,
                              const DownloadProgress& progress, std::string* error) {
    return HttpsDownloader(url).Download(path, maxBytes, progress, error);
  };
  platform.systemDownload = [](const std::string& url, const std::wstring& path, std::string* error) {
    return DownloadWithSystemDownloader(url, path, error);
  };
  platform.readManifestFile = ReadManifestFile;
  platform.deleteFile = [](const std::wstring& path) { DeleteFileW(path.c_str()); };
  platform.readInstallerValue = ReadInstallerValue;
  platform.installedExeMatchesSize = InstalledExeMatchesSize;
  platform.lockFile = LockFile;
  platform.isMsiPackage = IsMsiPackage;
  platform.computeFileSha256Hex = ComputeFileSha256Hex;
  platform.runInstallStrategy = [](const std::wstring& packagePath, const std::wstring& runFolder,
                                   bool removeFirst) {
    return RunInstallStrategy(packagePath, runFolder, removeFirst);
  };
  return platform;
}

void Worker() { RunSetup(SystemWorkerPlatform()); }

}  // namespace velmora
