// The installer manifest as a vendor publishes it: the text the manifest tool writes, and the
// publishing rules that a manifest is held to before it goes on the server. The rules read the
// text with the program's own readers and the active vendor profile, and add what those
// readers leave open: each key once at the top level, plain values, a well-formed document.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// A flat object with the profile's key names, in the order the program reads them, and
// "expires" last when one is given.
std::string ManifestText(const std::string& version, const std::string& packageUrl,
                         const std::string& packageSha256, std::uint64_t exeSize, const std::string& expires);

// One line for each broken rule, in a fixed order; empty when the manifest may be published.
// With manifest signing keys in the profile, an "expires" key is held to the program's reading
// of it at now (seconds since 1970, UTC): once, at the top level, a UTC time still ahead.
// Without keys the program passes over it like any other key, and so do the rules.
std::vector<std::string> PublishingViolations(const std::string& text, std::int64_t now);

// What a package is, as the manifest must describe it: its ProductVersion, its SHA-256 and the
// size of the Velmora.exe it installs.
struct PackageFacts {
  std::string name;  // as shown in the reports
  std::string version;
  std::string sha256;
  std::uint64_t exeSize = 0;
};

// One line for each value the program would read from the manifest (text) that does not
// describe the package; empty when all do. An exeSize of 0, which switches the installed-
// executable check off, describes any package.
std::vector<std::string> PackageMismatches(const std::string& text, const PackageFacts& package);

}  // namespace velmora
