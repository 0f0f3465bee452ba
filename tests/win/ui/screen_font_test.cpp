// The face the screens draw their texts in, on Wine's real font list.
#include <gtest/gtest.h>

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

// Where the preferred face is missing, the texts take the system's message font instead of
// going undrawn; where it exists (the test prefix maps "Segoe UI" to a face it has), it is used.
TEST(ScreenFont, MissingFaceFallsBackToTheSystemsMessageFont) {
  const test::GdiplusSession gdiplus;
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
  Gdiplus::GpFontFamily* raw = nullptr;
  ASSERT_EQ(gdip::GdipCreateFontFamilyFromName(metrics.lfMessageFont.lfFaceName, nullptr, &raw), Gdiplus::Ok)
      << test::Narrow(metrics.lfMessageFont.lfFaceName);
  const ScopedFontFamily messageFont(raw);

  const ScopedFontFamily missing = CreateScreenFontFamily(L"No Such Face At All");
  ASSERT_TRUE(missing);
  EXPECT_EQ(FamilyName(missing), FamilyName(messageFont));

  raw = nullptr;
  ASSERT_EQ(gdip::GdipCreateFontFamilyFromName(L"Segoe UI", nullptr, &raw), Gdiplus::Ok);
  const ScopedFontFamily segoe(raw);
  EXPECT_EQ(FamilyName(CreateScreenFontFamily()), FamilyName(segoe));
}

}  // namespace
}  // namespace velmora
