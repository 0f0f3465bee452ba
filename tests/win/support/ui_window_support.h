// Fixtures for the setup-window tests: a real setup window on the test's display, message
// pumping, captures of what the window shows, and PNG screenshots kept as test artefacts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "launch_support.h"
#include "ui/win/finish_sequence.h"
#include "ui/win/screen_colors.h"
#include "win_test_support.h"

namespace velmora::test {

// GDI+ started for the test's life, as the program's entry starts it for the process.
class GdiplusSession {
 public:
  GdiplusSession();
  ~GdiplusSession();
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;

 private:
  ULONG_PTR token_ = 0;
};

// The setup state as the program starts it: fresh window state, busy, nothing posted yet.
void ResetWindowAndSetupState();

// The real setup window, registered, created and shown as the entry does; destroyed afterwards
// if the test has not closed it. The log goes to a machine-wide data folder of the test's own. The
// window runs the post-install actions and picks its colours with the calls it is given, the
// program's own unless a test says. A desktop shell runs beside it, as on a signed-in desktop,
// until the test ends it.
class SetupWindowFixture {
 public:
  explicit SetupWindowFixture(const FinishCalls& finishCalls = {}, const ScreenColorCalls& colorCalls = {});
  ~SetupWindowFixture();
  SetupWindowFixture(const SetupWindowFixture&) = delete;
  SetupWindowFixture& operator=(const SetupWindowFixture&) = delete;

  HWND Window() const { return window_; }
  bool Alive() const { return IsWindow(window_) != FALSE; }
  SIZE ClientSize() const;
  RECT WindowRect() const;

  // Posts like the worker or the system would, then lets the window handle everything queued;
  // the exit code of the WM_QUIT that a destroyed window left.
  std::optional<int> Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  // The worker's final report that switches to the finish screen.
  void ShowFinishScreen();
  // The mouse moved to (x, y) of the client area: the pointer is put there and the move posted.
  void MoveMouse(int x, int y);
  std::optional<int> ReleaseLeftButton(int x, int y);
  std::optional<int> PressKey(WPARAM key);

  // The log lines written since the fixture began, without their time stamps.
  std::vector<std::string> LogLines() const;

  // Ends the desktop shell, as when no user is signed in to the desktop.
  void EndDesktopShell() { shell_.reset(); }

 private:
  GdiplusSession gdiplus_;
  OwnMachineDataFolder programData_;
  std::optional<ShellWindowOwner> shell_{std::in_place};
  HWND window_ = nullptr;
};

// Handles every message waiting for this thread, painting included; the exit code of a
// WM_QUIT among them.
std::optional<int> PumpMessages();

// A picture of a DC's area, 32 bits a pixel, top row first.
class Capture {
 public:
  Capture() = default;
  Capture(int width, int height, std::vector<std::uint32_t> pixels)
      : width_(width), height_(height), pixels_(std::move(pixels)) {}
  int Width() const { return width_; }
  int Height() const { return height_; }
  // 0xRRGGBB of the pixel; 0xFF000000 (no colour) outside the picture.
  std::uint32_t At(int x, int y) const;
  // How many pixels of the area (x, y, width, height) are in the picture and not white.
  int InkPixels(int x, int y, int width, int height) const;
  // How many pixels of the area have exactly this 0xRRGGBB colour.
  int PixelsOf(std::uint32_t rgb, int x, int y, int width, int height) const;
  Capture Crop(int x, int y, int width, int height) const;
  const std::vector<std::uint32_t>& Pixels() const { return pixels_; }
  bool operator==(const Capture&) const = default;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint32_t> pixels_;
};

// The client area as the window shows it now, after a synchronous repaint.
Capture CaptureClient(HWND window);

// The Finish button alone, as the finish screen of a W x H client draws it with this label and
// colour, on a white client of that size.
Capture RenderFinishButton(const wchar_t* label, std::uint32_t argb, int width, int height);

// The whole window, frame and caption included, as it stands on the screen.
Capture CaptureWholeWindow(HWND window);

// Writes the picture as <folder>\<name>.png; returns its path, empty on failure.
std::wstring SaveScreenshot(const Capture& capture, const std::wstring& folder, const std::wstring& name);

#ifdef VELMORA_BINARY_DIR
// Where a test run keeps its screenshots: <build>/win/artifacts.
inline std::wstring ArtifactsFolder() { return DriveZPathOf(VELMORA_BINARY_DIR "/artifacts"); }
#endif

// An 0xRRGGBB colour of the palette's 0xAARRGGBB value.
constexpr std::uint32_t Rgb(std::uint32_t argb) { return argb & 0xFFFFFFu; }

}  // namespace velmora::test
