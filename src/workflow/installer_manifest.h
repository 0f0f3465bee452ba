// The installer manifest: a small JSON document read by text search for four values, its
// validity rule, and the built-in record that stands in when no valid manifest is had.
#pragma once

#include <cstdint>
#include <string>

namespace velmora {

struct InstallerManifest {
  std::string productVersion;
  std::string packageUrl;
  std::string packageSha256;
  std::uint64_t exeSize = 0;
  bool fromFallback = false;
};

constexpr std::size_t kManifestMaxBytes = 65536;

bool ReadManifestFile(const std::wstring& path, std::string& text);
std::string ReadJsonString(const std::string& text, const std::string& key);
std::uint64_t ReadJsonUnsigned(const std::string& text, const std::string& key);
InstallerManifest ParseManifest(const std::string& text);
bool IsMsiUrl(const std::string& url);
bool IsValidManifest(const InstallerManifest& manifest);
const InstallerManifest& BuiltInManifest();

}  // namespace velmora
