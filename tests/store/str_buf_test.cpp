#include "store/str_buf.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "tests/store/store_test_util.h"

namespace {

using store_test::HeapCheckedTest;

enum class Op { kAssign, kReserve, kAppend };

struct Step {
  Op op;
  const char* text;  // Assign/Append source; null allowed for Assign
  int32_t size;      // Reserve
  uint32_t keep;     // Reserve
  int32_t capacity;  // expected afterwards
  const char* expected;  // expected text afterwards; null: no storage
};

struct CapacityCase {
  const char* name;
  bool defaultConstructed;
  const char* source;  // for construction from a text
  int32_t capacity;    // after construction
  std::vector<Step> steps;
};

const CapacityCase kCapacityCases[] = {
    {"empty construction", true, nullptr, 1, {}},
    {"null source", false, nullptr, 1, {}},
    {"assign grows to length plus one, never shrinks", true, nullptr, 1,
     {{Op::kAssign, "abc", 0, 0, 4, "abc"}, {Op::kAssign, "a", 0, 0, 4, "a"}}},
    {"assign null keeps capacity", false, "abc", 4,
     {{Op::kAssign, nullptr, 0, 0, 4, ""}}},
    {"reserve keeps, then ignores smaller and negative sizes", false, "abc", 4,
     {{Op::kReserve, nullptr, 10, 1, 10, "abc"},
      {Op::kReserve, nullptr, 3, 1, 10, "abc"},
      {Op::kReserve, nullptr, -5, 1, 10, "abc"}}},
    {"reserve below capacity changes nothing", false, "abc", 4,
     {{Op::kReserve, nullptr, 3, 0, 4, "abc"},
      {Op::kReserve, nullptr, 4, 0, 4, "abc"},
      {Op::kReserve, nullptr, -5, 0, 4, "abc"}}},
    {"reserve zero releases, assign null gives one byte", false, "abc", 4,
     {{Op::kReserve, nullptr, 0, 1, 0, nullptr},
      {Op::kAssign, nullptr, 0, 0, 1, ""}}},
    {"reserve zero, then append grows from nothing", false, "abc", 4,
     {{Op::kReserve, nullptr, 0, 0, 0, nullptr},
      {Op::kAppend, "xy", 0, 0, 3, "xy"}}},
    {"appends grow to exactly what is needed", false, "E1", 3,
     {{Op::kAppend, "\\", 0, 0, 4, "E1\\"},
      {Op::kAppend, "Subject", 0, 0, 11, "E1\\Subject"}}},
    {"append within capacity does not grow", false, "ab", 3,
     {{Op::kReserve, nullptr, 8, 1, 8, "ab"},
      {Op::kAppend, "cdefg", 0, 0, 8, "abcdefg"},
      {Op::kAppend, "h", 0, 0, 9, "abcdefgh"}}},
    {"append of nothing", false, "ab", 3,
     {{Op::kAppend, "", 0, 0, 3, "ab"}, {Op::kAppend, nullptr, 0, 0, 3, "ab"}}},
    {"assign exactly at capacity, then one past", false, "abc", 4,
     {{Op::kReserve, nullptr, 10, 1, 10, "abc"},
      {Op::kAssign, "abcdefghi", 0, 0, 10, "abcdefghi"},
      {Op::kAssign, "abcdefghij", 0, 0, 11, "abcdefghij"}}},
    // Only the low byte of keep counts: 0x100 means "do not keep".
    {"keep examined in its low byte: 0x100 drops", false, "abc", 4,
     {{Op::kReserve, nullptr, 8, 0x100, 8, ""}}},
    {"keep examined in its low byte: 0x201 keeps", false, "abc", 4,
     {{Op::kReserve, nullptr, 8, 0x201, 8, "abc"}}},
};

class StrBufTest : public HeapCheckedTest {};

TEST_F(StrBufTest, CapacitySequences) {
  for (const CapacityCase& c : kCapacityCases) {
    SCOPED_TRACE(c.name);
    CStrBuf buffer = c.defaultConstructed ? CStrBuf() : CStrBuf(c.source);
    ASSERT_EQ(buffer.GetCapacity(), c.capacity);
    ASSERT_STREQ(buffer.GetText(), c.source ? c.source : "");
    int stepNumber = 0;
    for (const Step& step : c.steps) {
      SCOPED_TRACE(++stepNumber);
      switch (step.op) {
        case Op::kAssign:
          buffer.Assign(step.text);
          break;
        case Op::kReserve:
          buffer.Reserve(step.size, step.keep);
          break;
        case Op::kAppend:
          buffer.Append(step.text);
          break;
      }
      EXPECT_EQ(buffer.GetCapacity(), step.capacity);
      if (step.expected == nullptr) {
        EXPECT_EQ(buffer.GetText(), nullptr);
        EXPECT_EQ(buffer.GetLength(), 0u);
      } else {
        ASSERT_NE(buffer.GetText(), nullptr);
        EXPECT_STREQ(buffer.GetText(), step.expected);
        EXPECT_EQ(buffer.GetLength(), std::strlen(step.expected));
      }
    }
  }
}

TEST_F(StrBufTest, CopiesOwnTheirStorage) {
  CStrBuf original("Work");
  original.Reserve(40, 1);
  CStrBuf copy(original);
  EXPECT_EQ(copy.GetCapacity(), 5);  // sized to the text, not the source's storage
  EXPECT_STREQ(copy.GetText(), "Work");
  EXPECT_NE(copy.GetText(), original.GetText());
  original.Assign("Home");
  EXPECT_STREQ(copy.GetText(), "Work");

  CStrBuf moved(std::move(copy));
  EXPECT_STREQ(moved.GetText(), "Work");
  EXPECT_EQ(moved.GetCapacity(), 5);
}

TEST_F(StrBufTest, AppendOfItsOwnText) {
  struct Case {
    const char* name;
    int32_t reserve;  // before appending; 0: as constructed
    size_t offset;    // where in the own text the source starts
    const char* expected;
    int32_t capacity;
  };
  const Case cases[] = {
      {"whole text, growing", 0, 0, "abcabc", 7},
      {"tail of the text, growing", 0, 1, "abcbc", 6},
      {"whole text, in place", 16, 0, "abcabc", 16},
      {"tail of the text, in place", 16, 2, "abcc", 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CStrBuf buffer("abc");
    if (c.reserve) buffer.Reserve(c.reserve, 1);
    buffer.Append(buffer.GetText() + c.offset);
    EXPECT_STREQ(buffer.GetText(), c.expected);
    EXPECT_EQ(buffer.GetCapacity(), c.capacity);
  }
  CStrBuf buffer("xyz");
  buffer.Assign(buffer.GetText() + 1);
  EXPECT_STREQ(buffer.GetText(), "yz");
  EXPECT_EQ(buffer.GetCapacity(), 4);
}

TEST_F(StrBufTest, AppendWithLength) {
  CStrBuf buffer("ab");
  buffer.Append("cdef", 2);
  EXPECT_STREQ(buffer.GetText(), "abcd");
  EXPECT_EQ(buffer.GetCapacity(), 5);
}

TEST_F(StrBufTest, WithoutMemoryTheBufferKeepsWhatFits) {
  {
    SCOPED_TRACE("reserve leaves the buffer as it was");
    CStrBuf buffer("abc");
    const char* before = buffer.GetText();
    store_heap::FailAllocations(0, 1);
    buffer.Reserve(10, 1);
    EXPECT_EQ(buffer.GetText(), before);
    EXPECT_EQ(buffer.GetCapacity(), 4);
    EXPECT_STREQ(buffer.GetText(), "abc");
  }
  {
    SCOPED_TRACE("assign truncates to the storage held");
    CStrBuf buffer("abc");
    store_heap::FailAllocations(0, 1);
    buffer.Assign("wxyz12");
    EXPECT_STREQ(buffer.GetText(), "wxy");
    EXPECT_EQ(buffer.GetCapacity(), 4);
  }
  {
    SCOPED_TRACE("append truncates to the storage held");
    CStrBuf buffer("ab");
    buffer.Reserve(5, 1);
    store_heap::FailAllocations(0, 1);
    buffer.Append("cdef");
    EXPECT_STREQ(buffer.GetText(), "abcd");
    EXPECT_EQ(buffer.GetCapacity(), 5);
  }
  {
    SCOPED_TRACE("append of its own text truncates too");
    CStrBuf buffer("abc");
    store_heap::FailAllocations(0, 1);
    buffer.Append(buffer.GetText());
    EXPECT_STREQ(buffer.GetText(), "abc");
    EXPECT_EQ(buffer.GetCapacity(), 4);
  }
  {
    SCOPED_TRACE("construction without memory holds no storage");
    store_heap::FailAllocations(0, 1);
    CStrBuf buffer("abc");
    store_heap::FailNone();
    EXPECT_EQ(buffer.GetText(), nullptr);
    EXPECT_EQ(buffer.GetCapacity(), 0);
    EXPECT_EQ(buffer.GetLength(), 0u);
    buffer.Append("de");  // recovers once memory is there
    EXPECT_STREQ(buffer.GetText(), "de");
  }
}

TEST_F(StrBufTest, HeapBuffersGoThroughTheDestructorSlot) {
  CStrBuf* buffer = CStrBuf::Create("name");
  ASSERT_NE(buffer, nullptr);
  EXPECT_STREQ(buffer->GetText(), "name");
  const int64_t frees = store_heap::Frees();
  EXPECT_EQ(buffer->Destroy(1), static_cast<void*>(buffer));
  EXPECT_EQ(store_heap::Frees(), frees + 2);  // storage and object

  // Without bit 0 only the destructor runs; the memory stays the caller's.
  void* memory = std::malloc(sizeof(CStrBuf));
  CStrBuf* placed = ::new (memory) CStrBuf("abc");
  EXPECT_EQ(placed->Destroy(0x2), memory);
  EXPECT_EQ(placed->text, nullptr);
  EXPECT_EQ(placed->capacity, 0);
  std::free(memory);
}

TEST_F(StrBufTest, CreateWithoutMemoryAnswersNull) {
  for (int64_t skip : {0, 1}) {
    SCOPED_TRACE(skip);
    store_heap::FailAllocations(skip, 1);
    EXPECT_EQ(CStrBuf::Create("abc"), nullptr);
    store_heap::FailNone();
  }
}

}  // namespace
