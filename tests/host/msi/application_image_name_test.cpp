#include "msi/application_image_name.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(ApplicationImageNameTest, VelmoraExeMatchesInAnyAsciiLetterCase) {
  for (const wchar_t* name : {L"Velmora.exe", L"VELMORA.EXE", L"velmora.exe", L"vELMORA.eXe"}) {
    EXPECT_TRUE(IsApplicationImageName(name)) << testing::PrintToString(std::wstring(name));
  }
}

TEST(ApplicationImageNameTest, LookAlikesDoNotMatch) {
  const wchar_t* const lookAlikes[] = {L"Velmora.exe.bak", L"Velmora2.exe", L"Velmora.ex", L"xVelmora.exe",
                                       L"Velmora.exe ", L"Velmora", L"", L"C:\\Velmora\\Velmora.exe",
                                       // Only letters fold: a bit-flip fold would take 0x0E for the dot.
                                       L"Velmora\x0E"
                                       L"exe"};
  for (const wchar_t* name : lookAlikes) {
    EXPECT_FALSE(IsApplicationImageName(name)) << testing::PrintToString(std::wstring(name));
  }
}

TEST(ApplicationImageNameTest, ImagePathIsJudgedByItsFileNamePart) {
  struct Case {
    const wchar_t* path;
    bool application;
  };
  const Case cases[] = {
      {L"C:\\Program Files\\Velmora\\Velmora.exe", true},
      {L"\\\\?\\D:\\any folder\\VELMORA.EXE", true},
      {L"Velmora.exe", true},
      // A reused process identifier: some other program, perhaps in a folder named like the app.
      {L"C:\\Windows\\System32\\notepad.exe", false},
      {L"C:\\Velmora.exe\\notepad.exe", false},
      {L"C:\\Velmora\\Velmora.exe.bak", false},
      {L"C:\\Velmora\\", false},
      {L"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsApplicationImagePath(c.path), c.application) << testing::PrintToString(std::wstring(c.path));
  }
}

}  // namespace
}  // namespace velmora
