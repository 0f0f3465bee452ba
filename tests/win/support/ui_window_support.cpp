#include "ui_window_support.h"

#include <objidl.h>
#include <gdiplus.h>
#include <gtest/gtest.h>

#include <cwchar>
#include <sstream>

#include "base/setup_state.h"
#include "ui/win/drawing.h"
#include "ui/finish_screen_targets.h"
#include "ui/win/finish_sequence.h"
#include "ui/win/setup_window.h"
#include "ui/setup_window_state.h"

namespace velmora::test {
namespace {

namespace gdip = Gdiplus::DllExports;

// The PNG encoder's class id, looked up among the installed image encoders.
bool FindPngEncoder(CLSID& clsid) {
  UINT count = 0;
  UINT bytes = 0;
  if (gdip::GdipGetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
  std::vector<unsigned char> buffer(bytes);
  auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (gdip::GdipGetImageEncoders(count, bytes, encoders) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (std::wcscmp(encoders[i].MimeType, L"image/png") == 0) {
      clsid = encoders[i].Clsid;
      return true;
    }
  }
  return false;
}

Capture CaptureDc(HDC source, int x, int y, int width, int height) {
  if (source == nullptr || width <= 0 || height <= 0) return Capture();
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HBITMAP dib = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib == nullptr) return Capture();
  const HDC memory = CreateCompatibleDC(source);
  const HGDIOBJ previous = SelectObject(memory, dib);
  const bool copied = BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY) != FALSE;
  GdiFlush();
  std::vector<std::uint32_t> pixels;
  if (copied) {
    const auto* first = static_cast<const std::uint32_t*>(bits);
    pixels.assign(first, first + static_cast<std::size_t>(width) * height);
    for (auto& pixel : pixels) pixel &= 0xFFFFFFu;
  }
  SelectObject(memory, previous);
  DeleteDC(memory);
  DeleteObject(dib);
  return copied ? Capture(width, height, std::move(pixels)) : Capture();
}

}  // namespace

GdiplusSession::GdiplusSession() {
  Gdiplus::GdiplusStartupInput input;
  EXPECT_EQ(Gdiplus::GdiplusStartup(&token_, &input, nullptr), Gdiplus::Ok);
}

GdiplusSession::~GdiplusSession() {
  if (token_ != 0) Gdiplus::GdiplusShutdown(token_);
}

void ResetWindowAndSetupState() {
  WindowState = SetupWindowState{};
  SetupBusy.exchange(true);
  SetupOperation.exchange(Operation::None);
  SetupOutcome.exchange(Outcome::Pending);
  ProgressPercent = 0;
  SetupCancel.exchange(CancelState::NotOffered);
  SetupWindowHandle = nullptr;
  std::lock_guard<std::mutex> lock(StatusLock);
  StatusText.clear();
  ErrorText.clear();
}

SetupWindowFixture::SetupWindowFixture(const FinishCalls& finishCalls, const ScreenColorCalls& colorCalls) {
  EXPECT_TRUE(shell_->Ready());
  ResetWindowAndSetupState();
  // The display outlives each test: a pointer left over the window by an earlier one would hover.
  SetCursorPos(1, 1);
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const bool registered = RegisterSetupWindowClass(instance);
  EXPECT_TRUE(registered || GetLastError() == ERROR_CLASS_ALREADY_EXISTS);
  window_ = CreateSetupWindow(instance, finishCalls, colorCalls);
  EXPECT_NE(window_, nullptr);
  EXPECT_EQ(SetupWindowHandle, window_);
  ShowSetupWindow(window_);
  PumpMessages();
}

SetupWindowFixture::~SetupWindowFixture() {
  if (Alive()) DestroyWindow(window_);
  PumpMessages();
  ResetWindowAndSetupState();
}

SIZE SetupWindowFixture::ClientSize() const {
  RECT client = {};
  GetClientRect(window_, &client);
  return {client.right, client.bottom};
}

RECT SetupWindowFixture::WindowRect() const {
  RECT rect = {};
  GetWindowRect(window_, &rect);
  return rect;
}

std::optional<int> SetupWindowFixture::Post(UINT message, WPARAM wParam, LPARAM lParam) {
  PostMessageW(window_, message, wParam, lParam);
  return PumpMessages();
}

void SetupWindowFixture::ShowFinishScreen() {
  FinishSetup(Outcome::Installed);
  PumpMessages();
}

void SetupWindowFixture::MoveMouse(int x, int y) {
  POINT screen = {x, y};
  ClientToScreen(window_, &screen);
  SetCursorPos(screen.x, screen.y);
  Post(WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
}

std::optional<int> SetupWindowFixture::ReleaseLeftButton(int x, int y) {
  return Post(WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

std::optional<int> SetupWindowFixture::PressKey(WPARAM key) { return Post(WM_KEYDOWN, key, 1); }

std::vector<std::string> SetupWindowFixture::LogLines() const {
  std::istringstream text(ReadWholeFile(programData_.LogPath()));
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) {
    lines.push_back(line.size() > 20 ? line.substr(20) : line);
  }
  return lines;
}

std::optional<int> PumpMessages() {
  std::optional<int> quit;
  MSG message = {};
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) quit = static_cast<int>(message.wParam);
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return quit;
}

std::uint32_t Capture::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0xFF000000u;
  return pixels_[static_cast<std::size_t>(y) * width_ + x];
}

int Capture::PixelsOf(std::uint32_t rgb, int x, int y, int width, int height) const {
  int count = 0;
  for (int row = y; row < y + height; ++row) {
    for (int column = x; column < x + width; ++column) count += At(column, row) == rgb ? 1 : 0;
  }
  return count;
}

int Capture::InkPixels(int x, int y, int width, int height) const {
  return width * height - PixelsOf(0xFFFFFFu, x, y, width, height) -
         PixelsOf(0xFF000000u, x, y, width, height);
}

Capture Capture::Crop(int x, int y, int width, int height) const {
  std::vector<std::uint32_t> area;
  area.reserve(static_cast<std::size_t>(width) * height);
  for (int row = y; row < y + height; ++row) {
    for (int column = x; column < x + width; ++column) area.push_back(At(column, row));
  }
  return Capture(width, height, std::move(area));
}

Capture CaptureClient(HWND window) {
  UpdateWindow(window);
  RECT client = {};
  GetClientRect(window, &client);
  const HDC dc = GetDC(window);
  Capture capture = CaptureDc(dc, 0, 0, client.right, client.bottom);
  ReleaseDC(window, dc);
  return capture;
}

Capture RenderFinishButton(const wchar_t* label, std::uint32_t argb, int width, int height) {
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  const HGDIOBJ previous = SelectObject(memory, bitmap);
  Gdiplus::GpGraphics* graphics = nullptr;
  if (gdip::GdipCreateFromHDC(memory, &graphics) == Gdiplus::Ok) {
    gdip::GdipSetSmoothingMode(graphics, Gdiplus::SmoothingModeAntiAlias);
    gdip::GdipSetTextRenderingHint(graphics, Gdiplus::TextRenderingHintClearTypeGridFit);
    gdip::GdipGraphicsClear(graphics, 0xFFFFFFFF);
    const TargetRect button = FinishButtonRect(static_cast<float>(width), static_cast<float>(height));
    FillRoundedRectangle(graphics, button, 10.0f, argb);
    DrawTextLine(graphics, label, button, 14.0f, 0xFFFFFFFF, Gdiplus::FontStyleBold,
                 Gdiplus::StringAlignmentCenter, Gdiplus::StringAlignmentCenter);
    gdip::GdipDeleteGraphics(graphics);
  }
  Capture capture = CaptureDc(memory, 0, 0, width, height);
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return capture;
}

Capture CaptureWholeWindow(HWND window) {
  RedrawWindow(window, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  PumpMessages();
  RECT rect = {};
  GetWindowRect(window, &rect);
  const HDC screen = GetDC(nullptr);
  Capture capture = CaptureDc(screen, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  ReleaseDC(nullptr, screen);
  return capture;
}

std::wstring SaveScreenshot(const Capture& capture, const std::wstring& folder, const std::wstring& name) {
  CLSID png = {};
  if (capture.Width() == 0 || !FindPngEncoder(png)) return {};
  CreateDirectoryW(folder.c_str(), nullptr);
  std::vector<std::uint32_t> pixels = capture.Pixels();
  Gdiplus::GpBitmap* bitmap = nullptr;
  if (gdip::GdipCreateBitmapFromScan0(capture.Width(), capture.Height(), capture.Width() * 4,
                                      PixelFormat32bppRGB, reinterpret_cast<BYTE*>(pixels.data()),
                                      &bitmap) != Gdiplus::Ok) {
    return {};
  }
  const std::wstring path = folder + L"\\" + name + L".png";
  const bool saved = gdip::GdipSaveImageToFile(bitmap, path.c_str(), &png, nullptr) == Gdiplus::Ok;
  gdip::GdipDisposeImage(bitmap);
  return saved ? path : std::wstring();
}

}  // namespace velmora::test
