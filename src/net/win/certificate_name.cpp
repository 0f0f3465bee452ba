#include "net/win/certificate_name.h"

#include "net/win/crypt32_api.h"

namespace velmora {

std::string CertificateName(PCCERT_CONTEXT certificate, DWORD type, DWORD flags, void* typeParameter) {
  const Crypt32Api& crypt32 = GetCrypt32Api();
  if (!crypt32.available) return {};
  wchar_t name[256] = {};
  crypt32.CertGetNameStringW(certificate, type, flags, typeParameter, name, 256);
  std::string printable;
  for (const wchar_t* c = name; *c != L'\0'; ++c) {
    printable.push_back(*c >= 0x20 && *c < 0x7F ? static_cast<char>(*c) : '?');
  }
  return printable;
}

}  // namespace velmora
