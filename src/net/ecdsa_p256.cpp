#include "net/ecdsa_p256.h"

namespace velmora {
namespace {

constexpr std::uint8_t kSequenceTag = 0x30;
constexpr std::uint8_t kIntegerTag = 0x02;
constexpr std::size_t kNumberBytes = 32;

// One INTEGER at der[at], right-aligned into out; at moves past it.
bool ReadPositiveInteger(std::string_view der, std::size_t& at, std::uint8_t* out) {
  if (der.size() - at < 2 || static_cast<std::uint8_t>(der[at]) != kIntegerTag) return false;
  std::size_t length = static_cast<std::uint8_t>(der[at + 1]);
  at += 2;
  if (length == 0 || length > kNumberBytes + 1 || der.size() - at < length) return false;
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(der[at + i]); };
  if ((byte(0) & 0x80) != 0) return false;  // negative
  std::size_t skip = 0;
  if (byte(0) == 0) {
    // A leading zero only where the next byte would read as a sign.
    if (length == 1 || (byte(1) & 0x80) == 0) return false;
    skip = 1;
  }
  if (length - skip > kNumberBytes) return false;
  for (std::size_t i = skip; i < length; ++i) out[kNumberBytes - (length - i)] = byte(i);
  at += length;
  return true;
}

}  // namespace

std::optional<EcdsaP256Signature> ParseDerEcdsaP256Signature(std::string_view der) {
  if (der.size() < 2 || static_cast<std::uint8_t>(der[0]) != kSequenceTag) return std::nullopt;
  const std::size_t length = static_cast<std::uint8_t>(der[1]);
  if (length >= 0x80 || length != der.size() - 2) return std::nullopt;
  EcdsaP256Signature signature{};
  std::size_t at = 2;
  if (!ReadPositiveInteger(der, at, signature.data()) ||
      !ReadPositiveInteger(der, at, signature.data() + kNumberBytes) || at != der.size()) {
    return std::nullopt;
  }
  return signature;
}

}  // namespace velmora
