// The face the screens draw their texts in, on Wine's real font list.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "ui/win/drawing.h"
#include "ui_window_support.h"

namespace velmora {
namespace {

std::wstring FamilyName(const ScopedFontFamily& family) {
  WCHAR name[LF_FACESIZE] = {};
  if (!family || gdip::GdipGetFamilyName(family.get(), name, LANG_NEUTRAL) != Gdiplus::Ok) return L"";
  return name;
}

ScopedFontFamily Named(const wchar_t* name) {
  Gdiplus::GpFontFamily* family = nullptr;
  if (gdip::GdipCreateFontFamilyFromName(name, nullptr, &family) != Gdiplus::Ok) return ScopedFontFamily();
  return ScopedFontFamily(family);
}

// The system's message font for this session only (not written to the user's settings), put
// back afterwards. Wine's own message face, Tahoma, is one its prefix does not have.
class ScopedMessageFont {
 public:
  explicit ScopedMessageFont(const wchar_t* face) {
    saved_.cbSize = sizeof saved_;
    read_ = SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof saved_, &saved_, 0) != FALSE;
    NONCLIENTMETRICSW changed = saved_;
    wcsncpy(changed.lfMessageFont.lfFaceName, face, LF_FACESIZE - 1);
    set_ = read_ && SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof changed, &changed, 0) != FALSE;
  }
  ~ScopedMessageFont() {
    if (set_) SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof saved_, &saved_, 0);
  }
  ScopedMessageFont(const ScopedMessageFont&) = delete;
  ScopedMessageFont& operator=(const ScopedMessageFont&) = delete;
  bool Set() const { return set_; }

 private:
  NONCLIENTMETRICSW saved_ = {};
  bool read_ = false;
  bool set_ = false;
};

// Where the preferred face is missing, the texts take the system's message font instead of
// going undrawn; where it exists (the test prefix maps "Segoe UI" to a face it has), it is used.
TEST(ScreenFont, MissingFaceFallsBackToTheSystemsMessageFont) {
  const test::GdiplusSession gdiplus;
  const ScopedFontFamily segoe = Named(L"Segoe UI");
  ASSERT_TRUE(segoe);
  EXPECT_EQ(FamilyName(CreateScreenFontFamily()), FamilyName(segoe));

  for (const wchar_t* face : {L"Liberation Serif", L"Liberation Mono"}) {
    const ScopedMessageFont messageFont(face);
    ASSERT_TRUE(messageFont.Set());
    const ScopedFontFamily expected = Named(face);
    ASSERT_TRUE(expected) << test::Narrow(face);
    const ScopedFontFamily fallback = CreateScreenFontFamily(L"No Such Face At All");
    ASSERT_TRUE(fallback) << test::Narrow(face);
    EXPECT_EQ(FamilyName(fallback), FamilyName(expected));
    // The preferred face, where present, still wins over the message font.
    EXPECT_EQ(FamilyName(CreateScreenFontFamily()), FamilyName(segoe));
  }
}

}  // namespace
}  // namespace velmora
