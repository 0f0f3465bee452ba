// The installer manifest as a vendor publishes it: the text the manifest tool writes, and the
// publishing rules that a manifest is held to before it goes on the server. The rules read the
// text with the program's own readers and the active vendor profile, and add what those
// readers leave open: each key once at the top level, plain values, a well-formed document.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// A flat object with the profile's key names, in the order the program reads them.
std::string ManifestText(const std::string& version, const std::string& packageUrl,
                         const std::string& packageSha256, std::uint64_t exeSize);

// One line for each broken rule, in a fixed order; empty when the manifest may be published.
std::vector<std::string> PublishingViolations(const std::string& text);

}  // namespace velmora
