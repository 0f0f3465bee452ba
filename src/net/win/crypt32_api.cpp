#include "net/win/crypt32_api.h"

#include "base/win/system_library.h"

namespace velmora {
namespace {

Crypt32Api LoadCrypt32Api() {
  Crypt32Api api;
  api.module = LoadSystemLibrary(L"crypt32.dll");
  if (api.module == nullptr) return api;
  ResolveEntryPoint(api.module, "CertGetCertificateChain", api.CertGetCertificateChain);
  ResolveEntryPoint(api.module, "CertFreeCertificateChain", api.CertFreeCertificateChain);
  ResolveEntryPoint(api.module, "CertFreeCertificateContext", api.CertFreeCertificateContext);
  ResolveEntryPoint(api.module, "CryptEncodeObjectEx", api.CryptEncodeObjectEx);
  ResolveEntryPoint(api.module, "CertGetNameStringW", api.CertGetNameStringW);
  api.available = api.CertGetCertificateChain != nullptr && api.CertFreeCertificateChain != nullptr &&
                  api.CertFreeCertificateContext != nullptr && api.CryptEncodeObjectEx != nullptr &&
                  api.CertGetNameStringW != nullptr;
  return api;
}

}  // namespace

const Crypt32Api& GetCrypt32Api() {
  static const Crypt32Api api = LoadCrypt32Api();
  return api;
}

}  // namespace velmora
