// The release engineer's manifest tool, built natively with the vendor profile of the program
// it serves (tools/manifest_tool.sh builds and runs it):
//   velmora_manifest_tool write VERSION PACKAGE_URL SHA256 EXE_SIZE MANIFEST [EXPIRES]
//       writes the manifest with the profile's key names (and "expires", which only a profile
//       with manifest signing keys takes), then checks what it wrote; MANIFEST is replaced only
//       when the check passes
//   velmora_manifest_tool check MANIFEST [PACKAGE_NAME VERSION SHA256 EXE_SIZE]
//       reports each broken publishing rule, one line each, and with a package's facts each
//       value that does not describe that package
//   velmora_manifest_tool keys
//       prints the profile's manifest signing keys in slot order, one base64
//       SubjectPublicKeyInfo a line; nothing when it names none
//   velmora_manifest_tool signature SIGNATURE
//       reports a signature file the program would refuse before any key is tried: missing, or
//       not a DER ECDSA P-256 signature
// Exit code: 0 when the manifest (or signature) passes, 1 when it does not, 2 for a usage or
// file error.
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "net/ecdsa_p256.h"
#include "profile/vendor_profile.h"
#include "published_manifest.h"
#include "workflow/installer_manifest.h"
#include "workflow/signed_manifest.h"

namespace {

constexpr int kRulesBroken = 1;
constexpr int kUsageOrFileError = 2;

int Usage() {
  std::fputs(
      "usage: velmora_manifest_tool write VERSION PACKAGE_URL SHA256 EXE_SIZE MANIFEST [EXPIRES]\n"
      "       velmora_manifest_tool check MANIFEST [PACKAGE_NAME VERSION SHA256 EXE_SIZE]\n"
      "       velmora_manifest_tool keys\n"
      "       velmora_manifest_tool signature SIGNATURE\n",
      stderr);
  return kUsageOrFileError;
}

// The file's bytes unchanged, as the program reads a downloaded manifest.
bool ReadWholeFile(const std::filesystem::path& path, std::string& text) {
  std::error_code error;
  std::ifstream file(path, std::ios::binary);
  if (!std::filesystem::is_regular_file(path, error) || !file) return false;
  text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad();
}

std::int64_t SecondsSince1970() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// A size in bytes as the command line gives it; false (and a report) for anything else.
bool ParseExeSize(const std::string& text, std::uint64_t& size) {
  const char* end = text.data() + text.size();
  const auto [parsedEnd, status] = std::from_chars(text.data(), end, size);
  if (text.empty() || status != std::errc() || parsedEnd != end) {
    std::fprintf(stderr, "EXE_SIZE must be a size in bytes, not \"%s\"\n", text.c_str());
    return false;
  }
  return true;
}

// Reads the file as the program does, reports each broken rule and, with a package, each value
// that does not describe it; when there is none, prints what the program will read from it.
// The reports name the file as shown.
int Check(const std::filesystem::path& path, const std::filesystem::path& shown,
          const velmora::PackageFacts* package = nullptr) {
  std::string text;
  if (!ReadWholeFile(path, text)) {
    std::fprintf(stderr, "%s: cannot be read\n", shown.c_str());
    return kUsageOrFileError;
  }
  std::vector<std::string> violations = velmora::PublishingViolations(text, SecondsSince1970());
  if (package != nullptr) {
    const std::vector<std::string> mismatches = velmora::PackageMismatches(text, *package);
    violations.insert(violations.end(), mismatches.begin(), mismatches.end());
  }
  for (const std::string& violation : violations) {
    std::fprintf(stderr, "%s: %s\n", shown.c_str(), violation.c_str());
  }
  if (!violations.empty()) return kRulesBroken;
  const velmora::InstallerManifest manifest = velmora::ParseManifest(text);
  // Only a program with signing keys reads the expiry.
  std::string expiry;
  if (!velmora::ProfileManifestSigningKeys().empty()) {
    const std::string expires = velmora::ReadJsonString(text, velmora::kManifestExpiresKey);
    expiry = expires.empty() ? ", no expiry" : ", expires " + expires;
  }
  std::printf(
      "%s: follows the publishing rules%s%s: version %s, package %s, SHA-256 %s, "
      "exeSize %llu%s\n",
      shown.c_str(), package != nullptr ? " and describes " : "",
      package != nullptr ? package->name.c_str() : "", manifest.productVersion.c_str(),
      manifest.packageUrl.c_str(), manifest.packageSha256.c_str(),
      static_cast<unsigned long long>(manifest.exeSize), expiry.c_str());
  return 0;
}

int Write(const std::string& version, const std::string& url, const std::string& sha256,
          const std::string& exeSizeText, const std::filesystem::path& path, const std::string& expires) {
  std::uint64_t exeSize = 0;
  if (!ParseExeSize(exeSizeText, exeSize)) return kUsageOrFileError;
  // A program without signing keys would pass over the expiry: the vendor would believe in a
  // limit that nothing enforces.
  if (!expires.empty() && velmora::ProfileManifestSigningKeys().empty()) {
    std::fputs(
        "EXPIRES needs manifest signing keys in the profile; a program built without them "
        "ignores the expiry\n",
        stderr);
    return kUsageOrFileError;
  }
  // Written beside the target and checked there, so a manifest that breaks a rule never
  // replaces the one in place.
  std::filesystem::path pending = path;
  pending += ".new";
  {
    std::ofstream out(pending, std::ios::binary | std::ios::trunc);
    out << velmora::ManifestText(version, url, sha256, exeSize, expires);
    if (!out.flush()) {
      std::fprintf(stderr, "%s: cannot be written\n", pending.c_str());
      return kUsageOrFileError;
    }
  }
  const int result = Check(pending, path);
  std::error_code ignored;
  if (result != 0) {
    std::filesystem::remove(pending, ignored);
    return result;
  }
  std::error_code error;
  std::filesystem::rename(pending, path, error);
  if (error) {
    std::fprintf(stderr, "%s: cannot be written (%s)\n", path.c_str(), error.message().c_str());
    std::filesystem::remove(pending, ignored);
    return kUsageOrFileError;
  }
  std::printf("written: %s\n", path.c_str());
  return 0;
}

int PrintKeys() {
  for (const std::string& key : velmora::ManifestSigningKeys()) std::printf("%s\n", key.c_str());
  return 0;
}

// What the program checks of a signature before it tries a key: the download's size limit and
// the strict DER form.
int CheckSignatureForm(const std::filesystem::path& path) {
  std::string der;
  if (!ReadWholeFile(path, der)) {
    std::fprintf(stderr,
                 "%s: missing; the profile names manifest signing keys, so the program refuses the "
                 "manifest without its signature\n",
                 path.c_str());
    return kRulesBroken;
  }
  if (der.size() > velmora::kManifestSignatureMaxBytes || !velmora::ParseDerEcdsaP256Signature(der)) {
    std::fprintf(stderr,
                 "%s: malformed: %zu bytes, not a DER ECDSA P-256 signature as "
                 "openssl dgst -sha256 -sign writes it\n",
                 path.c_str(), der.size());
    return kRulesBroken;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "write" && (argc == 7 || argc == 8)) {
    return Write(argv[2], argv[3], argv[4], argv[5], argv[6], argc == 8 ? argv[7] : "");
  }
  if (mode == "check" && argc == 3) return Check(argv[2], argv[2]);
  if (mode == "check" && argc == 7) {
    velmora::PackageFacts package{argv[3], argv[4], argv[5]};
    if (!ParseExeSize(argv[6], package.exeSize)) return kUsageOrFileError;
    return Check(argv[2], argv[2], &package);
  }
  if (mode == "keys" && argc == 2) return PrintKeys();
  if (mode == "signature" && argc == 3) return CheckSignatureForm(argv[2]);
  return Usage();
}
