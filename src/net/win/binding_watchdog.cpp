#include "net/win/binding_watchdog.h"

#include <chrono>

namespace velmora {
namespace {

// How often the watch looks; an abort comes at most this much later than the limit.
constexpr DWORD kWatchIntervalMilliseconds = 250;

}  // namespace

BindingWatchdog::BindingWatchdog(DWORD stallMilliseconds, std::function<bool()> stopRequested)
    : stallMilliseconds_(stallMilliseconds),
      stopRequested_(std::move(stopRequested)),
      lastBytesAt_(GetTickCount64()),
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

void BindingWatchdog::Watch() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    stop_.wait_for(lock, std::chrono::milliseconds(kWatchIntervalMilliseconds));
    if (stopping_ || aborted_.load()) continue;
    const bool stalled = GetTickCount64() - lastBytesAt_.load() >= stallMilliseconds_;
    if (!stalled && !(stopRequested_ && stopRequested_())) continue;
    // Before the binding has started there is nothing to abort yet; the next look will tell.
    IBinding* const binding = binding_;
    if (binding == nullptr) continue;
    binding->AddRef();
    aborted_ = true;
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

HRESULT BindingWatchdog::OnProgress(ULONG progress, ULONG, ULONG, LPCWSTR) {
  // Status reports without new bytes (redirects, cache notes) do not count as life.
  if (progress != bytesSeen_) {
    bytesSeen_ = progress;
    BytesArrived();
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
