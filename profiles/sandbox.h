// Vendor profile: the sandbox. Its hosts live under the reserved .test domain and are served by
// the sandbox download server (tools/sandbox) inside a network namespace of the test run.
// Not a template for a vendor: its built-in digest is the sample package's (or, where no
// sample is built, a placeholder), which only this profile may carry. A vendor starts from
// tests/profiles/example_vendor.h (README, "Write a vendor profile").
#pragma once

// The program's file properties (its version resource). Plain macros, because the resource
// compiler reads them too; the version numbers are the project's.
#define VELMORA_COMPANY_NAME "Velmora Sandbox"
#define VELMORA_PRODUCT_NAME "Velmora"

#ifndef RC_INVOKED
#include "profile/vendor_profile_values.h"
#include "sample_package_digest.h"

namespace velmora {

consteval VendorProfileValues ActiveVendorProfile() {
  return VendorProfileValues{
      .downloadHosts = {"downloads.velmora.test", "cdn.velmora.test", "archive.velmora.test",
                        "mirror.velmora.test", "legacy.velmora.test"},
      .manifestUrl = "https://downloads.velmora.test/installer/manifest.json",
      .versionKey = "releaseVersion",
      .packageUrlKey = "installerUrl",
      .packageSha256Key = "installerSha256",
      // SPKI SHA-256 of the sandbox intermediate CA (tools/sandbox/pki); print it with
      // tools/pin_tool.sh.
      .serverKeyPin = "8e4ac4f49265215379663b3cc74c601e5f7aa3b37f59513cf616e69ac4aac203",
      .builtInVersion = "1.1.7",
      .builtInPackageUrl = "https://downloads.velmora.test/downloads/Velmora-Setup-1.1.7-x64.msi",
      .builtInPackageSha256 = VELMORA_SAMPLE_PACKAGE_SHA256,
      .builtInExeSize = 36547584,
      .messageHost = "downloads.velmora.test",
  };
}

}  // namespace velmora

#endif  // RC_INVOKED
