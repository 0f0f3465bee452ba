// ECDSA P-256 in the forms it is published and written in: a public key as the base64 of its
// SubjectPublicKeyInfo (the body of a PEM "PUBLIC KEY"), a signature as the DER
// ECDSA-Sig-Value that `openssl dgst -sha256 -sign` writes. CNG takes both as raw numbers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/base64.h"

namespace velmora {

// What a signature check can end in: kError when the check itself could not be made.
enum class SignatureVerdict { kValid, kInvalid, kError };

// The curve point X || Y, 32 bytes each, big-endian.
using EcdsaP256PublicKey = std::array<std::uint8_t, 64>;
// r || s, 32 bytes each, big-endian.
using EcdsaP256Signature = std::array<std::uint8_t, 64>;

// SEQUENCE { SEQUENCE { id-ecPublicKey, prime256v1 }, BIT STRING (0 unused bits) } and the
// uncompressed-point marker 04: every P-256 key's SubjectPublicKeyInfo begins so.
inline constexpr std::array<std::uint8_t, 27> kP256SpkiPrefix = {
    0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x02, 0x01, 0x06,
    0x08, 0x2a, 0x86, 0x48, 0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};

// The point of a P-256 public key given as base64 SubjectPublicKeyInfo, or nothing when the
// text is not one (another curve or algorithm, a compressed point, bad base64, extra bytes).
constexpr std::optional<EcdsaP256PublicKey> ParseEcdsaP256PublicKey(std::string_view base64) {
  std::array<std::uint8_t, kP256SpkiPrefix.size() + 64> der{};
  if (DecodeBase64(base64, der.data(), der.size()) != der.size()) return std::nullopt;
  for (std::size_t i = 0; i < kP256SpkiPrefix.size(); ++i) {
    if (der[i] != kP256SpkiPrefix[i]) return std::nullopt;
  }
  EcdsaP256PublicKey point{};
  for (std::size_t i = 0; i < point.size(); ++i) point[i] = der[kP256SpkiPrefix.size() + i];
  return point;
}

// r || s of a DER ECDSA-Sig-Value, or nothing unless the bytes are exactly one in strict DER:
// SEQUENCE { INTEGER r, INTEGER s }, short lengths, each integer positive, minimally encoded
// and at most 32 bytes long, nothing after it.
std::optional<EcdsaP256Signature> ParseDerEcdsaP256Signature(std::string_view der);

}  // namespace velmora
