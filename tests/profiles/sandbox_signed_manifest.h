// The sandbox profile of a vendor that signs its manifests: the sandbox's values and two
// manifest signing keys of the test PKI (tools/sandbox/pki/manifest-key-1.pub and -2.pub).
// The end-to-end tests build a second program with it, so that the sandbox's own program keeps
// showing what a profile without keys does.
#pragma once

// The sandbox's profile under another name, to build this one from.
#define ActiveVendorProfile SandboxVendorProfile
#include "profiles/sandbox.h"
#undef ActiveVendorProfile

#ifndef RC_INVOKED
namespace velmora {

consteval VendorProfileValues ActiveVendorProfile() {
  VendorProfileValues profile = SandboxVendorProfile();
  profile.manifestSigningKeys = {
      "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEU96V2LJ229fRZRI1+9/FE0y8Cyjvx5thhbMY3qj/"
      "Na3z7Q3EQdx54Y8ErdG5925xuc0ec5fuIc2nBidHNz82EA==",
      "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE7iY5pQyieS/+YTdeCNwT4GF8R+WpB3qhlwKZ7/UMbs1rY79Cf/"
      "LDdC63Aa9YuVsQH12Vvrer3P96+WChbBgXPw==",
  };
  return profile;
}

}  // namespace velmora
#endif  // RC_INVOKED
