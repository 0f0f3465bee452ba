// Tries, from a process of its own, what an ordinary user's program would do to a file that
// the setup has checked: write to it, rename it and delete it. The exit code has a bit for
// each attempt that was not refused with a sharing violation: 1 write, 2 rename, 4 delete.
#include <windows.h>

#include <string>

namespace {

int RefusedBit(bool succeeded, int bit) {
  return !succeeded && GetLastError() == ERROR_SHARING_VIOLATION ? 0 : bit;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 255;
  const std::wstring path = argv[1];
  const HANDLE writer =
      CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  int result = RefusedBit(writer != INVALID_HANDLE_VALUE, 1);
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  result |= RefusedBit(MoveFileExW(path.c_str(), (path + L".moved").c_str(), 0) != FALSE, 2);
  result |= RefusedBit(DeleteFileW(path.c_str()) != FALSE, 4);
  return result;
}
