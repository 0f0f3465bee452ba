// A vendor profile as a release engineer writes one: its own hosts, key names and pin. The
// release checks build, sign and compare the program with it; the profile checks derive each
// deliberately bad profile from it by changing one line.
#pragma once

#define VELMORA_COMPANY_NAME "Example Vendor Ltd"
#define VELMORA_PRODUCT_NAME "Velmora"

#ifndef RC_INVOKED
#include "profile/vendor_profile_values.h"

namespace velmora {

consteval VendorProfileValues ActiveVendorProfile() {
  return VendorProfileValues{
      .downloadHosts = {"get.example.com", "cdn-eu.example.com", "cdn-us.example.net", "archive.example.org",
                        "fallback.example.com"},
      .manifestUrl = "https://get.example.com/velmora/stable/current.json",
      .versionKey = "buildVersion",
      .packageUrlKey = "msiLocation",
      .packageSha256Key = "msiDigest",
      .serverKeyPin = "3C9D0A7E55B1F24860C4D91E7A2B3F5C8D6E1F0A9B8C7D6E5F4A3B2C1D0E9F8A",
      .builtInVersion = "2.4.1",
      .builtInPackageUrl = "https://cdn-eu.example.com/velmora/Velmora-Setup-2.4.1-x64.msi",
      .builtInPackageSha256 = "9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08",
      .builtInExeSize = 41943040,
      .messageHost = "get.example.com",
      .manifestSigningKeys = {"MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEqi5QLQiTCQRkVFDqV3wQXIJXVSzo5aK2JB2/"
                              "u4N+zrsZOhv4rWv0pr22RU5gvh7P5MptEUu7EVlDYUqdFHuK5g==",
                              "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE+By/yzpZAO+BVVmBMWdOUVEi5vboNz8yB10v"
                              "ippPewM1vTQ8vdeQaizi4d+p54kUEZoAbN0YbCWUcH+3ARNjYA=="},
      // The key of the certificate that signs the MSI packages (tools/pin_tool.sh); a second
      // slot takes the next key while packages signed with this one are still published.
      .packagePublisherKeys = {"7D1E5A0C93B4F2861E0D7C6B5A49382716F5E4D3C2B1A09F8E7D6C5B4A392817"},
  };
}

}  // namespace velmora

#endif  // RC_INVOKED
