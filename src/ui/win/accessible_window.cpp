#include "ui/win/accessible_window.h"

#include <oleacc.h>

#include <atomic>
#include <string>
#include <vector>

#include "base/setup_state.h"
#include "base/win/system_library.h"
#include "ui/accessible_content.h"
#include "ui/screen_layout.h"
#include "ui/setup_window_state.h"
#include "ui/win/window_dpi.h"
#include "base/user_texts.h"

namespace velmora {
namespace {

// oleacc for the object's hand-over, oleaut32 for the texts a reader frees with SysFreeString.
struct OleaccApi {
  LRESULT(WINAPI* lresultFromObject)(REFIID, WPARAM, LPUNKNOWN) = nullptr;
  HRESULT(WINAPI* accessibleObjectFromWindow)(HWND, DWORD, REFIID, void**) = nullptr;
  BSTR(WINAPI* sysAllocStringLen)(const OLECHAR*, UINT) = nullptr;
};

// Loaded on the first request and kept for the process's life: the objects it marshals may be
// in use by a reader until the process ends.
const OleaccApi& Oleacc() {
  static const OleaccApi api = [] {
    OleaccApi found;
    if (const HMODULE oleacc = LoadSystemLibrary(L"oleacc.dll")) {
      ResolveEntryPoint(oleacc, "LresultFromObject", found.lresultFromObject);
      ResolveEntryPoint(oleacc, "AccessibleObjectFromWindow", found.accessibleObjectFromWindow);
    }
    if (const HMODULE oleaut32 = LoadSystemLibrary(L"oleaut32.dll")) {
      ResolveEntryPoint(oleaut32, "SysAllocStringLen", found.sysAllocStringLen);
    }
    if (found.sysAllocStringLen == nullptr) found.lresultFromObject = nullptr;  // no object without texts
    return found;
  }();
  return api;
}

void Empty(VARIANT* variant) { variant->vt = VT_EMPTY; }

struct Snapshot {
  std::vector<AccessibleElement> elements;
  float scale = 1.0f;
};

// The elements as they are at this moment, with the scale to the window's pixels.
Snapshot Take(HWND window) {
  RECT client = {};
  GetClientRect(window, &client);
  Snapshot snapshot;
  snapshot.scale = WindowScale(window);
  snapshot.elements = AccessibleElements(WindowState, static_cast<float>(client.right) / snapshot.scale,
                                         static_cast<float>(client.bottom) / snapshot.scale, CopyStatusText(),
                                         ProgressPercent);
  return snapshot;
}

long RoleOf(AccessibleRole role) {
  switch (role) {
    case AccessibleRole::ProgressBar:
      return ROLE_SYSTEM_PROGRESSBAR;
    case AccessibleRole::CheckBox:
      return ROLE_SYSTEM_CHECKBUTTON;
    case AccessibleRole::PushButton:
      return ROLE_SYSTEM_PUSHBUTTON;
    case AccessibleRole::StaticText:
      break;
  }
  return ROLE_SYSTEM_STATICTEXT;
}

long StateOf(const AccessibleElement& element) {
  long state = element.role == AccessibleRole::StaticText || element.role == AccessibleRole::ProgressBar
                   ? STATE_SYSTEM_READONLY
                   : STATE_SYSTEM_FOCUSABLE;
  if (element.checked) state |= STATE_SYSTEM_CHECKED;
  if (element.focused && WindowState.finishScreenShown) state |= STATE_SYSTEM_FOCUSED;
  if (element.isDefault) state |= STATE_SYSTEM_DEFAULT;
  if (WindowState.finishing && element.target != FinishTarget::NoTarget) state |= STATE_SYSTEM_UNAVAILABLE;
  return state;
}

HRESULT ReturnText(const std::wstring& text, BSTR* out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = nullptr;
  if (text.empty()) return S_FALSE;
  *out = Oleacc().sysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

// The client object of one window. It holds only the window handle: every answer is taken
// from the window's state when asked, on the window's thread, where COM delivers the calls.
class SetupWindowAccessible final : public IAccessible {
 public:
  explicit SetupWindowAccessible(HWND window) : window_(window) {}

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, IID_IAccessible)) {
      *object = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IDispatch: readers use the interface's own methods; there is no type library.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_INVALIDARG;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (parent == nullptr) return E_INVALIDARG;
    *parent = nullptr;
    const auto fromWindow = Oleacc().accessibleObjectFromWindow;
    if (fromWindow == nullptr) return S_FALSE;
    return fromWindow(window_, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                      reinterpret_cast<void**>(parent));
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    if (count == nullptr) return E_INVALIDARG;
    *count = static_cast<long>(Take(window_).elements.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    if (object == nullptr) return E_INVALIDARG;
    *object = nullptr;
    return Element(child) != nullptr ? S_FALSE : E_INVALIDARG;  // simple elements, no objects of their own
  }
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (IsSelf(child)) return ReturnText(texts::kSetupCaption, name);
    const AccessibleElement* element = Element(child);
    return element != nullptr ? ReturnText(element->name, name) : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    if (IsSelf(child)) return ReturnText({}, value);
    const AccessibleElement* element = Element(child);
    return element != nullptr ? ReturnText(element->value, value) : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return NoText(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (role == nullptr) return E_INVALIDARG;
    Empty(role);
    const AccessibleElement* element = IsSelf(child) ? nullptr : Element(child);
    if (!IsSelf(child) && element == nullptr) return E_INVALIDARG;
    role->vt = VT_I4;
    role->lVal = element != nullptr ? RoleOf(element->role) : ROLE_SYSTEM_CLIENT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (state == nullptr) return E_INVALIDARG;
    Empty(state);
    const AccessibleElement* element = IsSelf(child) ? nullptr : Element(child);
    if (!IsSelf(child) && element == nullptr) return E_INVALIDARG;
    state->vt = VT_I4;
    state->lVal =
        element != nullptr ? StateOf(*element) : (GetFocus() == window_ ? STATE_SYSTEM_FOCUSABLE : 0);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override { return NoText(child, text); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
    if (file != nullptr) *file = nullptr;
    if (topic != nullptr) *topic = 0;
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* text) override {
    return NoText(child, text);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (focus == nullptr) return E_INVALIDARG;
    Empty(focus);
    if (GetFocus() != window_) return S_FALSE;
    const Snapshot snapshot = Take(window_);
    const long id = WindowState.finishScreenShown ? ChildIdOf(snapshot.elements, WindowState.focus) : 0;
    focus->vt = VT_I4;
    focus->lVal = id != 0 ? id : CHILDID_SELF;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (selection == nullptr) return E_INVALIDARG;
    Empty(selection);
    return S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    if (IsSelf(child)) return ReturnText({}, action);
    const AccessibleElement* element = Element(child);
    return element != nullptr ? ReturnText(element->defaultAction, action) : E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
    const AccessibleElement* element = Element(child);
    if (element == nullptr || element->target == FinishTarget::NoTarget || (flags & SELFLAG_TAKEFOCUS) == 0) {
      return E_INVALIDARG;
    }
    WindowState.focus = element->target;
    InvalidateRect(window_, nullptr, FALSE);
    AnnounceFocusChanged(window_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                        VARIANT child) override {
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_INVALIDARG;
    const Snapshot snapshot = Take(window_);
    RECT area = {};
    if (IsSelf(child)) {
      GetClientRect(window_, &area);
    } else {
      const AccessibleElement* element = Element(child, snapshot);
      if (element == nullptr) return E_INVALIDARG;
      const TargetRect r = ScaleRect(element->rect, snapshot.scale);
      area = {static_cast<LONG>(r.x), static_cast<LONG>(r.y), static_cast<LONG>(r.x + r.width + 0.5f),
              static_cast<LONG>(r.y + r.height + 0.5f)};
    }
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&area), 2);
    *left = area.left;
    *top = area.top;
    *width = area.right - area.left;
    *height = area.bottom - area.top;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    if (end == nullptr) return E_INVALIDARG;
    Empty(end);
    const long count = static_cast<long>(Take(window_).elements.size());
    long next = 0;
    const long from = IsSelf(start) ? 0 : start.lVal;
    switch (direction) {
      case NAVDIR_FIRSTCHILD:
        next = IsSelf(start) ? 1 : 0;
        break;
      case NAVDIR_LASTCHILD:
        next = IsSelf(start) ? count : 0;
        break;
      case NAVDIR_NEXT:
      case NAVDIR_DOWN:
        next = IsSelf(start) || from >= count ? 0 : from + 1;
        break;
      case NAVDIR_PREVIOUS:
      case NAVDIR_UP:
        next = IsSelf(start) || from <= 1 ? 0 : from - 1;
        break;
      default:
        return E_INVALIDARG;
    }
    if (next == 0) return S_FALSE;
    end->vt = VT_I4;
    end->lVal = next;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
    if (child == nullptr) return E_INVALIDARG;
    Empty(child);
    POINT point = {x, y};
    RECT client = {};
    GetClientRect(window_, &client);
    if (!ScreenToClient(window_, &point) || !PtInRect(&client, point)) return S_FALSE;
    const Snapshot snapshot = Take(window_);
    child->vt = VT_I4;
    child->lVal = CHILDID_SELF;
    for (std::size_t i = 0; i < snapshot.elements.size(); ++i) {
      const TargetRect r = ScaleRect(snapshot.elements[i].rect, snapshot.scale);
      if (point.x >= r.x && point.x < r.x + r.width && point.y >= r.y && point.y < r.y + r.height) {
        child->lVal = static_cast<long>(i + 1);
      }
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    const AccessibleElement* element = Element(child);
    if (element == nullptr || element->target == FinishTarget::NoTarget) return DISP_E_MEMBERNOTFOUND;
    // Posted: the action may close the window, which must not happen inside a reader's call.
    PostMessageW(window_, WM_SETUP_ACCESSIBLE_ACTION, static_cast<WPARAM>(element->target), 0);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  static bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

  // The element a child id names in this snapshot; null for the object itself or an unknown id.
  const AccessibleElement* Element(const VARIANT& child, const Snapshot& snapshot) const {
    if (child.vt != VT_I4 || child.lVal < 1 || child.lVal > static_cast<long>(snapshot.elements.size())) {
      return nullptr;
    }
    return &snapshot.elements[static_cast<std::size_t>(child.lVal - 1)];
  }
  // For answers that need only one element, taken afresh.
  const AccessibleElement* Element(const VARIANT& child) {
    snapshot_ = Take(window_);
    return Element(child, snapshot_);
  }

  HRESULT NoText(const VARIANT& child, BSTR* text) {
    if (text == nullptr) return E_INVALIDARG;
    *text = nullptr;
    return IsSelf(child) || Element(child) != nullptr ? S_FALSE : E_INVALIDARG;
  }

  HWND window_;
  std::atomic<ULONG> references_{1};
  Snapshot snapshot_;
};

void Announce(HWND window, DWORD event, long childId) {
  if (childId != 0) NotifyWinEvent(event, window, OBJID_CLIENT, childId);
}

// Child ids by position on each screen, as AccessibleElements orders them.
constexpr long kStatusChild = 2;
constexpr long kProgressBarChild = 3;

}  // namespace

LRESULT AnswerGetObject(HWND window, WPARAM flags, LPARAM objectId) {
  if (static_cast<LONG>(objectId) != OBJID_CLIENT) return 0;
  const auto fromObject = Oleacc().lresultFromObject;
  if (fromObject == nullptr) return 0;
  auto* object = new SetupWindowAccessible(window);
  const LRESULT result = fromObject(IID_IAccessible, flags, object);
  object->Release();
  return result;
}

void AnnounceStatusChanged(HWND window) {
  if (!WindowState.finishScreenShown) Announce(window, EVENT_OBJECT_NAMECHANGE, kStatusChild);
}

void AnnounceProgressChanged(HWND window) {
  if (!WindowState.finishScreenShown) Announce(window, EVENT_OBJECT_VALUECHANGE, kProgressBarChild);
}

void AnnounceOptionChanged(HWND window) {
  Announce(window, EVENT_OBJECT_STATECHANGE, ChildIdOf(Take(window).elements, WindowState.focus));
}

void AnnounceFocusChanged(HWND window) {
  if (WindowState.finishScreenShown) {
    Announce(window, EVENT_OBJECT_FOCUS, ChildIdOf(Take(window).elements, WindowState.focus));
  }
}

void AnnounceScreenChanged(HWND window) {
  NotifyWinEvent(EVENT_OBJECT_REORDER, window, OBJID_CLIENT, CHILDID_SELF);
  AnnounceFocusChanged(window);
}

}  // namespace velmora
