#include "net/win/file_integrity.h"

#include <windows.h>

#include <cstring>

#include "base/win/scoped_handle.h"
#include "net/win/sha256_hash.h"
#include "net/wiped_buffer.h"

namespace velmora {
namespace {

constexpr unsigned char kCompoundFileSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr DWORD kHashReadBytes = 65536;

// Other processes may go on reading and writing the file while it is checked; what keeps the
// checked bytes the installed ones is the worker's lock on the package, held from before these
// checks until msiexec is done.
ScopedHandle OpenForReading(const std::wstring& path) {
  return ScopedHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

}  // namespace

bool IsMsiPackage(const std::wstring& path) {
  const ScopedHandle file = OpenForReading(path);
  if (!file) return false;
  unsigned char head[sizeof kCompoundFileSignature] = {};
  DWORD read = 0;
  if (!ReadFile(file.Get(), head, sizeof head, &read, nullptr) || read != sizeof head) return false;
  return std::memcmp(head, kCompoundFileSignature, sizeof head) == 0;
}

bool ComputeFileSha256Hex(const std::wstring& path, std::string* hexOut) {
  if (hexOut == nullptr) return false;
  const ScopedHandle file = OpenForReading(path);
  if (!file) return false;
  WipedBuffer buffer(kHashReadBytes);
  Sha256Hash hash;
  if (!hash.Valid()) return false;
  for (;;) {
    DWORD read = 0;
    // A failed read means the file was not read whole: no digest rather than a partial one.
    if (!ReadFile(file.Get(), buffer.Data(), kHashReadBytes, &read, nullptr)) return false;
    if (read == 0) break;
    if (!hash.Update(buffer.Data(), read)) return false;
    if (read < kHashReadBytes) break;
  }
  std::string hex;
  if (!hash.FinishHex(hex)) return false;
  *hexOut = hex;
  return true;
}

}  // namespace velmora
