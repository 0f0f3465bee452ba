// The sandbox profile with one change: the package publisher's key is the sandbox PKI's
// publisher (tools/sandbox/pki/publisher.pin). It is the profile of VelmoraSetupPublisher.exe,
// which the end-to-end tests run to show the package publisher check; the sandbox's own
// program, VelmoraSetup.exe, names no publisher key.
#pragma once

// The sandbox's record under another name, so that this profile can start from it.
#define ActiveVendorProfile SandboxVendorProfile
#include "profiles/sandbox.h"
#undef ActiveVendorProfile

#ifndef RC_INVOKED
namespace velmora {

consteval VendorProfileValues ActiveVendorProfile() {
  VendorProfileValues profile = SandboxVendorProfile();
  profile.packagePublisherKeys = {"8ac55c5e372f907cf225ab037d114412981f47cd4c244a418ab47231dc0cc08e"};
  return profile;
}

}  // namespace velmora
#endif  // RC_INVOKED
