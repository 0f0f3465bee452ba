// Compiled only by the signing step (tools/sign.sh), never into the program: a profile whose
// hosts are reserved test names serves a sandbox, and such a build must not be signed.
#include "app/vendor_profile_checks.h"
#include VELMORA_PROFILE_HEADER

namespace velmora {

static_assert(!NamesTestHost(ActiveVendorProfile()),
              "downloadHosts, messageHost: a host under .test, .example, .invalid or .localhost "
              "makes this a sandbox build, which is never signed");

}  // namespace velmora
