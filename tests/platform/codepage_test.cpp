#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/emulation.h"
#include "platform/kernel.h"

namespace {

class CodePageTest : public ::testing::Test {
 protected:
  void SetUp() override { emu::Reset(); }
  void TearDown() override { emu::Reset(); }
};

TEST_F(CodePageTest, WideToAnsiMapsWhat1252HasAndReplacesTheRest) {
  struct Case {
    const char* name;
    std::u16string wide;
    std::string bytes;
    bool usedDefault;
  } cases[] = {
      {"ASCII", u"Inbox 42", "Inbox 42", false},
      {"Latin-1", u"Caf\u00E9 \u00FF\u00A0", "Caf\xE9 \xFF\xA0", false},
      {"1252 specials", u"\u20AC\u0152\u2122\u0178\u201C",
       "\x80\x8C\x99\x9F\x93", false},
      {"undefined bytes keep their code points", u"\u0081\u008D\u008F\u0090\u009D",
       "\x81\x8D\x8F\x90\x9D", false},
      {"C1 controls 1252 redefines", u"\u0080\u009F", "??", true},
      {"no form in 1252", u"a\u0100b\u4E2D", "a?b?", true},
      {"surrogate pair is one character", u"x\U0001F600y", "x?y", true},
      {"lone surrogates", std::u16string(u"a") + char16_t(0xD800) + u"b" +
                              char16_t(0xDC00),
       "a?b?", true},
      {"embedded zero", std::u16string(u"a\0b", 3), std::string("a\0b", 3),
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const INT length = static_cast<INT>(c.wide.size());
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, c.wide.data(), length, nullptr, 0,
                                  nullptr, nullptr),
              static_cast<INT>(c.bytes.size()));
    char buffer[64];
    BOOL usedDefault = 7;
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, c.wide.data(), length, buffer,
                                  sizeof(buffer), nullptr, &usedDefault),
              static_cast<INT>(c.bytes.size()));
    EXPECT_EQ(std::string(buffer, c.bytes.size()), c.bytes);
    EXPECT_EQ(usedDefault, c.usedDefault ? TRUE : FALSE);
  }
}

TEST_F(CodePageTest, WideToAnsiUsesTheCallersDefaultCharacter) {
  char buffer[8];
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a\u0100", 2, buffer,
                                sizeof(buffer), "#", nullptr),
            2);
  EXPECT_EQ(std::string(buffer, 2), "a#");
}

TEST_F(CodePageTest, TerminatedInputCountsTheTerminator) {
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"Inbox", -1, nullptr, 0, nullptr,
                                nullptr),
            6);
  char buffer[8];
  std::memset(buffer, 'x', sizeof(buffer));
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"Inbox", -1, buffer,
                                sizeof(buffer), nullptr, nullptr),
            6);
  EXPECT_STREQ(buffer, "Inbox");
  EXPECT_EQ(buffer[6], 'x');
}

// The add-in converts host strings through 256-byte buffers.
TEST_F(CodePageTest, DestinationSizesAroundTheTextLength) {
  struct Case {
    size_t characters;
    INT destination;
    INT expected;
  } cases[] = {
      {254, 254, 0},   {254, 255, 255}, {254, 256, 255},
      {255, 254, 0},   {255, 255, 0},   {255, 256, 256},
      {256, 255, 0},   {256, 256, 0},   {256, 257, 257},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.characters << " characters into "
                                    << c.destination << " bytes");
    const std::u16string wide(c.characters, u'\u00E9');
    std::vector<char> buffer(c.destination + 8, 'x');
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, buffer.data(),
                                  c.destination, nullptr, nullptr),
              c.expected);
    // Never a byte past the destination, success or not.
    for (size_t i = c.destination; i < buffer.size(); ++i) {
      ASSERT_EQ(buffer[i], 'x') << i;
    }
    if (c.expected == 0) {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    } else {
      EXPECT_EQ(std::string(buffer.data()), std::string(c.characters, '\xE9'));
    }
  }
}

TEST_F(CodePageTest, BadArgumentsFailWithInvalidParameter) {
  char buffer[8];
  struct Case {
    const char* name;
    UINT codePage;
    const char16_t* wide;
    INT length;
    INT size;
  } cases[] = {
      {"UTF-8", 65001, u"a", 1, 8},
      {"OEM", 1, u"a", 1, 8},
      {"null text", CP_ACP, nullptr, 1, 8},
      {"zero length", CP_ACP, u"a", 0, 8},
      {"negative length", CP_ACP, u"a", -2, 8},
      {"negative size", CP_ACP, u"a", 1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(WideCharToMultiByte(c.codePage, 0, c.wide, c.length, buffer,
                                  c.size, nullptr, nullptr),
              0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  char16_t wide[4];
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(MultiByteToWideChar(65001, 0, "a", 1, wide, 4), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(CodePageTest, EveryByteRoundTrips) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  std::u16string wide(all.size(), 0);
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, all.data(),
                                static_cast<INT>(all.size()), &wide[0],
                                static_cast<INT>(wide.size())),
            static_cast<INT>(all.size()));
  EXPECT_EQ(wide[0x80 - 1], u'\u20AC');
  EXPECT_EQ(wide[0x9F - 1], u'\u0178');
  for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
    EXPECT_EQ(wide[b - 1], static_cast<char16_t>(b)) << b;
  }
  EXPECT_EQ(wide[0xE9 - 1], u'\u00E9');

  std::string back(all.size(), 0);
  BOOL usedDefault = TRUE;
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, wide.data(),
                                static_cast<INT>(wide.size()), &back[0],
                                static_cast<INT>(back.size()), nullptr,
                                &usedDefault),
            static_cast<INT>(all.size()));
  EXPECT_EQ(back, all);
  EXPECT_EQ(usedDefault, FALSE);
}

TEST_F(CodePageTest, AnsiToWideSizes) {
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);
  char16_t wide[4];
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 3), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 4), 4);
  EXPECT_EQ(std::u16string(wide), u"abc");
}

TEST_F(CodePageTest, ListSeparator) {
  char buffer[8];
  EXPECT_EQ(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SLIST, nullptr, 0), 2);
  EXPECT_EQ(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SLIST, buffer, 2), 2);
  EXPECT_STREQ(buffer, ",");
  // Any locale answers the same separator.
  EXPECT_EQ(GetLocaleInfoA(0x0407, LOCALE_SLIST, buffer, sizeof(buffer)), 2);

  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SLIST, buffer, 1), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(GetLocaleInfoA(LOCALE_USER_DEFAULT, 0x0E, buffer, sizeof(buffer)),
            0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  emu::SetListSeparator(";;");
  EXPECT_EQ(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SLIST, buffer, 3), 3);
  EXPECT_STREQ(buffer, ";;");
  EXPECT_EQ(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SLIST, buffer, 2), 0);

  emu::SetListSeparator("");
  EXPECT_EQ(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SLIST, buffer,
                           sizeof(buffer)),
            0);
  emu::Reset();
  EXPECT_EQ(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SLIST, buffer,
                           sizeof(buffer)),
            2);
  EXPECT_STREQ(buffer, ",");
}

}  // namespace
