#include "app/win/startup.h"

#include <gtest/gtest.h>

#include <thread>

#include "msi_support.h"

namespace velmora {
namespace {

// A thread already in the multi-threaded apartment cannot enter a single-threaded one: the
// real CoInitializeEx refuses, and the start says so.
TEST(Startup, ComRefusedOnAThreadOfAnotherApartmentIsLoggedAndFails) {
  test::msi::SetupLogCapture log;
  bool started = true;
  std::thread([&started] {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    started = StartComAndGdiplus();
    CoUninitialize();
  }).join();
  EXPECT_FALSE(started);
  EXPECT_GE(log.Find("COM could not start (0x80010106)."), 0);
}

TEST(Startup, GdiplusFailureFromAFakeStartIsLoggedAndFails) {
  test::msi::SetupLogCapture log;
  StartupCalls calls;
  calls.startGdiplus = [](ULONG_PTR*) { return Gdiplus::GdiplusNotInitialized; };
  bool started = true;
  std::thread([&] {
    started = StartComAndGdiplus(calls);
    CoUninitialize();
  }).join();
  EXPECT_FALSE(started);
  EXPECT_GE(log.Find("GDI+ could not start (status 18)."), 0);
}

TEST(Startup, RealStartSucceedsAndLogsNothing) {
  test::msi::SetupLogCapture log;
  bool started = false;
  std::thread([&started] {
    started = StartComAndGdiplus();
    CoUninitialize();
  }).join();
  EXPECT_TRUE(started);
  EXPECT_TRUE(log.Messages().empty());
}

}  // namespace
}  // namespace velmora
