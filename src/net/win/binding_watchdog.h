// A status callback for one urlmon binding that aborts the binding when no bytes have arrived
// for a set time, when more bytes than allowed have arrived, when they arrive slower than the
// minimum rate, or when a stop is requested (the user cancelled). The system downloader has
// none of these limits of its own: against a server that stops sending mid-body, or a
// connection reset that urlmon misses, it would wait for many minutes while the setup window
// cannot be closed, and an endless body would fill the drive.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "net/transfer_limits.h"

namespace velmora {

// Why the watch ended a binding.
enum class WatchdogAbort { None, Stalled, Cancelled, TooLarge, TooSlow };

class BindingWatchdog final : public IBindStatusCallback {
 public:
  // The watch starts at construction: the time to the first byte counts too.
  BindingWatchdog(DWORD stallMilliseconds, std::uint64_t maxBytes, const MinimumRate& minimumRate,
                  std::function<bool()> stopRequested);
  BindingWatchdog(const BindingWatchdog&) = delete;
  BindingWatchdog& operator=(const BindingWatchdog&) = delete;
  // Stops the watch and lets go of the binding.
  ~BindingWatchdog();

  // None unless the binding was ended for one of the limits.
  [[nodiscard]] WatchdogAbort Aborted() const;
  // Where urlmon said it keeps its cached copy of the body; empty when it said nothing.
  [[nodiscard]] std::wstring CacheFile();

  // IUnknown. The object's lifetime is its owner's; the count only answers urlmon.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IBindStatusCallback
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD reserved, IBinding* binding) override;
  HRESULT STDMETHODCALLTYPE GetPriority(LONG* priority) override;
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD reserved) override;
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                       LPCWSTR statusText) override;
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR error) override;
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* bindFlags, BINDINFO* bindInfo) override;
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format,
                                            STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID riid, IUnknown* object) override;

 private:
  void BytesArrived();
  void ReleaseBinding();
  void Watch();
  [[nodiscard]] WatchdogAbort Due();

  const DWORD stallMilliseconds_;
  const std::uint64_t maxBytes_;
  const std::function<bool()> stopRequested_;  // asked from the watch's thread
  std::atomic<ULONG> references_{1};
  std::atomic<ULONGLONG> lastBytesAt_;
  std::atomic<WatchdogAbort> aborted_{WatchdogAbort::None};
  std::atomic<bool> tooLarge_{false};
  ULONG bytesSeen_ = 0;  // only on the binding's thread
  std::mutex mutex_;     // guards pace_, cacheFile_, binding_ and stopping_
  TransferPace pace_;
  std::wstring cacheFile_;
  std::condition_variable stop_;
  IBinding* binding_ = nullptr;
  bool stopping_ = false;
  std::thread watcher_;
};

}  // namespace velmora
