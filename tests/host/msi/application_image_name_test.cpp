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
  const wchar_t* const lookAlikes[] = {
      L"Velmora.exe.bak", L"Velmora2.exe", L"Velmora.ex", L"xVelmora.exe", L"Velmora.exe ", L"Velmora",
      L"", L"C:\\Velmora\\Velmora.exe",
      // Only letters fold: a bit-flip fold would take 0x0E for the dot.
      L"Velmora\x0E" L"exe"};
  for (const wchar_t* name : lookAlikes) {
    EXPECT_FALSE(IsApplicationImageName(name)) << testing::PrintToString(std::wstring(name));
  }
}

}  // namespace
}  // namespace velmora
