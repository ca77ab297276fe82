#include <gtest/gtest.h>

#include "platform/emulation.h"
#include "platform/user.h"

namespace {

class UserTest : public ::testing::Test {
 protected:
  void SetUp() override { emu::Reset(); }
  void TearDown() override { emu::Reset(); }
};

TEST_F(UserTest, MessageBoxesFollowTheScriptThenAnswerOk) {
  HWND owner = reinterpret_cast<HWND>(0x1234);
  emu::ScriptMessageBoxAnswers({IDCANCEL, IDCANCEL});
  EXPECT_EQ(MessageBoxA(owner, "one", "Brindle", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBoxA(nullptr, "two", nullptr, MB_OK), IDCANCEL);
  EXPECT_EQ(MessageBoxA(nullptr, nullptr, "three", MB_SETFOREGROUND), IDOK);

  const auto& boxes = emu::MessageBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].owner, owner);
  EXPECT_EQ(boxes[0].text, "one");
  EXPECT_EQ(boxes[0].caption, "Brindle");
  EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OKCANCEL));
  EXPECT_EQ(boxes[1].caption, "");
  EXPECT_EQ(boxes[2].text, "");
  EXPECT_EQ(boxes[2].caption, "three");
  EXPECT_EQ(boxes[2].type, static_cast<UINT>(MB_SETFOREGROUND));

  // A new script starts from its own first answer.
  emu::ScriptMessageBoxAnswers({IDCANCEL});
  EXPECT_EQ(MessageBoxA(nullptr, "four", "c", MB_OK), IDCANCEL);
  emu::Reset();
  EXPECT_TRUE(emu::MessageBoxes().empty());
  EXPECT_EQ(MessageBoxA(nullptr, "five", "c", MB_OK), IDOK);
}

TEST_F(UserTest, PostedMessagesAreRecordedInOrder) {
  HWND first = reinterpret_cast<HWND>(0x100);
  HWND second = reinterpret_cast<HWND>(0x200);
  EXPECT_EQ(PostMessageA(first, WM_COMMAND, 200, 0), TRUE);
  // Without a window the message goes to the thread's own queue.
  EXPECT_EQ(PostMessageA(nullptr, WM_COMMAND, 200, 0), TRUE);
  EXPECT_EQ(PostMessageA(second, WM_COMMAND, 201, -7), TRUE);

  const auto& posted = emu::PostedMessages();
  ASSERT_EQ(posted.size(), 3u);
  EXPECT_EQ(posted[0].window, first);
  EXPECT_EQ(posted[0].message, static_cast<UINT>(WM_COMMAND));
  EXPECT_EQ(posted[0].wParam, 200u);
  EXPECT_EQ(posted[0].lParam, 0);
  EXPECT_EQ(posted[1].window, nullptr);
  EXPECT_EQ(posted[2].window, second);
  EXPECT_EQ(posted[2].wParam, 201u);
  EXPECT_EQ(posted[2].lParam, -7);
}

}  // namespace
