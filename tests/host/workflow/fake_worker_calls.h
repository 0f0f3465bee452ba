// A recording stand-in for the machine a setup run works on: files in a map, scripted
// download results, a registry of two values, a package cache and a scripted install strategy.
#pragma once

#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "workflow/worker_calls.h"

namespace velmora::test {

struct ScriptedDownload {
  bool ok = false;
  std::string body;                                               // written to the file when ok
  std::string error;                                              // given back when not ok
  std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;  // reported before the result
  // The user confirms "Cancel" while this download runs, after its progress. A download that
  // ends cancelled leaves its body behind as a partial staged file.
  bool userCancels = false;
};

struct FakeMachine {
  std::wstring runFolder = L"C:\\Temp\\";
  bool runFolderAvailable = true;
  unsigned long pid = 4242;
  std::map<std::wstring, std::string> files;
  std::set<std::wstring> locked;                // held files cannot be deleted, as on the real machine
  std::deque<ScriptedDownload> httpsDownloads;  // consumed in order; empty means 404
  ScriptedDownload systemDownload{false, "", "Windows downloader failed (0x800C0005).", {}};
  std::map<std::wstring, std::wstring> registry;
  bool exeMatches = true;
  // What the strategy ends with. An installed package writes its version into the registry; a
  // restored result first asks for the previous package, as the real strategy does.
  InstallResult strategyResult = InstallResult::Installed;
  std::uint32_t installExitCode = 0;           // the strategy's last msiexec exit code
  std::map<std::string, std::string> digests;  // file content -> digest text
  // The manifest signing keys of the profile; none by default, as the sandbox's. The fake
  // signature check accepts a signature over signedText whose r begins with the key's first
  // byte (see DerSignedBy).
  std::vector<EcdsaP256PublicKey> signingKeys;
  std::string signedText;
  std::int64_t utcNow = 1801353600;  // 2027-01-31T00:00:00Z
  // The publisher keys of the profile; none by default, as the sandbox's. With them the run
  // checks the package's signature: file content -> signer for the packages signed with one of
  // them; any other package is refused.
  std::vector<std::string> publisherKeys;
  std::map<std::string, std::string> publisherSigned;
  // The package cache: version -> kept package bytes and digest record. Empty: no cache.
  std::map<std::wstring, std::pair<std::string, std::string>> cache;
  bool keepSucceeds = true;

  // What the run did.
  std::vector<std::string> events;  // "https <url> <limit>", "sleep 600", "system <url>", ...
  std::vector<std::pair<std::wstring, bool>> strategyCalls;
  std::vector<std::wstring> strategyLogFolders;
  std::vector<InstallVersions> strategyVersions;
  std::vector<std::wstring> previousPackages;  // what the strategy got back for the previous version
  bool previousPackageLockedAtRestore = false;
  bool packagePresentAtInstall = false;
  bool packageLockedAtInstall = false;
  bool packageLockedAtPublisherCheck = false;
  bool runFolderHeldAtInstall = false;
  bool runFolderHeld = false;
  int sweeps = 0;
  std::vector<CancelState> cancelAtDownloads;  // while each download ran, the system one included
  CancelState cancelAtInstall = CancelState::Requested;
  std::vector<bool> cancelsGranted;  // what the window was told for each userCancels

  WorkerCalls Calls();
  // The end of one scripted download, the same for both downloaders.
  bool Finish(const ScriptedDownload& download, const std::wstring& path, std::string* error);
  std::wstring ManifestPath() const;
  std::wstring PackagePath() const;
  std::wstring CachedPath(const std::wstring& version) const;
};

// A DER signature that the fake check takes for the key whose first byte is id.
std::string DerSignedBy(std::uint8_t id);
EcdsaP256PublicKey FakeKey(std::uint8_t id);

// A manifest document in the profile's key names.
std::string ManifestText(const std::string& version, const std::string& url, const std::string& digest,
                         const std::string& exeSizeField = "");

}  // namespace velmora::test
