// The rules of the active profile, asserted while it compiles, in every build: a profile that
// the program would turn down at run time never builds, and the message names the field.
#include "app/vendor_profile_checks.h"
#include VELMORA_PROFILE_HEADER
#include "profile/placeholder_package_digest.h"
// The digest of the sample package, where this build makes one.
#if __has_include("sample_package_digest.h")
#include "sample_package_digest.h"
#endif

namespace velmora {
namespace {

#define VELMORA_PROFILE(field) (ActiveVendorProfile().field)

static_assert(AreProfileHostNames(ActiveVendorProfile()),
              "downloadHosts: every one of the kAllowedDownloadHostCount hosts must be given "
              "(repeat one if you have fewer), each a host name of 1 to 253 bytes: lower-case "
              "letters, digits, '-' and '.', no empty label, no label beginning or ending with "
              "'-', and not an IP address");
// Clang before 15 cannot evaluate libstdc++'s std::string in a constant expression, which the
// URL rules build; its only build is the fuzz one, and the GCC builds check these two.
#if !defined(__clang__) || __clang_major__ >= 15
static_assert(IsProfileDownloadUrl(ActiveVendorProfile(), VELMORA_PROFILE(manifestUrl)),
              "manifestUrl: must pass the download URL rules (https, port 443, no user "
              "information) with its host among downloadHosts");
static_assert(IsProfilePackageUrl(ActiveVendorProfile(), VELMORA_PROFILE(builtInPackageUrl)),
              "builtInPackageUrl: must pass the download URL rules with its host among "
              "downloadHosts, begin with \"https://\" and end in \".msi\"");
#endif
static_assert(IsManifestKeyName(VELMORA_PROFILE(versionKey)),
              "versionKey: 1 to 16 visible ASCII bytes, no quote or backslash");
static_assert(IsManifestKeyName(VELMORA_PROFILE(packageUrlKey)),
              "packageUrlKey: 1 to 16 visible ASCII bytes, no quote or backslash");
static_assert(IsManifestKeyName(VELMORA_PROFILE(packageSha256Key)),
              "packageSha256Key: 1 to 16 visible ASCII bytes, no quote or backslash");
static_assert(AreManifestKeyNamesDistinct(ActiveVendorProfile()),
              "versionKey, packageUrlKey, packageSha256Key: must differ from each other and "
              "from \"exeSize\" (and from \"expires\" where manifestSigningKeys are given)");
static_assert(AreManifestSigningKeys(ActiveVendorProfile()),
              "manifestSigningKeys: each an ECDSA P-256 public key as the base64 text between the "
              "lines of its PEM file (openssl pkey -pubin -outform der | base64 -w0), the second "
              "only beside the first and not the same key");
static_assert(IsSignatureBesideManifest(ActiveVendorProfile()),
              "manifestUrl: where manifestSigningKeys are given, no query or fragment, so that the "
              "URL plus \".sig\" names the signature beside the manifest");
static_assert(IsHexDigits64(VELMORA_PROFILE(serverKeyPin)),
              "serverKeyPin: must be 64 hexadecimal digits (tools/pin_tool.sh prints it)");
static_assert(IsHexDigits64(VELMORA_PROFILE(builtInPackageSha256)),
              "builtInPackageSha256: must be 64 hexadecimal digits, without a \"sha256:\" "
              "prefix or spaces");
#if !defined(VELMORA_PROFILE_IS_SANDBOX)
static_assert(!IsSameDigest(VELMORA_PROFILE(builtInPackageSha256), VELMORA_PLACEHOLDER_PACKAGE_SHA256),
              "builtInPackageSha256: is the sandbox's placeholder, which names no package; give the "
              "SHA-256 of your own published package (copy tests/profiles/example_vendor.h, not "
              "profiles/sandbox.h)");
#if defined(VELMORA_SAMPLE_PACKAGE_SHA256)
static_assert(!IsSameDigest(VELMORA_PROFILE(builtInPackageSha256), VELMORA_SAMPLE_PACKAGE_SHA256),
              "builtInPackageSha256: is the digest of the sandbox's sample package; give the "
              "SHA-256 of your own published package");
#endif
#endif
static_assert(IsVersionText(VELMORA_PROFILE(builtInVersion)),
              "builtInVersion: must be a dotted version such as 1.1.7");
static_assert(IsProfileHostName(VELMORA_PROFILE(messageHost)),
              "messageHost: must be a host name: lower-case letters, digits, '-' and '.', no label "
              "beginning or ending with '-', and not an IP address");
static_assert(ArePackagePublisherKeys(ActiveVendorProfile()),
              "packagePublisherKeys: each the SPKI SHA-256 of a code-signing certificate's key, 64 "
              "hexadecimal digits (tools/pin_tool.sh prints it), the second only beside the first "
              "and not the same key");
static_assert(sizeof(VELMORA_COMPANY_NAME) > 1,
              "VELMORA_COMPANY_NAME: the company named in the file properties must not be empty");
static_assert(sizeof(VELMORA_PRODUCT_NAME) > 1,
              "VELMORA_PRODUCT_NAME: the product named in the file properties must not be empty");

}  // namespace
}  // namespace velmora
