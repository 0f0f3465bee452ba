#include "net/win/server_key_pin.h"

#include <cstring>

#include "base/ascii.h"
#include "base/win/scoped_handle.h"
#include "net/error_text.h"
#include "net/win/bcrypt_api.h"
#include "net/win/certificate_name.h"
#include "net/win/crypt32_api.h"
#include "net/win/sha256_hash.h"
#include "net/wiped_buffer.h"

namespace velmora {
namespace {

constexpr DWORD kCertificateEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

struct CertificateContextTraits {
  using Value = PCCERT_CONTEXT;
  static bool Valid(PCCERT_CONTEXT c) { return c != nullptr; }
  static void Close(PCCERT_CONTEXT c) { GetCrypt32Api().CertFreeCertificateContext(c); }
};

struct ChainContextTraits {
  using Value = PCCERT_CHAIN_CONTEXT;
  static bool Valid(PCCERT_CHAIN_CONTEXT c) { return c != nullptr; }
  static void Close(PCCERT_CHAIN_CONTEXT c) { GetCrypt32Api().CertFreeCertificateChain(c); }
};

using ScopedCertificate = Scoped<CertificateContextTraits>;
using ScopedChain = Scoped<ChainContextTraits>;

bool IsUnconfiguredPin(const char* pin) {
  for (const char* p = pin; *p != '\0'; ++p) {
    if (*p != '0') return false;
  }
  return true;
}

bool MatchesPin(const std::string& hex, const char* pin) {
  if (hex.size() != std::strlen(pin)) return false;
  for (std::size_t i = 0; i < hex.size(); ++i) {
    if (LowerHexLetter(hex[i]) != LowerHexLetter(pin[i])) return false;
  }
  return true;
}

bool ChainCarriesPin(PCCERT_CHAIN_CONTEXT chain, const char* pin) {
  for (DWORD c = 0; c < chain->cChain; ++c) {
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[c];
    if (simple == nullptr) continue;
    for (DWORD e = 0; e < simple->cElement; ++e) {
      const CERT_CHAIN_ELEMENT* element = simple->rgpElement[e];
      if (element == nullptr || element->pCertContext == nullptr) continue;
      std::string hex;
      if (ComputeSpkiSha256Hex(element->pCertContext, &hex) && MatchesPin(hex, pin)) return true;
    }
  }
  return false;
}

// Who presented the chain: a TLS-inspecting proxy or antivirus names itself in the issuer,
// which is what support needs to tell one from an attack.
std::string DescribeMismatch(PCCERT_CONTEXT server) {
  DWORD subjectFormat = CERT_X500_NAME_STR;
  const std::string subject = CertificateName(server, CERT_NAME_RDN_TYPE, 0, &subjectFormat);
  const std::string issuer = CertificateName(server, CERT_NAME_ATTR_TYPE, CERT_NAME_ISSUER_FLAG,
                                             const_cast<char*>(szOID_COMMON_NAME));
  return "SPKI pin mismatch (server certificate " + subject + "; issued by " + issuer + ")";
}

}  // namespace

bool VerifyServerKeyPin(const WinHttpApi& api, HINTERNET request, std::string* error, const char* pin) {
  if (IsUnconfiguredPin(pin)) {
    SetError(error, "SPKI pin is not configured");
    return false;
  }
  // Checked before the certificate is asked for: releasing it needs crypt32 too.
  if (!GetBcryptApi().available) {
    SetError(error, "bcrypt is unavailable");
    return false;
  }
  const Crypt32Api& crypt32 = GetCrypt32Api();
  if (!crypt32.available) {
    SetError(error, "crypt32 is unavailable");
    return false;
  }
  PCCERT_CONTEXT raw = nullptr;
  DWORD size = sizeof raw;
  if (!api.WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &raw, &size) || raw == nullptr) {
    SetError(error, "Server certificate context unavailable");
    return false;
  }
  const ScopedCertificate server(raw);
  CERT_CHAIN_PARA parameters = {};
  parameters.cbSize = sizeof parameters;
  PCCERT_CHAIN_CONTEXT rawChain = nullptr;
  bool matched = false;
  // The certificates the server sent travel in the context's own store. The chain engine
  // does not search that store by itself under Wine (the chain is then the leaf alone), so it is
  // passed as the additional store; it only offers issuers, the chain still links by name.
  if (crypt32.CertGetCertificateChain(nullptr, server.Get(), nullptr, server.Get()->hCertStore, &parameters,
                                      0, nullptr, &rawChain) &&
      rawChain != nullptr) {
    const ScopedChain chain(rawChain);
    matched = ChainCarriesPin(chain.Get(), pin);
  }
  if (!matched) SetError(error, DescribeMismatch(server.Get()));
  return matched;
}

bool ComputeSpkiSha256Hex(PCCERT_CONTEXT certificate, std::string* hexOut) {
  if (certificate == nullptr || certificate->pCertInfo == nullptr || hexOut == nullptr) return false;
  const Crypt32Api& crypt32 = GetCrypt32Api();
  if (!crypt32.available) return false;
  const CERT_PUBLIC_KEY_INFO* keyInfo = &certificate->pCertInfo->SubjectPublicKeyInfo;
  DWORD size = 0;
  if (!crypt32.CryptEncodeObjectEx(kCertificateEncoding, X509_PUBLIC_KEY_INFO, keyInfo, 0, nullptr, nullptr,
                                   &size) ||
      size == 0) {
    return false;
  }
  WipedBuffer der(size);
  if (!crypt32.CryptEncodeObjectEx(kCertificateEncoding, X509_PUBLIC_KEY_INFO, keyInfo, 0, nullptr,
                                   der.Data(), &size)) {
    return false;
  }
  der.Truncate(size);
  Sha256Hash hash;
  std::string hex;
  if (!hash.Update(der.Data(), der.Size()) || !hash.FinishHex(hex)) return false;
  *hexOut = hex;
  return true;
}

}  // namespace velmora
