// Message boxes answered from a script, and posted messages recorded.
#include <cstddef>
#include <vector>

#include "platform/emulation.h"
#include "platform/internal.h"
#include "platform/user.h"

namespace {

struct UserState {
  std::vector<emu::MessageBoxCall> messageBoxes;
  std::vector<int> answers;
  size_t nextAnswer = 0;
  std::vector<emu::PostedMessage> posted;
};

UserState& State() {
  static UserState state;
  return state;
}

}  // namespace

INT MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  UserState& state = State();
  // Windows titles a box with a null caption "Error"; the record keeps what
  // the caller passed, so a null shows as "".
  state.messageBoxes.push_back(emu::MessageBoxCall{
      owner, text != nullptr ? text : "", caption != nullptr ? caption : "",
      type});
  if (state.nextAnswer < state.answers.size()) {
    return state.answers[state.nextAnswer++];
  }
  return IDOK;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // No window: Windows posts to the calling thread's own queue; it is
  // recorded with a null window.
  State().posted.push_back(emu::PostedMessage{window, message, wParam, lParam});
  return TRUE;
}

namespace emu {

const std::vector<MessageBoxCall>& MessageBoxes() {
  return State().messageBoxes;
}

void ScriptMessageBoxAnswers(const std::vector<int>& answers) {
  State().answers = answers;
  State().nextAnswer = 0;
}

const std::vector<PostedMessage>& PostedMessages() { return State().posted; }

namespace internal {

void ResetUser() { State() = UserState(); }

}  // namespace internal
}  // namespace emu
