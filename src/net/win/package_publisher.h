// The package's publisher. The download host is not trusted to say what the vendor published:
// whoever holds it can serve any package with its matching digest. Where the profile names the
// publisher's code-signing keys, a package installs only if Windows accepts its Authenticode
// signature (WinVerifyTrust) and the certificate that made it carries one of those keys.
#pragma once

#include <string>
#include <vector>

namespace velmora {

// True when WinVerifyTrust accepts the file's signature and its signer's key, as the SHA-256 of
// the certificate's DER SubjectPublicKeyInfo in lower-case hex, is one of keys. *signer (when
// non-null) then holds the signer's name (printable ASCII) and key. On false, *error (when
// non-null) says why: no signature, Windows' refusal with its code, another signer's key, or wintrust or
// crypt32 not bound from the system folder.
[[nodiscard]] bool VerifyPackagePublisher(const std::wstring& path, const std::vector<std::string>& keys,
                                          std::string* signer, std::string* error);

}  // namespace velmora
