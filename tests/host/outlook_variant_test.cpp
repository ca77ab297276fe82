#include "host/outlook_variant.h"

#include <gtest/gtest.h>

#include "platform/emulation.h"

namespace outlook_sim {
namespace {

TEST(OutlookVariantTest, DateFromPartsMatchesOleDates) {
  struct Case {
    int y, mo, d, h, mi, s;
    double expected;
  } cases[] = {
      {1899, 12, 30, 0, 0, 0, 0.0},
      {1899, 12, 31, 0, 0, 0, 1.0},
      {1900, 1, 1, 0, 0, 0, 2.0},
      {1900, 3, 1, 0, 0, 0, 61.0},  // 1900 is no leap year here
      {1980, 1, 1, 0, 0, 0, 29221.0},
      {2000, 2, 29, 12, 0, 0, 36585.5},
      {2024, 5, 17, 6, 0, 0, 45429.25},
      {2107, 12, 31, 23, 59, 58, 75971.0 + (86398.0 / 86400.0)},
      // Before the epoch the fraction counts forward from midnight.
      {1899, 12, 29, 6, 0, 0, -1.25},
      {1899, 12, 28, 18, 0, 0, -2.75},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.y << "-" << c.mo << "-" << c.d << " "
                                    << c.h << ":" << c.mi << ":" << c.s);
    EXPECT_DOUBLE_EQ(c.expected, DateFromParts(c.y, c.mo, c.d, c.h, c.mi, c.s));
  }
}

TEST(OutlookVariantTest, Utf8AndUtf16RoundTrip) {
  const std::string texts[] = {
      "",
      "Hi",
      "Caf\xC3\xA9",               // U+00E9
      "\xE2\x82\xAC 5",            // U+20AC
      "\xF0\x9F\x93\xA7 mail",     // U+1F4E7, a surrogate pair
      std::string("a\0b", 3),      // embedded zero survives
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    const OleString wide = Utf8ToOle(text);
    EXPECT_EQ(text, OleToUtf8(wide.data(), wide.size()));
  }
  EXPECT_EQ(2u, Utf8ToOle("\xF0\x9F\x93\xA7").size());
  EXPECT_EQ(OleString(1, static_cast<OLECHAR>(0x20AC)),
            Utf8ToOle("\xE2\x82\xAC"));
}

TEST(OutlookVariantTest, IllFormedTextBecomesReplacementCharacters) {
  const OLECHAR kBad = static_cast<OLECHAR>(0xFFFD);
  struct Case {
    const char* name;
    std::string utf8;
    OleString expected;
  } cases[] = {
      {"stray continuation", "\x80x", OleString{kBad, u'x'}},
      {"cut short", "\xE2\x82", OleString{kBad}},
      {"broken then ascii", "\xE2x", OleString{kBad, u'x'}},
      {"overlong", "\xC0\xAF", OleString{kBad}},
      {"encoded surrogate", "\xED\xA0\x80", OleString{kBad}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.expected, Utf8ToOle(c.utf8));
  }
  const OLECHAR lone[] = {0xD800, u'x', 0};
  EXPECT_EQ("\xEF\xBF\xBDx", OleToUtf8(lone));
  EXPECT_EQ("", OleToUtf8(nullptr));
  EXPECT_EQ("", BstrToUtf8(nullptr));
}

TEST(OutlookVariantTest, MadeVariantsOwnTheirValues) {
  const int before = emu::LiveBstrs();
  {
    ScopedVariant s(VariantFromString(BRINDLE_OLESTR("Hi")));
    EXPECT_EQ(VT_BSTR, s->vt);
    EXPECT_EQ("Hi", BstrToUtf8(s->bstrVal));
    ScopedVariant u(VariantFromUtf8("Caf\xC3\xA9"));
    EXPECT_EQ(4u, SysStringLen(u->bstrVal));
    ScopedVariant n(VariantFromString(nullptr));
    EXPECT_EQ(VT_BSTR, n->vt);
    EXPECT_EQ(nullptr, n->bstrVal);
    EXPECT_EQ(before + 2, emu::LiveBstrs());
  }
  EXPECT_EQ(before, emu::LiveBstrs());

  EXPECT_EQ(VT_I4, VariantFromI4(7).vt);
  EXPECT_EQ(7, VariantFromI4(7).lVal);
  EXPECT_EQ(VT_INT, VariantFromInt(22).vt);
  EXPECT_EQ(22, VariantFromInt(22).intVal);
  EXPECT_EQ(-1, VariantFromBool(true).boolVal);
  EXPECT_EQ(VT_EMPTY, VariantEmpty().vt);
  const VARIANT d = VariantFromDate(1980, 1, 1, 12);
  EXPECT_EQ(VT_DATE, d.vt);
  EXPECT_DOUBLE_EQ(29221.5, d.date);
}

TEST(OutlookVariantTest, CopyVariantDuplicatesStringsKeepingEmbeddedZeros) {
  const OLECHAR text[] = {u'a', 0, u'b'};
  VARIANT from;
  VariantInit(&from);
  from.vt = VT_BSTR;
  from.bstrVal = SysAllocStringLen(text, 3);
  VARIANT to;
  CopyVariant(&to, from);
  ASSERT_EQ(VT_BSTR, to.vt);
  EXPECT_NE(from.bstrVal, to.bstrVal);
  ASSERT_EQ(3u, SysStringLen(to.bstrVal));
  EXPECT_EQ(u'b', to.bstrVal[2]);
  VariantClear(&to);
  VariantClear(&from);

  VARIANT nullString = VariantFromString(nullptr);
  CopyVariant(&to, nullString);
  EXPECT_EQ(nullptr, to.bstrVal);
}

}  // namespace
}  // namespace outlook_sim
