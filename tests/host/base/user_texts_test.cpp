#include "base/user_texts.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(UserTexts, FillInPutsTheValueInPlaceOfTheFirstPlaceholderOnly) {
  const struct {
    const wchar_t* text;
    const wchar_t* value;
    const wchar_t* filled;
  } cases[] = {
      {L"Downloading Velmora %ls...", L"1.1.8", L"Downloading Velmora 1.1.8..."},
      {L"%ls%", L"42", L"42%"},
      {L"from %ls.", L"get.velmora.test", L"from get.velmora.test."},
      {L"no placeholder", L"x", L"no placeholder"},
      {L"%ls and %ls", L"a", L"a and %ls"},
      {L"value with its own %ls: %ls", L"%ls", L"value with its own %ls: %ls"},
  };
  for (const auto& c : cases) EXPECT_EQ(FillIn(c.text, c.value), c.filled);
  EXPECT_EQ(FillIn(texts::kCouldNotComplete, L"get.velmora.test"),
            L"Velmora Setup could not complete. Download the latest installer from get.velmora.test.");
}

}  // namespace
}  // namespace velmora
