// ECDSA P-256 signatures over SHA-256, checked by CNG through the run-time bcrypt table.
#pragma once

#include <string>
#include <string_view>

#include "net/ecdsa_p256.h"

namespace velmora {

// Whether signature (r || s) is key's over the SHA-256 of message. kError, with *error set
// (when error is non-null), when CNG could not make the check: bcrypt not bound from the system
// folder, no P-256 provider, the key refused.
[[nodiscard]] SignatureVerdict VerifyEcdsaP256Sha256(const EcdsaP256PublicKey& key, std::string_view message,
                                                     const EcdsaP256Signature& signature, std::string* error);

}  // namespace velmora
