// Manifest readers on arbitrary bytes: no crash, no out-of-range read, and the readers agree
// with the validity rule. The same for what a signed manifest adds: its signature's DER and its
// expiry.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/ecdsa_p256.h"
#include "workflow/installer_manifest.h"
#include "workflow/signed_manifest.h"

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
  // Strict DER has one encoding: whatever parses is a whole signature of 8 to 72 bytes.
  if (velmora::ParseDerEcdsaP256Signature(text) && (size < 8 || size > 72)) std::abort();
  std::string expires;
  std::string error;
  if (velmora::IsManifestUnexpired(text, 0, expires, error) && !expires.empty() &&
      !velmora::ParseUtcTimestamp(expires)) {
    std::abort();
  }
  return 0;
}
