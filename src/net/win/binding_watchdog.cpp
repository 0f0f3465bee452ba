#include "net/win/binding_watchdog.h"

#include <chrono>
#include <utility>

namespace velmora {
namespace {

// How often the watch looks; an abort comes at most this much later than the limit.
constexpr DWORD kWatchIntervalMilliseconds = 250;

}  // namespace

BindingWatchdog::BindingWatchdog(DWORD stallMilliseconds, std::uint64_t maxBytes,
                                 const MinimumRate& minimumRate, std::function<bool()> stopRequested)
    : stallMilliseconds_(stallMilliseconds),
      maxBytes_(maxBytes),
      stopRequested_(std::move(stopRequested)),
      lastBytesAt_(GetTickCount64()),
      pace_(StartPace(minimumRate, GetTickCount64())),
      watcher_([this] { Watch(); }) {}

BindingWatchdog::~BindingWatchdog() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  stop_.notify_all();
  watcher_.join();
  ReleaseBinding();
}

WatchdogAbort BindingWatchdog::Aborted() const {
  // A body over the limit was refused from OnProgress, which may end the binding before the
  // watch gets to it.
  return tooLarge_.load() ? WatchdogAbort::TooLarge : aborted_.load();
}

// Called with the lock held.
WatchdogAbort BindingWatchdog::Due() {
  const ULONGLONG now = GetTickCount64();
  if (tooLarge_.load()) return WatchdogAbort::TooLarge;
  if (stopRequested_ && stopRequested_()) return WatchdogAbort::Cancelled;
  if (now - lastBytesAt_.load() >= stallMilliseconds_) return WatchdogAbort::Stalled;
  if (IsTooSlow(pace_, now)) return WatchdogAbort::TooSlow;
  return WatchdogAbort::None;
}

void BindingWatchdog::Watch() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    stop_.wait_for(lock, std::chrono::milliseconds(kWatchIntervalMilliseconds));
    if (stopping_ || aborted_.load() != WatchdogAbort::None) continue;
    const WatchdogAbort due = Due();
    if (due == WatchdogAbort::None) continue;
    // Before the binding has started there is nothing to abort yet; the next look will tell.
    IBinding* const binding = binding_;
    if (binding == nullptr) continue;
    binding->AddRef();
    aborted_ = due;
    // Outside the lock: the binding may report its end through OnStopBinding while aborting.
    // The abort ends it with E_ABORT on the thread that waits in URLDownloadToFileW.
    lock.unlock();
    binding->Abort();
    binding->Release();
    lock.lock();
  }
}

void BindingWatchdog::BytesArrived() { lastBytesAt_ = GetTickCount64(); }

void BindingWatchdog::ReleaseBinding() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (binding_ != nullptr) binding_->Release();
  binding_ = nullptr;
}

HRESULT BindingWatchdog::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(riid, __uuidof(IUnknown)) || IsEqualIID(riid, __uuidof(IBindStatusCallback))) {
    *object = static_cast<IBindStatusCallback*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG BindingWatchdog::AddRef() { return ++references_; }

ULONG BindingWatchdog::Release() { return --references_; }

HRESULT BindingWatchdog::OnStartBinding(DWORD, IBinding* binding) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (binding != nullptr) binding->AddRef();
  if (binding_ != nullptr) binding_->Release();
  binding_ = binding;
  return S_OK;
}

HRESULT BindingWatchdog::GetPriority(LONG*) { return E_NOTIMPL; }

HRESULT BindingWatchdog::OnLowResource(DWORD) { return S_OK; }

std::wstring BindingWatchdog::CacheFile() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return cacheFile_;
}

HRESULT BindingWatchdog::OnProgress(ULONG progress, ULONG, ULONG statusCode, LPCWSTR statusText) {
  if (statusCode == BINDSTATUS_CACHEFILENAMEAVAILABLE && statusText != nullptr) {
    const std::lock_guard<std::mutex> lock(mutex_);
    cacheFile_ = statusText;
  }
  // Status reports without new bytes (redirects, cache notes) do not count as life.
  if (progress != bytesSeen_) {
    bytesSeen_ = progress;
    BytesArrived();
    const std::lock_guard<std::mutex> lock(mutex_);
    NotePace(pace_, GetTickCount64(), progress);
  }
  // Ended at once, before more is written; the watch also aborts the binding should the
  // answer not stop it.
  if (progress > maxBytes_) {
    tooLarge_ = true;
    return E_ABORT;
  }
  return S_OK;
}

HRESULT BindingWatchdog::OnStopBinding(HRESULT, LPCWSTR) {
  ReleaseBinding();
  return S_OK;
}

// The binding keeps the system's own settings.
HRESULT BindingWatchdog::GetBindInfo(DWORD*, BINDINFO*) { return E_NOTIMPL; }

HRESULT BindingWatchdog::OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) {
  BytesArrived();
  return S_OK;
}

HRESULT BindingWatchdog::OnObjectAvailable(REFIID, IUnknown*) { return S_OK; }

}  // namespace velmora
