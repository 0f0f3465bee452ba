// Imports crypt32 statically, as the setup program once did, so that a test can show what a
// static import does when a crypt32.dll has been planted beside the program. Exits with 0.
#include <windows.h>
#include <wincrypt.h>

int wmain() { return CertFreeCertificateContext(nullptr) ? 0 : 1; }
