// A recording stand-in for the machine a setup run works on: files in a map, scripted
// download results, a registry of two values and a scripted install strategy.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "workflow/worker_platform.h"

namespace velmora::test {

struct ScriptedDownload {
  bool ok = false;
  std::string body;        // written to the file when ok
  std::string error;       // given back when not ok
  std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;  // reported before the result
};

struct FakeMachine {
  std::wstring tempFolder = L"C:\\Temp\\";
  bool tempFolderAvailable = true;
  unsigned long pid = 4242;
  std::map<std::wstring, std::string> files;
  std::deque<ScriptedDownload> httpsDownloads;  // consumed in order; empty means 404
  ScriptedDownload systemDownload{false, "", "Windows downloader failed (0x800C0005).", {}};
  std::map<std::wstring, std::wstring> registry;
  bool exeMatches = true;
  bool installSucceeds = true;
  std::map<std::string, std::string> digests;  // file content -> digest text

  // What the run did.
  std::vector<std::string> events;  // "https <url> <limit>", "sleep 600", "system <url>", ...
  std::vector<std::pair<std::wstring, bool>> strategyCalls;
  bool packagePresentAtInstall = false;

  WorkerPlatform Platform();
  std::wstring ManifestPath() const;
  std::wstring PackagePath() const;
};

// A manifest document in the profile's key names.
std::string ManifestText(const std::string& version, const std::string& url,
                         const std::string& digest, const std::string& exeSizeField = "");

}  // namespace velmora::test
