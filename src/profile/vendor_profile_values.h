// The constants one vendor's build is made of. A profile fills this record in a consteval
// function, so its plain texts exist only while compiling.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace velmora {

// The one place the number of download hosts is set: the profile's list and the run-time
// allow-list are both sized by it.
constexpr int kAllowedDownloadHostCount = 5;
// The slots of each key list: two, so that a new key can be shipped beside the old one before
// the old one is retired.
constexpr int kKeySlots = 2;

struct VendorProfileValues {
  std::array<std::string_view, kAllowedDownloadHostCount> downloadHosts;  // lower case, exact match
  std::string_view manifestUrl;
  std::string_view versionKey;  // at most 16 bytes each
  std::string_view packageUrlKey;
  std::string_view packageSha256Key;
  std::string_view serverKeyPin;  // 64 hex digits; all zeros means "not configured"
  std::string_view builtInVersion;
  std::string_view builtInPackageUrl;
  std::string_view builtInPackageSha256;
  std::uint64_t builtInExeSize;
  std::string_view messageHost;  // the host named in messages to the user
  // The public keys (ECDSA P-256, base64 SubjectPublicKeyInfo: the body of the PEM file) whose
  // signature the manifest must carry, the first slot first. A profile that names none takes
  // the manifest unsigned.
  std::array<std::string_view, kKeySlots> manifestSigningKeys;
  // The package publisher's code-signing keys, each as the SPKI SHA-256 of the certificate's
  // key (64 hex digits, as tools/pin_tool.sh prints them), the first slot first. With one
  // given, a downloaded package must carry an Authenticode signature that Windows accepts,
  // made by a certificate with one of these keys. None given (the default): the package rests
  // on its digest alone, as before.
  std::array<std::string_view, kKeySlots> packagePublisherKeys;
};

}  // namespace velmora
