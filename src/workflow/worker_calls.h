// What one setup run needs of the machine, as a small record of callables. This layer cannot
// name the system, so the record has no defaults: the Windows build fills it with the real
// downloaders, registry, integrity checks and msiexec strategy (SystemWorkerCalls in
// workflow/win/system_worker.h); the native tests fill it with recording stand-ins.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/setup_state.h"

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
  std::function<void(const std::wstring& path)> deleteFile;
  std::function<bool(const wchar_t* name, std::wstring* value)> readInstallerValue;
  std::function<bool(std::uint64_t expectedSize)> installedExeMatchesSize;
  // Holds the downloaded package so that nobody can change, rename or delete it; empty when
  // the file cannot be opened that way.
  std::function<HeldFile(const std::wstring& path)> lockFile;
  std::function<bool(const std::wstring& path)> isMsiPackage;
  std::function<bool(const std::wstring& path, std::string* hex)> computeFileSha256Hex;
  // The msiexec logs go to the run's folder. lastExitCode receives the last msiexec run's code.
  std::function<bool(const std::wstring& packagePath, const std::wstring& runFolder, bool removeFirst,
                     std::uint32_t& lastExitCode)>
      runInstallStrategy;
};

}  // namespace velmora
