// The sandbox profile of a vendor that signs both its manifests and its packages: the
// signed-manifest test profile's keys, and the sandbox PKI's publisher
// (tools/sandbox/pki/publisher.pin) as the package publisher's key. It is the profile of
// VelmoraSetupPublisher.exe, which the end-to-end tests run to show the package publisher
// check; the sandbox's own program, VelmoraSetup.exe, names no key.
#pragma once

// The sandbox's record under another name, so that this profile can start from it.
#define ActiveVendorProfile SandboxVendorProfile
#include "profiles/sandbox.h"
#undef ActiveVendorProfile
#include "sandbox_manifest_signing_keys.h"

#ifndef RC_INVOKED
namespace velmora {

consteval VendorProfileValues ActiveVendorProfile() {
  VendorProfileValues profile = SandboxVendorProfile();
  profile.manifestSigningKeys = SandboxManifestSigningKeys();
  // In upper case, as a vendor may copy it; the program compares in lower case.
  profile.packagePublisherKeys = {"8AC55C5E372F907CF225AB037D114412981F47CD4C244A418AB47231DC0CC08E"};
  return profile;
}

}  // namespace velmora
#endif  // RC_INVOKED
