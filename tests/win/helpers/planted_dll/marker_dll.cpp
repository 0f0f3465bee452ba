// Stands in for a system library planted beside a program by an ordinary user. Loading it leaves
// an empty file beside it, named after it with ".loaded" appended, so a test sees that it was
// loaded. It exports one crypt32 name, so that a program importing it can start with it.
// Lean, so that windows.h does not declare crypt32's own CertFreeCertificateContext.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH + 8] = {};
  const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  lstrcatW(path, L".loaded");
  const HANDLE marker =
      CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
  return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI CertFreeCertificateContext(const void*) { return TRUE; }
