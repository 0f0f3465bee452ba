// A certificate's names as the log and the messages show them.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <string>

namespace velmora {

// One of the certificate's names (CertGetNameStringW's type, flags and type parameter), as
// printable ASCII: the text goes into the log and into messages that are narrow ASCII, so
// anything else becomes '?'. Empty when crypt32 is not bound or the certificate has no such
// name.
[[nodiscard]] std::string CertificateName(PCCERT_CONTEXT certificate, DWORD type, DWORD flags,
                                          void* typeParameter);

}  // namespace velmora
