#include "workflow/signed_manifest.h"

#include "base/ascii.h"
#include "profile/vendor_profile.h"
#include "workflow/installer_manifest.h"

namespace velmora {
namespace {

// The number a run of digits spells, or -1 when one of them is not a digit.
int Digits(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (!IsAsciiDigit(text[i])) return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the date, for dates from 1970 on.
std::int64_t DaysSinceEpoch(int year, int month, int day) {
  std::int64_t days = 0;
  for (int y = 1970; y < year; ++y) days += IsLeapYear(y) ? 366 : 365;
  for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
  return days + day - 1;
}

}  // namespace

std::vector<EcdsaP256PublicKey> ProfileManifestSigningKeys() {
  std::vector<EcdsaP256PublicKey> keys;
  for (const std::string& text : ManifestSigningKeys()) {
    // The profile's checks refused it at build time if a named key were not one.
    if (const auto key = ParseEcdsaP256PublicKey(text)) keys.push_back(*key);
  }
  return keys;
}

std::optional<std::int64_t> ParseUtcTimestamp(std::string_view text) {
  if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':' || text[19] != 'Z') {
    return std::nullopt;
  }
  const int year = Digits(text, 0, 4);
  const int month = Digits(text, 5, 2);
  const int day = Digits(text, 8, 2);
  const int hour = Digits(text, 11, 2);
  const int minute = Digits(text, 14, 2);
  const int second = Digits(text, 17, 2);
  if (year < 1970 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour < 0 ||
      hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
    return std::nullopt;
  }
  return ((DaysSinceEpoch(year, month, day) * 24 + hour) * 60 + minute) * 60 + second;
}

bool VerifyManifestSignature(const std::string& text, const std::string& signatureDer,
                             const std::vector<EcdsaP256PublicKey>& keys, const SignatureCheck& check,
                             int& slot, std::string& error) {
  const std::optional<EcdsaP256Signature> signature = ParseDerEcdsaP256Signature(signatureDer);
  if (!signature) {
    error = "Installer manifest signature is malformed (" + std::to_string(signatureDer.size()) +
            " bytes, not a DER ECDSA P-256 signature)";
    return false;
  }
  for (std::size_t i = 0; i < keys.size(); ++i) {
    std::string checkError;
    switch (check(keys[i], text, *signature, &checkError)) {
      case SignatureVerdict::kValid:
        slot = static_cast<int>(i) + 1;
        return true;
      case SignatureVerdict::kInvalid:
        break;
      case SignatureVerdict::kError:
        error = "Installer manifest signature could not be checked: " + checkError;
        return false;
    }
  }
  error = "Installer manifest signature matches no manifest signing key";
  return false;
}

bool IsManifestUnexpired(const std::string& text, std::int64_t now, std::string& expires,
                         std::string& error) {
  expires = ReadJsonString(text, kManifestExpiresKey);
  const std::string quotedKey = std::string("\"") + kManifestExpiresKey + "\"";
  if (expires.empty() && text.find(quotedKey) == std::string::npos) return true;
  // Named but not a time (a number, an empty or broken string): the signer meant a limit.
  const std::optional<std::int64_t> until = ParseUtcTimestamp(expires);
  if (!until) {
    error = "Installer manifest expiry '" + expires + "' is not a UTC time such as 2027-01-31T00:00:00Z";
    return false;
  }
  if (now >= *until) {
    error = "Installer manifest expired at " + expires;
    return false;
  }
  return true;
}

}  // namespace velmora
