#include "host/win/message_boxes.h"

namespace {

// The one answerer of this thread; the hook procedure has no context word.
thread_local MessageBoxAnswerer* t_answerer = nullptr;

// The static control that holds a message box's text.
const int kMessageTextId = 0xFFFF;

std::string WindowText(HWND window) {
  char text[1024] = {};
  if (window != nullptr) GetWindowTextA(window, text, sizeof text);
  return text;
}

}  // namespace

MessageBoxAnswerer::MessageBoxAnswerer() {
  t_answerer = this;
  hook_ = SetWindowsHookExA(WH_CBT, &MessageBoxAnswerer::OnCbt, nullptr,
                            GetCurrentThreadId());
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
  if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
  t_answerer = nullptr;
}

void MessageBoxAnswerer::Script(const std::vector<int>& answers) {
  script_ = answers;
}

std::vector<ShownBox> MessageBoxAnswerer::Take() {
  std::vector<ShownBox> taken;
  taken.swap(shown_);
  return taken;
}

LRESULT CALLBACK MessageBoxAnswerer::OnCbt(int code, WPARAM wParam,
                                           LPARAM lParam) {
  if (code == HCBT_ACTIVATE && t_answerer != nullptr) {
    t_answerer->OnActivate(reinterpret_cast<HWND>(wParam));
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void MessageBoxAnswerer::OnActivate(HWND box) {
  char className[64] = {};
  GetClassNameA(box, className, sizeof className);
  if (std::string(className) != "#32770") return;  // not a dialog box

  ShownBox shown;
  shown.caption = WindowText(box);
  shown.text = WindowText(GetDlgItem(box, kMessageTextId));
  HWND cancel = GetDlgItem(box, IDCANCEL);
  // The box isn't shown yet: look at the button's own style bit.
  shown.hasCancel =
      cancel != nullptr && (GetWindowLongA(cancel, GWL_STYLE) & WS_VISIBLE);
  shown.answer = IDOK;
  if (!script_.empty()) {
    shown.answer = script_.front();
    script_.erase(script_.begin());
  }
  shown_.push_back(shown);
  // Handled once the box runs its own loop, as a click on that button.
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(shown.answer, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, shown.answer)));
}
