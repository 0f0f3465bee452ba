// What the whole-run tests (the worker on the real machine, the program end to end) share:
// the sample packages as the build recorded them, manifests in the profile's key names, and
// log lines checked in order.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::test {

struct SamplePackageFile {
  std::wstring path;
  std::string sha256;  // as the build recorded it beside the packages
};

SamplePackageFile SamplePackageOf(const std::string& version);

// A manifest document in the profile's key names.
std::string ManifestText(const std::string& version, const std::string& url, const std::string& digest,
                         std::uint64_t exeSize);

class NewRunFolders;

// Nothing of a run but the msiexec logs stays in the run folders it made, and nothing at all
// in the user's temporary folder.
void ExpectOnlyMsiexecLogsLeft(const NewRunFolders& runFolders, const std::wstring& userTemp);

// Success when each expected line starts one of the lines, in this order.
::testing::AssertionResult InOrder(const std::vector<std::string>& lines,
                                   const std::vector<std::string>& expected);

}  // namespace velmora::test
