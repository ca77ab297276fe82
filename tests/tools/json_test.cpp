#include "tools/json.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

json::Value MustParse(const std::string& text) {
  json::Value value;
  json::ParseError error;
  EXPECT_TRUE(json::Parse(text, &value, &error))
      << text << " -> " << error.line << ":" << error.column << " "
      << error.message;
  return value;
}

TEST(JsonParse, ReadsEveryTypeWithPaths) {
  json::Value v = MustParse(
      "{\"a\": [1, -2, 3.5, true, false, null, \"x\"], \"b c\": {\"d\": {}}}");
  ASSERT_TRUE(v.IsObject());
  EXPECT_EQ("$", v.path());
  const json::Value* a = v.Find("a");
  ASSERT_NE(nullptr, a);
  ASSERT_EQ(7u, a->Items().size());
  EXPECT_EQ(1, a->Items()[0].AsInteger());
  EXPECT_EQ(-2, a->Items()[1].AsInteger());
  EXPECT_EQ(json::Type::kReal, a->Items()[2].type());
  EXPECT_DOUBLE_EQ(3.5, a->Items()[2].AsReal());
  EXPECT_TRUE(a->Items()[3].AsBool());
  EXPECT_FALSE(a->Items()[4].AsBool());
  EXPECT_TRUE(a->Items()[5].IsNull());
  EXPECT_EQ("x", a->Items()[6].AsString());
  EXPECT_EQ("$.a[6]", a->Items()[6].path());
  const json::Value* d = v.Find("b c")->Find("d");
  ASSERT_NE(nullptr, d);
  EXPECT_EQ("$[\"b c\"].d", d->path());
  EXPECT_EQ(nullptr, v.Find("missing"));
  // Members keep their order.
  EXPECT_EQ("a", v.Members()[0].first);
  EXPECT_EQ("b c", v.Members()[1].first);
}

TEST(JsonParse, IntegersAtTheEdgesOfInt64) {
  struct Case {
    const char* text;
    bool ok;
    int64_t value;
  } cases[] = {
      {"9223372036854775807", true, INT64_MAX},
      {"-9223372036854775808", true, INT64_MIN},
      {"9223372036854775808", false, 0},
      {"-9223372036854775809", false, 0},
      {"99999999999999999999", false, 0},
      {"0", true, 0},
      {"-0", true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    json::Value v;
    json::ParseError error;
    ASSERT_EQ(c.ok, json::Parse(c.text, &v, &error)) << error.message;
    if (c.ok) {
      EXPECT_TRUE(v.IsInteger());
      EXPECT_EQ(c.value, v.AsInteger());
    } else {
      EXPECT_NE(std::string::npos, error.message.find("out of range"));
    }
  }
}

TEST(JsonParse, StringEscapesAndUtf8) {
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"\"a\\\"b\\\\c\\/d\"", "a\"b\\c/d"},
      {"\"\\b\\f\\n\\r\\t\"", "\b\f\n\r\t"},
      {"\"\\u00e9\"", "\xC3\xA9"},
      {"\"\\u20AC\"", "\xE2\x82\xAC"},
      {"\"\\ud83d\\ude00\"", "\xF0\x9F\x98\x80"},
      {"\"caf\xC3\xA9 \xE2\x80\x93 \xF0\x9F\x98\x80\"",
       "caf\xC3\xA9 \xE2\x80\x93 \xF0\x9F\x98\x80"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    json::Value v = MustParse(c.text);
    EXPECT_EQ(c.expected, v.AsString());
  }
}

TEST(JsonParse, MalformedTextNamesLineAndColumn) {
  struct Case {
    const char* text;
    int line;
    int column;
    const char* message;
  } cases[] = {
      {"", 1, 1, "expected a value"},
      {"{\"a\": 1,}", 1, 9, "expected a key"},
      {"{\"a\" 1}", 1, 6, "expected ':'"},
      {"[1 2]", 1, 4, "expected ',' or ']'"},
      {"{\n  \"a\": tru\n}", 2, 8, "expected a value"},
      {"\"abc", 1, 5, "unterminated string"},
      {"\"a\nb\"", 1, 3, "control character"},
      {"\"\\x\"", 1, 3, "unknown escape"},
      {"\"\\u12G4\"", 1, 6, "hex digits"},
      {"\"\\ud800\"", 1, 8, "low surrogate"},
      {"\"\\udc00\"", 1, 8, "lone low surrogate"},
      {"\"\xC3\x28\"", 1, 2, "invalid UTF-8"},
      {"\"\xC0\xAF\"", 1, 2, "invalid UTF-8"},          // overlong
      {"\"\xED\xA0\x80\"", 1, 2, "invalid UTF-8"},      // surrogate
      {"\"\xF4\x90\x80\x80\"", 1, 2, "invalid UTF-8"},  // above U+10FFFF
      {"\"\xE2\x82\"", 1, 2, "invalid UTF-8"},          // cut short
      {"01", 1, 1, "leading zeros"},
      {"1.", 1, 3, "digit after '.'"},
      {"1e+", 1, 4, "exponent"},
      {"-", 1, 1, "expected a digit"},
      {"{} {}", 1, 4, "after the document"},
      {"{\"a\": 1, \"a\": 2}", 1, 10, "given twice"},
      {"nul", 1, 1, "expected a value"},
      {"truex", 1, 1, "expected a value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    json::Value v;
    json::ParseError error;
    ASSERT_FALSE(json::Parse(c.text, &v, &error));
    EXPECT_EQ(c.line, error.line);
    EXPECT_EQ(c.column, error.column);
    EXPECT_NE(std::string::npos, error.message.find(c.message)) << error.message;
  }
}

TEST(JsonParse, NestingIsBoundedWithoutCrashing) {
  std::string ok(json::kMaxDepth, '[');
  ok += std::string(json::kMaxDepth, ']');
  MustParse(ok);

  std::string deep(100000, '[');
  json::Value v;
  json::ParseError error;
  ASSERT_FALSE(json::Parse(deep, &v, &error));
  EXPECT_NE(std::string::npos, error.message.find("nesting deeper"));
  EXPECT_EQ(json::kMaxDepth + 1, error.column);
}

TEST(JsonParse, SkipsALeadingByteOrderMark) {
  json::Value v = MustParse("\xEF\xBB\xBF{\"a\": 1}");
  EXPECT_EQ(1, v.Find("a")->AsInteger());
}

TEST(JsonWrite, RoundTripsThroughTheReader) {
  const char* documents[] = {
      "{\"a\": [1, -9223372036854775808, true, null], \"b\": {\"c\": \"\\u0001\\\"\\\\\"}}",
      "[[], {}, [[[\"deep\"]]], \"caf\xC3\xA9\", \"\x7F\"]",
      "{\"long\": [\"0123456789012345678901234567890123456789\", "
      "\"0123456789012345678901234567890123456789\", "
      "\"0123456789012345678901234567890123456789\"]}",
  };
  for (const char* text : documents) {
    SCOPED_TRACE(text);
    json::Value first = MustParse(text);
    std::string written = json::Write(first);
    json::Value second = MustParse(written);
    EXPECT_EQ(written, json::Write(second));
  }
}

TEST(JsonWrite, ShortContainersOfScalarsStayOnOneLine) {
  json::Value v = json::Value::Object();
  json::Value& list = v.Set("list", json::Value::Array());
  list.Push(json::Value::Object()).Set("a", json::Value::Integer(1));
  list.Push(json::Value::Object())
      .Set("b", json::Value::Array())
      .Push(json::Value::Array())
      .Push(json::Value::Integer(2));
  EXPECT_EQ(
      "{\n"
      "  \"list\": [\n"
      "    {\"a\": 1},\n"
      "    {\n"
      "      \"b\": [\n"
      "        [2]\n"
      "      ]\n"
      "    }\n"
      "  ]\n"
      "}\n",
      json::Write(v));
}

TEST(JsonQuote, EscapesWhatJsonRequires) {
  EXPECT_EQ("\"a\\\"b\\\\c\\n\\u0001\\u007F\xC3\xA9\"",
            json::Quote("a\"b\\c\n\x01\x7F\xC3\xA9"));
}

TEST(JsonUtf8, Validation) {
  struct Case {
    const char* text;
    bool valid;
  } cases[] = {
      {"plain", true},
      {"\xC2\x80", true},
      {"\xDF\xBF", true},
      {"\xE0\xA0\x80", true},
      {"\xEF\xBF\xBF", true},
      {"\xF0\x90\x80\x80", true},
      {"\xF4\x8F\xBF\xBF", true},
      {"\x80", false},
      {"\xC1\xBF", false},
      {"\xE0\x9F\xBF", false},
      {"\xED\xBF\xBF", false},
      {"\xF0\x8F\xBF\xBF", false},
      {"\xF5\x80\x80\x80", false},
      {"\xFF", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.valid, json::IsValidUtf8(c.text));
  }
}

}  // namespace
