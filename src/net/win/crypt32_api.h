// crypt32 bound at run time from the system folder: the certificate calls of the key pin and
// the names it reports when the pin fails, and of the package publisher check.
#pragma once

#include <windows.h>
#include <wincrypt.h>

namespace velmora {

struct Crypt32Api {
  HMODULE module = nullptr;
  decltype(&::CertGetCertificateChain) CertGetCertificateChain = nullptr;
  decltype(&::CertFreeCertificateChain) CertFreeCertificateChain = nullptr;
  decltype(&::CertFreeCertificateContext) CertFreeCertificateContext = nullptr;
  decltype(&::CryptEncodeObjectEx) CryptEncodeObjectEx = nullptr;
  decltype(&::CertGetNameStringW) CertGetNameStringW = nullptr;
  bool available = false;  // the module and every entry point are present
};

// The process-wide table, built on the first call (thread-safe) and kept for the process's
// life; a failed load is not retried.
const Crypt32Api& GetCrypt32Api();

}  // namespace velmora
