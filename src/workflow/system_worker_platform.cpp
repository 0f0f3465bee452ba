#include <windows.h>

#include "msi/system_install_strategy.h"
#include "net/file_integrity.h"
#include "net/https_downloader.h"
#include "net/system_downloader.h"
#include "product/product_record.h"
#include "workflow/installer_manifest.h"
#include "workflow/worker.h"

namespace velmora {
namespace {

constexpr DWORD kTempPathUnits = 260;

// A temporary folder longer than the buffer is reported by GetTempPathW as the length it
// would need, with the buffer left unfilled: no folder rather than names built on nothing.
bool SystemTempFolder(std::wstring& folder) {
  wchar_t buffer[kTempPathUnits] = {};
  const DWORD length = GetTempPathW(kTempPathUnits, buffer);
  if (length == 0 || length >= kTempPathUnits) return false;
  folder.assign(buffer, length);
  return true;
}

}  // namespace

WorkerPlatform SystemWorkerPlatform() {
  WorkerPlatform platform;
  platform.tempFolder = SystemTempFolder;
  platform.processId = [] { return static_cast<unsigned long>(GetCurrentProcessId()); };
  platform.sleep = [](unsigned long milliseconds) { Sleep(milliseconds); };
  platform.httpsDownload = [](const std::string& url, const std::wstring& path,
                              std::uint64_t maxBytes, const DownloadProgress& progress,
                              std::string* error) {
    return HttpsDownloader(url).Download(path, maxBytes, progress, error);
  };
  platform.systemDownload = [](const std::string& url, const std::wstring& path, std::string* error) {
    return DownloadWithSystemDownloader(url, path, error);
  };
  platform.readManifestFile = ReadManifestFile;
  platform.deleteFile = [](const std::wstring& path) { DeleteFileW(path.c_str()); };
  platform.readInstallerValue = ReadInstallerValue;
  platform.installedExeMatchesSize = InstalledExeMatchesSize;
  platform.isMsiPackage = IsMsiPackage;
  platform.computeFileSha256Hex = ComputeFileSha256Hex;
  platform.runInstallStrategy = [](const std::wstring& packagePath, bool removeFirst) {
    return RunInstallStrategy(packagePath, removeFirst);
  };
  return platform;
}

void Worker() { RunSetup(SystemWorkerPlatform()); }

}  // namespace velmora
