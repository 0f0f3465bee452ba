// Server key pinning: as soon as a response has arrived, before its status or any header or
// body byte is read, some certificate of the server's chain must carry the key whose
// SubjectPublicKeyInfo SHA-256 is pinned. The normal certificate validation of the HTTPS stack
// stays in force; this is an extra condition.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "profile/vendor_profile.h"
#include "net/win/winhttp_api.h"

namespace velmora {

// Checks the chain of request (after WinHttpReceiveResponse) against pin: 64 hex digits in
// either case, all zeros meaning that no pin is configured. Tests pass other pins; the program
// uses the profile's. On false, *error (when error is non-null) holds the reason, also when
// crypt32 or bcrypt could not be bound from the system folder. A mismatch names the presented
// certificate's subject and its issuer's common name.
[[nodiscard]] bool VerifyServerKeyPin(const WinHttpApi& api, HINTERNET request, std::string* error,
                                      const char* pin = ServerKeyPin());

// 64 lower-case hex digits of the SHA-256 of the certificate's DER SubjectPublicKeyInfo.
// False (hexOut unchanged) without a certificate or output, or when encoding or hashing fails.
[[nodiscard]] bool ComputeSpkiSha256Hex(PCCERT_CONTEXT certificate, std::string* hexOut);

}  // namespace velmora
