// Owners for the platform's handles. Both null and INVALID_HANDLE_VALUE count as empty, and
// closing keeps the thread's last error, so a failure's code survives the cleanup of its path.
#pragma once

#include <windows.h>

#include <utility>

namespace velmora {

template <typename Traits>
class Scoped {
 public:
  using Value = typename Traits::Value;
  Scoped() = default;
  explicit Scoped(Value value) : value_(value) {}
  Scoped(const Scoped&) = delete;
  Scoped& operator=(const Scoped&) = delete;
  Scoped(Scoped&& other) noexcept : value_(std::exchange(other.value_, Value{})) {}
  Scoped& operator=(Scoped&& other) noexcept {
    if (this != &other) {
      Close();
      value_ = std::exchange(other.value_, Value{});
    }
    return *this;
  }
  ~Scoped() { Close(); }

  [[nodiscard]] bool Valid() const { return Traits::Valid(value_); }
  explicit operator bool() const { return Valid(); }
  [[nodiscard]] Value Get() const { return value_; }
  [[nodiscard]] Value Release() { return std::exchange(value_, Value{}); }

  void Close() {
    if (Valid()) {
      const DWORD lastError = GetLastError();
      Traits::Close(value_);
      SetLastError(lastError);
    }
    value_ = Value{};
  }

 private:
  Value value_{};
};

struct KernelHandleTraits {
  using Value = HANDLE;
  [[nodiscard]] static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};

struct RegistryKeyTraits {
  using Value = HKEY;
  [[nodiscard]] static bool Valid(HKEY h) { return h != nullptr; }
  static void Close(HKEY h) { RegCloseKey(h); }
};

struct LibraryTraits {
  using Value = HMODULE;
  [[nodiscard]] static bool Valid(HMODULE h) { return h != nullptr; }
  static void Close(HMODULE h) { FreeLibrary(h); }
};

struct FindTraits {
  using Value = HANDLE;
  [[nodiscard]] static bool Valid(HANDLE search) { return search != nullptr && search != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE search) { FindClose(search); }
};

// Memory the system allocated for the caller with LocalAlloc (security descriptors and the like).
struct LocalMemoryTraits {
  using Value = HLOCAL;
  [[nodiscard]] static bool Valid(HLOCAL memory) { return memory != nullptr; }
  static void Close(HLOCAL memory) { LocalFree(memory); }
};

using ScopedHandle = Scoped<KernelHandleTraits>;
using ScopedRegistryKey = Scoped<RegistryKeyTraits>;
using ScopedLibrary = Scoped<LibraryTraits>;
using ScopedFind = Scoped<FindTraits>;
using ScopedLocalMemory = Scoped<LocalMemoryTraits>;

}  // namespace velmora
