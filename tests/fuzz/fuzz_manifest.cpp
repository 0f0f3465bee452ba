// Manifest readers on arbitrary bytes: no crash, no out-of-range read, and the readers agree
// with the validity rule.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "workflow/installer_manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const velmora::InstallerManifest manifest = velmora::ParseManifest(text);
  if (velmora::IsValidManifest(manifest) &&
      (manifest.packageSha256.size() != 64 || manifest.packageUrl.rfind("https://", 0) != 0)) {
    std::abort();
  }
  const std::size_t split = size > 0 ? data[0] % (size + 1) : 0;
  const std::string key = text.substr(0, split);
  const std::string rest = text.substr(split);
  if (velmora::ReadJsonString(rest, key).size() > rest.size()) std::abort();
  velmora::ReadJsonUnsigned(rest, key);
  if (velmora::IsMsiUrl(text) && text.size() < 4) std::abort();
  return 0;
}
