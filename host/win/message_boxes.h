// Answers and records every message box shown on the calling thread, the way
// a user in front of Outlook would: a thread-local CBT hook sees each box as
// it is activated, reads its caption and text and posts the scripted button
// to it.  The box then closes through its own message loop, so the code that
// called MessageBox gets the answer as from a click.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ShownBox {
  std::string caption;
  std::string text;
  bool hasCancel;  // the box offered a Cancel button (MB_OKCANCEL)
  int answer;      // the button posted to it
};

class MessageBoxAnswerer {
 public:
  // Installs the hook for the calling thread; Installed() tells if it took.
  MessageBoxAnswerer();
  ~MessageBoxAnswerer();
  MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
  MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

  bool Installed() const { return hook_ != nullptr; }
  // The buttons to answer with, in order; IDOK once they are used up.
  void Script(const std::vector<int>& answers);
  // The boxes seen since the last Take, in order; forgets them.
  std::vector<ShownBox> Take();

 private:
  static LRESULT CALLBACK OnCbt(int code, WPARAM wParam, LPARAM lParam);
  void OnActivate(HWND box);

  HHOOK hook_ = nullptr;
  std::vector<int> script_;
  std::vector<ShownBox> shown_;
};
