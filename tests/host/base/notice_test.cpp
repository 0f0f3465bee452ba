#include "base/notice.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(NoticeLogText, FoldsEachRunOfLineBreaksIntoOneSpace) {
  const struct {
    const wchar_t* text;
    const wchar_t* line;
  } cases[] = {
      {L"Velmora Setup is already running.", L"Velmora Setup is already running."},
      {L"First.\n\nSecond.", L"First. Second."},
      {L"First.\r\nSecond.\nThird.", L"First. Second. Third."},
      {L"\nLeading and trailing.\n\n", L"Leading and trailing."},
      {L"Diagnostic log:\nC:\\ProgramData\\Velmora\\Setup\\bootstrapper.log",
       L"Diagnostic log: C:\\ProgramData\\Velmora\\Setup\\bootstrapper.log"},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(NoticeLogText(c.text), c.line);
}

}  // namespace
}  // namespace velmora
