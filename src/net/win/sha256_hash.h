// SHA-256 through CNG, for the key pin and the package digest. Owns the provider and the hash
// object and releases them in that pairing's order (hash first) on every path. When bcrypt
// could not be bound from the system folder the hash is not Valid() and every step fails.
#pragma once

#include <windows.h>
#include <bcrypt.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/win/bcrypt_api.h"

namespace velmora {

class Sha256Hash {
 public:
  Sha256Hash();  // opens "SHA256" (default implementation) and creates the hash; see Valid()
  Sha256Hash(const Sha256Hash&) = delete;
  Sha256Hash& operator=(const Sha256Hash&) = delete;

  [[nodiscard]] bool Valid() const { return hash_.Valid(); }
  [[nodiscard]] bool Update(const unsigned char* bytes, std::size_t count);
  // The 32-byte digest; false when finishing fails.
  [[nodiscard]] bool Finish(std::array<std::uint8_t, 32>& digest);
  // The same as 64 lower-case hex digits.
  [[nodiscard]] bool FinishHex(std::string& hex);

 private:
  const BcryptApi& api_;
  // Declared provider first, so the hash is destroyed before its provider is closed.
  ScopedBcryptProvider provider_;
  ScopedBcryptHash hash_;
};

}  // namespace velmora
