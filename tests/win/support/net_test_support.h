// Support for the download-path tests: Unix commands run from inside Wine (the pin tool,
// sha256sum, a second Wine process with its own loader settings), path mapping between the
// two sides, files published on the sandbox server, and the test PKI's certificates.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "win_test_support.h"

namespace velmora::test {

// A text as one single-quoted shell word.
std::string ShellQuote(const std::string& text);

struct UnixRun {
  int exitStatus = -1;
  std::string output;  // standard output
  std::string errors;  // standard error
};

// Runs a /bin/sh script on the Unix side and waits for it. Wine does not follow a Unix child
// to its end, so the end is seen through the status file the script writes last. False when
// the script could not be started or did not finish within the time-out.
bool RunUnixScript(const std::string& script, UnixRun& run, DWORD timeoutMs = 600000);

// Runs win_net_probe.exe (copied to folder when it is non-empty, so that files planted
// beside it count) as a new Wine process with the given environment assignments
// ("NAME=value ..."), and returns its key=value lines.
bool RunNetProbe(const std::wstring& folder, const std::string& environment, const std::string& arguments,
                 std::map<std::string, std::string>& values);
// The same for another helper program of the tests, by its file name.
bool RunProbe(const std::wstring& name, const std::wstring& folder, const std::string& environment,
              const std::string& arguments, std::map<std::string, std::string>& values);

// The first certificate of a PEM file (a Windows path); null when it cannot be read.
PCCERT_CONTEXT LoadPemCertificate(const std::wstring& pemPath);

// The pin check's reason for a chain without the pinned key whose leaf is the sandbox PKI's
// certificate for leafName, issued by the CA named issuerName.
std::string PinMismatchText(const std::string& leafName, const std::string& issuerName);

// The SPKI pin the test PKI records for a signer ("publisher", "other-publisher"), without its
// line end.
std::string PkiPin(const std::string& name);

// The sample 1.1.8 package as the build signed it with that signer's code-signing key.
std::wstring SamplePackageSignedBy(const std::string& signer);

// The detached signature openssl writes (`openssl dgst -sha256 -sign`: DER) over bytes with
// the test PKI's key keyName ("manifest-key-1", ...); empty when openssl failed.
std::string OpensslSignature(const std::string& bytes, const std::string& keyName);

// A folder of files on the sandbox server for one test, removed with its files afterwards.
// Valid() is false outside the sandbox: the test must then fail.
class SandboxFolder {
 public:
  SandboxFolder();
  ~SandboxFolder();
  SandboxFolder(const SandboxFolder&) = delete;
  SandboxFolder& operator=(const SandboxFolder&) = delete;

  bool Valid() const { return !root_.empty(); }
  // Publishes bytes as NAME and returns the path the server serves it under ("/FOLDER/NAME").
  std::string Publish(const std::string& name, const std::string& bytes);

 private:
  std::wstring root_;
  std::string folder_;
};

// Holds a file open with no sharing, as another program might, for as long as it lives.
class ScopedFileLock {
 public:
  explicit ScopedFileLock(const std::wstring& path);
  ~ScopedFileLock();
  ScopedFileLock(const ScopedFileLock&) = delete;
  ScopedFileLock& operator=(const ScopedFileLock&) = delete;

 private:
  HANDLE file_;
};

// Whether the file holds exactly these bytes; a failure names sizes, never contents.
::testing::AssertionResult FileHolds(const std::wstring& path, const std::string& expected);

// Deterministic bytes without a short period, so that a misplaced or lost block shows.
std::string PatternedBytes(std::size_t size, std::uint32_t seed = 1);

// The message a real-server test fails with when it runs outside the sandbox.
extern const char kOutsideSandbox[];

}  // namespace velmora::test
