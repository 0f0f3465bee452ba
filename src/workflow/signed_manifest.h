// The signed manifest. Where the profile names manifest signing keys, a downloaded manifest
// counts only with a detached signature by one of them over its exact bytes (DER ECDSA P-256
// over SHA-256, as `openssl dgst -sha256 -sign` writes it, published at the manifest's URL plus
// ".sig"), and only until the time its optional "expires" key names. Without keys neither is
// looked at: the "expires" key is then one more key that the reader passes over.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/ecdsa_p256.h"

namespace velmora {

constexpr char kManifestSignatureSuffix[] = ".sig";
// A DER P-256 signature is at most 72 bytes; the limit only keeps a host from filling the disk.
constexpr std::uint64_t kManifestSignatureMaxBytes = 4096;
constexpr char kManifestExpiresKey[] = "expires";

// The platform's check of one signature with one key over a text's SHA-256.
using SignatureCheck =
    std::function<SignatureVerdict(const EcdsaP256PublicKey& key, const std::string& text,
                                   const EcdsaP256Signature& signature, std::string* error)>;

// The profile's keys, in slot order; empty when it names none.
std::vector<EcdsaP256PublicKey> ProfileManifestSigningKeys();

// "YYYY-MM-DDThh:mm:ssZ" (UTC) as seconds since 1970-01-01T00:00:00Z; nothing for any other
// form, a date that does not exist or a year before 1970.
[[nodiscard]] std::optional<std::int64_t> ParseUtcTimestamp(std::string_view text);

// True when signatureDer is one key's signature over text; slot is then that key's number,
// counted from 1. False with the reason otherwise: a malformed signature, one that matches no
// key, or a check that could not be made.
[[nodiscard]] bool VerifyManifestSignature(const std::string& text, const std::string& signatureDer,
                                           const std::vector<EcdsaP256PublicKey>& keys,
                                           const SignatureCheck& check, int& slot, std::string& error);

// True when the text has no "expires" key or names a time after now (seconds since 1970, UTC);
// expires is then its value, or empty. False with the reason for a past or unreadable time.
[[nodiscard]] bool IsManifestUnexpired(const std::string& text, std::int64_t now, std::string& expires,
                                       std::string& error);

}  // namespace velmora
