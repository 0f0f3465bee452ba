// What the program tells the user, apart from how it reaches them: a message box while someone
// is watching, a log line with the same text when the run is unattended (base/win/notice.cpp).
#pragma once

#include <functional>
#include <string>

#include "base/setup_state.h"
#include "base/user_texts.h"

namespace velmora {

enum class NoticeIcon { Error, Warning, Information };

struct Notice {
  NoticeIcon icon = NoticeIcon::Error;
  std::wstring text;
  std::wstring caption = texts::kSetupCaption;
  WindowHandle owner = nullptr;  // the box's owner window; none when null
};

// The one way a notice is given; seams take it as a member so that a test can record notices.
using NoticeCall = std::function<void(const Notice& notice)>;

// The notice's text as one log line: each run of line breaks becomes a single space.
std::wstring NoticeLogText(const std::wstring& text);

}  // namespace velmora
