// The two manifest signing keys of the test PKI (tools/sandbox/pki/manifest-key-1.pub and
// -2.pub) as a profile writes them, for the test profiles that name them.
#pragma once

#ifndef RC_INVOKED
#include "profile/vendor_profile_values.h"

namespace velmora {

consteval std::array<std::string_view, kKeySlots> SandboxManifestSigningKeys() {
  return {
      "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAEU96V2LJ229fRZRI1+9/FE0y8Cyjvx5thhbMY3qj/"
      "Na3z7Q3EQdx54Y8ErdG5925xuc0ec5fuIc2nBidHNz82EA==",
      "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE7iY5pQyieS/+YTdeCNwT4GF8R+WpB3qhlwKZ7/UMbs1rY79Cf/"
      "LDdC63Aa9YuVsQH12Vvrer3P96+WChbBgXPw==",
  };
}

}  // namespace velmora
#endif  // RC_INVOKED
