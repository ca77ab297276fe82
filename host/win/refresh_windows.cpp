#include "host/win/refresh_windows.h"

#include <algorithm>

namespace {
const char kClassName[] = "BrindleRefreshTarget";
const WPARAM kRefreshCommand = 200;
}  // namespace

RefreshWindows::RefreshWindows() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = &RefreshWindows::WindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kClassName;
  class_ = RegisterClassA(&windowClass);
}

RefreshWindows::~RefreshWindows() {
  for (HWND window : windows_) DestroyWindow(window);
  if (class_ != 0) UnregisterClassA(kClassName, GetModuleHandleA(nullptr));
}

HWND RefreshWindows::Create() {
  if (class_ == 0) return nullptr;
  HWND window = CreateWindowExA(0, kClassName, "refresh target",
                                WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
  if (window != nullptr) windows_.push_back(window);
  return window;
}

std::map<HWND, int> RefreshWindows::Pump() {
  std::map<HWND, int> counts;
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    bool ours = std::find(windows_.begin(), windows_.end(), message.hwnd) !=
                windows_.end();
    if (ours && message.message == WM_COMMAND &&
        message.wParam == kRefreshCommand && message.lParam == 0) {
      ++counts[message.hwnd];
    } else if (ours) {
      ++others_;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return counts;
}

LRESULT CALLBACK RefreshWindows::WindowProc(HWND window, UINT message,
                                            WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}
