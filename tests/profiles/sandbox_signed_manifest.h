// The sandbox profile of a vendor that signs its manifests: the sandbox's values and two
// manifest signing keys of the test PKI. The end-to-end tests build a second program with it,
// so that the sandbox's own program keeps showing what a profile without keys does.
#pragma once

// The sandbox's profile under another name, to build this one from.
#define ActiveVendorProfile SandboxVendorProfile
#include "profiles/sandbox.h"
#undef ActiveVendorProfile
#include "sandbox_manifest_signing_keys.h"

#ifndef RC_INVOKED
namespace velmora {

consteval VendorProfileValues ActiveVendorProfile() {
  VendorProfileValues profile = SandboxVendorProfile();
  profile.manifestSigningKeys = SandboxManifestSigningKeys();
  return profile;
}

}  // namespace velmora
#endif  // RC_INVOKED
