#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/emulation.h"
#include "platform/kernel.h"

namespace {

class KernelTest : public ::testing::Test {
 protected:
  void SetUp() override { emu::Reset(); }
  void TearDown() override { emu::Reset(); }
};

TEST_F(KernelTest, DebugOutputIsRecordedInOrder) {
  OutputDebugStringA("first\n");
  OutputDebugStringA(nullptr);
  OutputDebugStringA("");
  OutputDebugStringA("second");
  ASSERT_EQ(emu::DebugOutput().size(), 3u);
  EXPECT_EQ(emu::DebugOutput()[0], "first\n");
  EXPECT_EQ(emu::DebugOutput()[1], "");
  EXPECT_EQ(emu::DebugOutput()[2], "second");
  emu::ClearDebugOutput();
  EXPECT_TRUE(emu::DebugOutput().empty());
}

TEST_F(KernelTest, LastErrorBelongsToTheThread) {
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD seenByOther = 99;
  std::thread other([&seenByOther] {
    seenByOther = GetLastError();
    SetLastError(ERROR_FILE_NOT_FOUND);
  });
  other.join();
  EXPECT_EQ(seenByOther, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(KernelTest, ModuleFileNameAroundTheBufferSize) {
  const std::string path = "C:\\Brindle\\addin.dll";  // 20 characters
  emu::SetModulePath(path);
  struct Case {
    DWORD size;
    DWORD result;
    const char* text;
    DWORD error;
  } cases[] = {
      {0, 0, "", ERROR_INSUFFICIENT_BUFFER},
      {1, 1, "", ERROR_INSUFFICIENT_BUFFER},
      {5, 5, "C:\\B", ERROR_INSUFFICIENT_BUFFER},
      {20, 20, "C:\\Brindle\\addin.dl", ERROR_INSUFFICIENT_BUFFER},
      {21, 20, "C:\\Brindle\\addin.dll", ERROR_SUCCESS},
      {512, 20, "C:\\Brindle\\addin.dll", ERROR_SUCCESS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    char buffer[600];
    std::memset(buffer, 'x', sizeof(buffer));
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, c.size), c.result);
    EXPECT_EQ(GetLastError(), c.error);
    if (c.size > 0) {
      EXPECT_STREQ(buffer, c.text);
      EXPECT_EQ(buffer[std::strlen(c.text) + 1], 'x');
    } else {
      EXPECT_EQ(buffer[0], 'x');
    }
  }
}

TEST_F(KernelTest, ModuleFileNameFailsWithoutAPath) {
  char buffer[16] = "untouched";
  EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, sizeof(buffer)), 0u);
  EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
}

TEST_F(KernelTest, ThreadCallsDisabledPerModule) {
  HMODULE module = reinterpret_cast<HMODULE>(0x10000000);
  EXPECT_EQ(DisableThreadLibraryCalls(module), TRUE);
  ASSERT_EQ(emu::ThreadCallsDisabled().size(), 1u);
  EXPECT_EQ(emu::ThreadCallsDisabled()[0], module);
  emu::Reset();
  EXPECT_TRUE(emu::ThreadCallsDisabled().empty());
}

}  // namespace
