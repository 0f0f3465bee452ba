#include "published_manifest.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "base/ascii.h"
#include "profile/vendor_profile.h"
#include "json_structure.h"
#include "net/text_encoding.h"
#include "net/url_rules.h"
#include "product/version.h"
#include "workflow/installer_manifest.h"
#include "workflow/signed_manifest.h"

namespace velmora {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// JSON string contents; control characters and any byte the reader would take as the end of
// the value are escaped, and the publishing rules then refuse them.
std::string JsonEscaped(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (char c : text) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b < 0x20) {
      out += "\\u00";
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

// A value as shown in a report: at most 40 bytes of it.
std::string Shown(std::string_view value) {
  return value.size() <= 40 ? std::string(value) : std::string(value.substr(0, 40)) + "...";
}

std::size_t CountOccurrences(const std::string& text, const std::string& needle) {
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

// The value as written where the program's readers take it: after the first colon that follows
// the key's first occurrence, whitespace skipped; a string up to its closing quote, any other
// value up to the next comma, brace, bracket or whitespace.
std::string_view WrittenValue(const std::string& text, const std::string& quotedKey) {
  const std::size_t key = text.find(quotedKey);
  const std::size_t colon = text.find(':', key + quotedKey.size());
  if (colon == std::string::npos) return {};
  const std::size_t begin = text.find_first_not_of(" \t\r\n", colon + 1);
  if (begin == std::string::npos) return {};
  std::size_t end = begin + 1;
  if (text[begin] == '"') {
    while (end < text.size() && text[end] != '"') end += text[end] == '\\' ? 2 : 1;
    end = std::min(end + 1, text.size());
  } else {
    end = std::min(text.find_first_of(",}] \t\r\n", begin), text.size());
  }
  return std::string_view(text).substr(begin, end - begin);
}

bool IsPlainString(std::string_view value) {
  return value.size() >= 2 && value.front() == '"' && value.back() == '"' &&
         value.find('\\') == std::string_view::npos;
}

// Decimal digits only, no leading zero, within 64 bits: what the program's reader reads as
// written and any JSON reader reads the same.
bool IsPlainUnsigned(std::string_view value) {
  if (value.empty() || (value.size() > 1 && value.front() == '0')) return false;
  if (!std::all_of(value.begin(), value.end(), IsAsciiDigit)) {
    return false;
  }
  std::uint64_t number = 0;
  return std::from_chars(value.data(), value.data() + value.size(), number).ec == std::errc();
}

bool IsLowerHexDigest(const std::string& value) {
  return value.size() == 64 && std::all_of(value.begin(), value.end(), IsLowerHexDigit);
}

// Once, as a key of the top-level object, with a value of the given form. False when the key
// is missing, so that the rules on its value are not reported as well.
bool CheckKey(const std::string& text, const std::string& key, bool numeric, bool wellFormed,
              const std::vector<std::string>& topLevelKeys, std::vector<std::string>& violations) {
  const std::string quoted = Quoted(key);
  const std::size_t count = CountOccurrences(text, quoted);
  if (count == 0) {
    violations.push_back(quoted + " is missing");
    return false;
  }
  if (count > 1) {
    violations.push_back(quoted + " occurs " + std::to_string(count) +
                         " times; the program reads the first, so write it exactly once");
  }
  if (wellFormed && std::find(topLevelKeys.begin(), topLevelKeys.end(), key) == topLevelKeys.end()) {
    violations.push_back(quoted + " is not a key of the top-level object");
  }
  const std::string_view value = WrittenValue(text, quoted);
  if (numeric && !IsPlainUnsigned(value)) {
    violations.push_back(quoted +
                         " must be a plain non-negative integer, not quoted, without sign, "
                         "fraction or exponent; found " +
                         Quoted(Shown(value)));
  } else if (!numeric && !IsPlainString(value)) {
    violations.push_back(quoted + " must be a string without escape sequences; found " +
                         Quoted(Shown(value)));
  }
  return true;
}

void CheckPackageUrl(const std::string& key, const std::string& url, std::vector<std::string>& violations) {
  const std::string prefix = Quoted(key) + " " + Quoted(Shown(url));
  std::string host;
  std::string path;
  if (url.compare(0, 8, "https://") != 0) {
    violations.push_back(prefix + " must begin with \"https://\" in lower case");
  } else if (!SplitHttpsUrl(url, host, path)) {
    violations.push_back(prefix +
                         " breaks the download URL rules: a host, no user information, "
                         "no port but 443, no space or backslash");
  } else if (std::string allowed, allowedPath; !ParseAllowedHttpsUrl(url, allowed, allowedPath)) {
    violations.push_back(prefix + ": the host " + Quoted(host) +
                         " is not one of the profile's download hosts");
  }
  if (!IsMsiUrl(url)) violations.push_back(prefix + " must end in \".msi\" (a query may follow)");
}

}  // namespace

std::vector<std::string> PackageMismatches(const std::string& text, const PackageFacts& package) {
  std::vector<std::string> mismatches;
  const InstallerManifest manifest = ParseManifest(text);
  const std::wstring offered = WidenAscii(manifest.productVersion);
  const std::wstring packaged = WidenAscii(package.version);
  // The installed record carries the package's ProductVersion; a manifest that names another
  // version offers an update, or a downgrade, on every run.
  // Each value is compared only where the program can read it; the publishing rules report
  // the others.
  if (!ParseVersion(offered).empty() &&
      (IsNewerVersion(offered, packaged) || IsNewerVersion(packaged, offered))) {
    mismatches.push_back(Quoted(ManifestVersionKey()) + " " + Quoted(Shown(manifest.productVersion)) +
                         " is not the version of " + package.name + ", " + Quoted(package.version));
  }
  if (IsLowerHexDigest(manifest.packageSha256) && manifest.packageSha256 != package.sha256) {
    mismatches.push_back(Quoted(ManifestPackageSha256Key()) + " " + Quoted(Shown(manifest.packageSha256)) +
                         " is not the SHA-256 of " + package.name + ", " + package.sha256 +
                         "; the program would refuse the package");
  }
  if (manifest.exeSize != 0 && manifest.exeSize != package.exeSize) {
    mismatches.push_back(Quoted(kManifestExeSizeKey) + " " + std::to_string(manifest.exeSize) +
                         " is not the size of Velmora.exe in " + package.name + ", " +
                         std::to_string(package.exeSize) +
                         " bytes; every machine with this version would be repaired on every run");
  }
  return mismatches;
}

std::string ManifestText(const std::string& version, const std::string& packageUrl,
                         const std::string& packageSha256, std::uint64_t exeSize,
                         const std::string& expires) {
  std::string text = "{\n  " + Quoted(ManifestVersionKey()) + ": " + Quoted(JsonEscaped(version)) + ",\n  " +
                     Quoted(ManifestPackageUrlKey()) + ": " + Quoted(JsonEscaped(packageUrl)) + ",\n  " +
                     Quoted(ManifestPackageSha256Key()) + ": " + Quoted(JsonEscaped(packageSha256)) +
                     ",\n  " + Quoted(kManifestExeSizeKey) + ": " + std::to_string(exeSize);
  if (!expires.empty()) text += ",\n  " + Quoted(kManifestExpiresKey) + ": " + Quoted(JsonEscaped(expires));
  return text + "\n}\n";
}

std::vector<std::string> PublishingViolations(const std::string& text, std::int64_t now) {
  std::vector<std::string> violations;
  if (text.size() > kManifestMaxBytes) {
    violations.push_back("the manifest is " + std::to_string(text.size()) +
                         " bytes; the program reads at most " + std::to_string(kManifestMaxBytes));
  }
  std::vector<std::string> topLevelKeys;
  std::string syntaxError;
  const bool wellFormed = ReadTopLevelKeys(text, topLevelKeys, &syntaxError);
  if (!wellFormed) violations.push_back("not well-formed JSON: " + syntaxError);

  // The values as the program reads them.
  const InstallerManifest manifest = ParseManifest(text);
  if (CheckKey(text, ManifestVersionKey(), false, wellFormed, topLevelKeys, violations) &&
      ParseVersion(WidenAscii(manifest.productVersion)).empty()) {
    violations.push_back(Quoted(ManifestVersionKey()) + " " + Quoted(Shown(manifest.productVersion)) +
                         " is not a dotted version such as 1.1.7");
  }
  if (CheckKey(text, ManifestPackageUrlKey(), false, wellFormed, topLevelKeys, violations)) {
    CheckPackageUrl(ManifestPackageUrlKey(), manifest.packageUrl, violations);
  }
  if (CheckKey(text, ManifestPackageSha256Key(), false, wellFormed, topLevelKeys, violations)) {
    const std::string digest = ReadJsonString(text, ManifestPackageSha256Key());
    if (!IsLowerHexDigest(digest)) {
      violations.push_back(Quoted(ManifestPackageSha256Key()) + " " + Quoted(Shown(digest)) +
                           " must be the SHA-256 as 64 lower-case hexadecimal digits, "
                           "without prefix");
    }
  }
  CheckKey(text, kManifestExeSizeKey, true, wellFormed, topLevelKeys, violations);
  if (!ProfileManifestSigningKeys().empty() && text.find(Quoted(kManifestExpiresKey)) != std::string::npos) {
    CheckKey(text, kManifestExpiresKey, false, wellFormed, topLevelKeys, violations);
    std::string expires;
    std::string refusal;
    if (!IsManifestUnexpired(text, now, expires, refusal)) {
      violations.push_back("the program would refuse it: " + refusal);
    }
  }
  return violations;
}

}  // namespace velmora
