// Owners for the platform's handles. Both null and INVALID_HANDLE_VALUE count as empty, and
// closing keeps the thread's last error, so a failure's code survives the cleanup of its path.
// Traits are usually empty; a handle that must be closed through something else (the run-time
// table it came from, the DC a selection was made in) carries that in its traits object, which
// the owner holds and moves with the handle.
#pragma once

#include <windows.h>

#include <utility>

namespace velmora {

template <typename Traits>
class Scoped {
 public:
  using Value = typename Traits::Value;
  Scoped() = default;
  explicit Scoped(Value value, Traits traits = Traits{}) : traits_(traits), value_(value) {}
  Scoped(const Scoped&) = delete;
  Scoped& operator=(const Scoped&) = delete;
  Scoped(Scoped&& other) noexcept : traits_(other.traits_), value_(std::exchange(other.value_, Value{})) {}
  Scoped& operator=(Scoped&& other) noexcept {
    if (this != &other) {
      Close();
      traits_ = other.traits_;
      value_ = std::exchange(other.value_, Value{});
    }
    return *this;
  }
  ~Scoped() { Close(); }

  [[nodiscard]] bool Valid() const { return traits_.Valid(value_); }
  explicit operator bool() const { return Valid(); }
  [[nodiscard]] Value Get() const { return value_; }
  [[nodiscard]] Value Release() { return std::exchange(value_, Value{}); }

  void Close() {
    if (Valid()) {
      const DWORD lastError = GetLastError();
      traits_.Close(value_);
      SetLastError(lastError);
    }
    value_ = Value{};
  }

 private:
  [[no_unique_address]] Traits traits_{};
  Value value_{};
};

struct KernelHandleTraits {
  using Value = HANDLE;
  [[nodiscard]] static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};

// A handle that only null leaves empty, closed by one call.
template <typename Handle, auto CloseCall>
struct NullEmptyTraits {
  using Value = Handle;
  [[nodiscard]] static bool Valid(Handle handle) { return handle != nullptr; }
  static void Close(Handle handle) { CloseCall(handle); }
};

struct FindTraits {
  using Value = HANDLE;
  [[nodiscard]] static bool Valid(HANDLE search) {
    return search != nullptr && search != INVALID_HANDLE_VALUE;
  }
  static void Close(HANDLE search) { FindClose(search); }
};

using ScopedHandle = Scoped<KernelHandleTraits>;
using ScopedRegistryKey = Scoped<NullEmptyTraits<HKEY, RegCloseKey>>;
using ScopedLibrary = Scoped<NullEmptyTraits<HMODULE, FreeLibrary>>;
using ScopedFind = Scoped<FindTraits>;
// Memory the system allocated for the caller with LocalAlloc (security descriptors and the like).
using ScopedLocalMemory = Scoped<NullEmptyTraits<HLOCAL, LocalFree>>;

// A handle from a table of calls bound at run time closes through that table: the traits
// point at it and hand it to `CloseThrough` with the handle.
template <typename Table, typename Handle, void (*CloseThrough)(const Table&, Handle)>
struct TableHandleTraits {
  using Value = Handle;
  const Table* table = nullptr;
  [[nodiscard]] static bool Valid(Handle handle) { return handle != nullptr; }
  void Close(Handle handle) const { CloseThrough(*table, handle); }
};

// Both handles CreateProcess* hands back, closed thread first, then process. The process id
// stays readable after Close.
class ScopedProcessInformation {
 public:
  ScopedProcessInformation() = default;
  explicit ScopedProcessInformation(const PROCESS_INFORMATION& info)
      : process_(info.hProcess), thread_(info.hThread), processId_(info.dwProcessId) {}
  ScopedProcessInformation(ScopedProcessInformation&&) noexcept = default;
  ScopedProcessInformation& operator=(ScopedProcessInformation&& other) noexcept {
    if (this != &other) {
      Close();
      process_ = std::move(other.process_);
      thread_ = std::move(other.thread_);
      processId_ = other.processId_;
    }
    return *this;
  }
  ~ScopedProcessInformation() { Close(); }

  [[nodiscard]] bool Valid() const { return process_.Valid(); }
  explicit operator bool() const { return Valid(); }
  [[nodiscard]] HANDLE Process() const { return process_.Get(); }
  [[nodiscard]] HANDLE Thread() const { return thread_.Get(); }
  [[nodiscard]] DWORD ProcessId() const { return processId_; }
  void Close() {
    thread_.Close();
    process_.Close();
  }

 private:
  ScopedHandle process_;
  ScopedHandle thread_;
  DWORD processId_ = 0;
};

}  // namespace velmora
