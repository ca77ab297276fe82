// Real windows for the companion's window table: a registered window class,
// windows of it owned by the calling thread, and a pump that takes their
// posted messages from the thread's queue with PeekMessage and counts the
// refresh commands (WM_COMMAND, wParam 200, lParam 0) each one received.
#pragma once

#include <windows.h>

#include <map>
#include <vector>

class RefreshWindows {
 public:
  RefreshWindows();
  ~RefreshWindows();  // destroys the windows and unregisters the class
  RefreshWindows(const RefreshWindows&) = delete;
  RefreshWindows& operator=(const RefreshWindows&) = delete;

  // A new hidden top-level window of the class; null on failure.
  HWND Create();
  const std::vector<HWND>& Windows() const { return windows_; }

  // Takes every message waiting in the thread's queue (dispatching each) and
  // answers how many refresh commands each window got since the last Pump.
  std::map<HWND, int> Pump();
  // Messages other than refresh commands that came for our windows.
  int OtherMessages() const { return others_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam,
                                     LPARAM lParam);
  ATOM class_ = 0;
  std::vector<HWND> windows_;
  int others_ = 0;
};
