// The window as a screen reader sees it: the object Wine's oleacc hands over for
// AccessibleObjectFromWindow, read through IAccessible as a reader reads it, and the events
// the window raises, caught with a WinEvent hook.
#include <gtest/gtest.h>

#include <oleacc.h>

#include <string>
#include <tuple>
#include <vector>

#include "base/setup_state.h"
#include "ui/setup_window_state.h"
#include "ui_window_support.h"

namespace velmora {
namespace {

VARIANT Child(long id) {
  VARIANT child;
  VariantInit(&child);
  child.vt = VT_I4;
  child.lVal = id;
  return child;
}

// One reader's view of the window's client object.
class Reader {
 public:
  explicit Reader(HWND window) {
    const HMODULE oleacc = LoadLibraryExW(L"oleacc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    const auto fromWindow = reinterpret_cast<decltype(&AccessibleObjectFromWindow)>(
        reinterpret_cast<void*>(GetProcAddress(oleacc, "AccessibleObjectFromWindow")));
    if (fromWindow != nullptr) {
      result_ = fromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                           reinterpret_cast<void**>(&object_));
    }
  }
  ~Reader() {
    if (object_ != nullptr) object_->Release();
  }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  HRESULT Result() const { return result_; }
  bool Valid() const { return object_ != nullptr; }
  IAccessible* Object() const { return object_; }

  long Count() const {
    long count = -1;
    object_->get_accChildCount(&count);
    return count;
  }
  std::wstring Name(long id) const { return Text(&IAccessible::get_accName, id); }
  std::wstring Value(long id) const { return Text(&IAccessible::get_accValue, id); }
  std::wstring DefaultAction(long id) const { return Text(&IAccessible::get_accDefaultAction, id); }
  long Role(long id) const { return Number(&IAccessible::get_accRole, id); }
  long State(long id) const { return Number(&IAccessible::get_accState, id); }
  RECT Location(long id) const {
    long left = 0, top = 0, width = 0, height = 0;
    object_->accLocation(&left, &top, &width, &height, Child(id));
    return {left, top, left + width, top + height};
  }

 private:
  std::wstring Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), long id) const {
    BSTR text = nullptr;
    if ((object_->*get)(Child(id), &text) != S_OK || text == nullptr) return L"";
    std::wstring copy(text, SysStringLen(text));
    SysFreeString(text);
    return copy;
  }
  long Number(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*), long id) const {
    VARIANT value;
    VariantInit(&value);
    if ((object_->*get)(Child(id), &value) != S_OK || value.vt != VT_I4) return -1;
    return value.lVal;
  }

  IAccessible* object_ = nullptr;
  HRESULT result_ = E_FAIL;
};

// WinEvents of one window, caught out of context: delivered while this thread pumps messages.
using Event = std::tuple<DWORD, LONG, LONG>;  // event, object id, child id
std::vector<Event>* CaughtEvents = nullptr;
HWND WatchedWindow = nullptr;

void CALLBACK CatchEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
  if (CaughtEvents != nullptr && window == WatchedWindow) CaughtEvents->emplace_back(event, object, child);
}

class AccessibleWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CaughtEvents = &events_;
    WatchedWindow = window_.Window();
    hook_ = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_VALUECHANGE, nullptr, CatchEvent,
                            GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  }
  void TearDown() override {
    if (hook_ != nullptr) UnhookWinEvent(hook_);
    CaughtEvents = nullptr;
    WatchedWindow = nullptr;
    CoUninitialize();
  }
  bool Caught(DWORD event, LONG child) const {
    test::PumpMessages();
    for (const Event& e : events_) {
      if (std::get<0>(e) == event && std::get<1>(e) == OBJID_CLIENT && std::get<2>(e) == child) return true;
    }
    return false;
  }

  test::SetupWindowFixture window_;
  std::vector<Event> events_;
  HWINEVENTHOOK hook_ = nullptr;
};

TEST_F(AccessibleWindowTest, ProgressScreenReadsAsTextsAndABarWhoseValueFollowsTheProgress) {
  const Reader reader(window_.Window());
  ASSERT_TRUE(reader.Valid()) << std::hex << reader.Result();
  EXPECT_EQ(reader.Role(CHILDID_SELF), ROLE_SYSTEM_CLIENT);
  ASSERT_EQ(reader.Count(), 4);
  EXPECT_EQ(reader.Role(1), ROLE_SYSTEM_STATICTEXT);
  EXPECT_EQ(reader.Name(1), L"Setting up Velmora");
  EXPECT_EQ(reader.Role(2), ROLE_SYSTEM_STATICTEXT);
  EXPECT_EQ(reader.Name(2), L"Preparing your installation...");
  EXPECT_EQ(reader.Role(3), ROLE_SYSTEM_PROGRESSBAR);
  EXPECT_EQ(reader.Value(3), L"0%");
  EXPECT_EQ(reader.Name(4), L"Please keep this window open.");
  EXPECT_NE(reader.State(3) & STATE_SYSTEM_READONLY, 0);

  // The worker's progress and status reach the reader, each with its event.
  for (const int percent : {17, 42}) {
    PostProgress(percent);
    test::PumpMessages();
    EXPECT_EQ(reader.Value(3), std::to_wstring(percent) + L"%");
  }
  EXPECT_TRUE(Caught(EVENT_OBJECT_VALUECHANGE, 3));
  SetStatus(L"Downloading Velmora 1.1.8... 42%  (0.4 of 1.0 MB)");
  test::PumpMessages();
  EXPECT_EQ(reader.Name(2), L"Downloading Velmora 1.1.8... 42%  (0.4 of 1.0 MB)");
  EXPECT_TRUE(Caught(EVENT_OBJECT_NAMECHANGE, 2));

  // The bar is where it is drawn: 64 pixels above the client's bottom, 8 high.
  RECT window = {};
  GetClientRect(window_.Window(), &window);
  MapWindowPoints(window_.Window(), nullptr, reinterpret_cast<POINT*>(&window), 2);
  const RECT bar = reader.Location(3);
  EXPECT_EQ(bar.left, window.left + 32);
  EXPECT_EQ(bar.top, window.bottom - 64);
  EXPECT_EQ(bar.bottom - bar.top, 8);
}

TEST_F(AccessibleWindowTest, FinishScreenReadsAsTwoCheckBoxesAndTheDefaultButton) {
  SetupOperation.exchange(Operation::Install);
  window_.ShowFinishScreen();
  const Reader reader(window_.Window());
  ASSERT_TRUE(reader.Valid()) << std::hex << reader.Result();
  ASSERT_EQ(reader.Count(), 5);
  EXPECT_EQ(reader.Name(1), L"Velmora was installed successfully.");
  EXPECT_EQ(reader.Role(2), ROLE_SYSTEM_STATICTEXT);
  EXPECT_EQ(reader.Name(3), L"Launch Velmora");
  EXPECT_EQ(reader.Role(3), ROLE_SYSTEM_CHECKBUTTON);
  EXPECT_EQ(reader.Name(4), L"Create a desktop shortcut");
  EXPECT_EQ(reader.Role(4), ROLE_SYSTEM_CHECKBUTTON);
  EXPECT_EQ(reader.Name(5), L"Finish");
  EXPECT_EQ(reader.Role(5), ROLE_SYSTEM_PUSHBUTTON);
  EXPECT_EQ(reader.DefaultAction(5), L"Press");
  EXPECT_NE(reader.State(5) & STATE_SYSTEM_DEFAULT, 0);
  for (const long option : {3L, 4L}) {
    EXPECT_NE(reader.State(option) & STATE_SYSTEM_CHECKED, 0) << option;
    EXPECT_NE(reader.State(option) & STATE_SYSTEM_FOCUSABLE, 0) << option;
    EXPECT_EQ(reader.DefaultAction(option), L"Uncheck") << option;
  }
  EXPECT_NE(reader.State(3) & STATE_SYSTEM_FOCUSED, 0) << "the focus starts on the first option";

  // Tab, then Space: the focus moves to the shortcut option and its checked state flips.
  window_.PressKey(VK_TAB);
  EXPECT_NE(reader.State(4) & STATE_SYSTEM_FOCUSED, 0);
  EXPECT_EQ(reader.State(3) & STATE_SYSTEM_FOCUSED, 0);
  EXPECT_TRUE(Caught(EVENT_OBJECT_FOCUS, 4));
  window_.PressKey(VK_SPACE);
  EXPECT_EQ(reader.State(4) & STATE_SYSTEM_CHECKED, 0);
  EXPECT_EQ(reader.DefaultAction(4), L"Check");
  EXPECT_TRUE(Caught(EVENT_OBJECT_STATECHANGE, 4));

  // A reader's own default action works the option, as a click would.
  EXPECT_EQ(reader.Object()->accDoDefaultAction(Child(3)), S_OK);
  test::PumpMessages();
  EXPECT_FALSE(WindowState.launchSelected);
  EXPECT_EQ(reader.State(3) & STATE_SYSTEM_CHECKED, 0);

  // Hit testing finds the button at its middle.
  const RECT button = reader.Location(5);
  VARIANT hit;
  VariantInit(&hit);
  ASSERT_EQ(
      reader.Object()->accHitTest((button.left + button.right) / 2, (button.top + button.bottom) / 2, &hit),
      S_OK);
  EXPECT_EQ(hit.vt, VT_I4);
  EXPECT_EQ(hit.lVal, 5);
}

}  // namespace
}  // namespace velmora
