// What one setup run needs of the machine, as a small record of callables. The Windows build
// wires the real downloaders, registry, integrity checks and msiexec strategy
// (SystemWorkerPlatform); the native tests wire recording stand-ins.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/setup_state.h"

namespace velmora {

struct WorkerPlatform {
  // The temporary folder with its trailing separator; false when none can be had.
  std::function<bool(std::wstring& folder)> tempFolder;
  std::function<unsigned long()> processId;
  std::function<void(unsigned long milliseconds)> sleep;
  // The pinned HTTPS downloader.
  std::function<bool(const std::string& url, const std::wstring& path, std::uint64_t maxBytes,
                     const DownloadProgress& progress, std::string* error)>
      httpsDownload;
  // The system's own downloader, the last resort for the package.
  std::function<bool(const std::string& url, const std::wstring& path, std::string* error)>
      systemDownload;
  std::function<bool(const std::wstring& path, std::string& text)> readManifestFile;
  std::function<void(const std::wstring& path)> deleteFile;
  std::function<bool(const wchar_t* name, std::wstring* value)> readInstallerValue;
  std::function<bool(std::uint64_t expectedSize)> installedExeMatchesSize;
  std::function<bool(const std::wstring& path)> isMsiPackage;
  std::function<bool(const std::wstring& path, std::string* hex)> computeFileSha256Hex;
  std::function<bool(const std::wstring& packagePath, bool removeFirst)> runInstallStrategy;
};

}  // namespace velmora
