#include "base/user_texts.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(UserTexts, FillInPutsTheValuesInPlaceOfThePlaceholdersInOrder) {
  const struct {
    const wchar_t* text;
    std::initializer_list<std::wstring> values;
    const wchar_t* filled;
  } cases[] = {
      {L"Downloading Velmora %ls...", {L"1.1.8"}, L"Downloading Velmora 1.1.8..."},
      {L"%ls%", {L"42"}, L"42%"},
      {L"no placeholder", {L"x"}, L"no placeholder"},
      {L"%ls and %ls", {L"a"}, L"a and %ls"},
      {L"%ls then %ls", {L"a", L"b", L"c"}, L"a then b"},
      // A value that holds a placeholder of its own is put in as it is.
      {L"%ls: %ls", {L"%ls", L"b"}, L"%ls: b"},
  };
  for (const auto& c : cases) EXPECT_EQ(FillIn(c.text, c.values), c.filled);
  EXPECT_EQ(
      FillIn(texts::kUpdateRestored, {L"1.1.8", L"1.0.0", L"get.velmora.test"}),
      L"The update to Velmora 1.1.8 failed. Velmora 1.0.0, the version installed before, was restored and "
      L"works as before. Run Velmora Setup again later, or download the latest installer from "
      L"get.velmora.test.");
}

}  // namespace
}  // namespace velmora
