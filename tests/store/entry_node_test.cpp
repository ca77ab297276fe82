#include "store/entry_node.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "platform/emulation.h"
#include "tests/store/store_test_util.h"

namespace {

using store_test::BlockBytes;
using store_test::HeapCheckedTest;
using store_test::WordAt;

class EntryTest : public HeapCheckedTest {
 protected:
  void SetUp() override {
    HeapCheckedTest::SetUp();
    entry_ = new (std::nothrow) CEntryNode("E1\\Subject");
    ASSERT_NE(entry_, nullptr);
    emu::ClearDebugOutput();
  }
  void TearDown() override {
    entry_->Destroy(1);
    HeapCheckedTest::TearDown();
  }

  // The list as stored: text and terminator, or absent.
  std::string StoredList() const {
    return BlockBytes(entry_->block2.data, entry_->block2.length);
  }
  // Sets the list bytes directly (null: absent).
  void SetList(const char* text) { entry_->SetCategories(text); }

  CEntryNode* entry_ = nullptr;
};

TEST_F(EntryTest, CategoriesAreNeverNull) {
  EXPECT_STREQ(entry_->GetCategories(), "");
  EXPECT_EQ(entry_->GetCategories(), entry_->emptyText);
  entry_->SetCategories("Work");
  EXPECT_STREQ(entry_->GetCategories(), "Work");
  EXPECT_EQ(StoredList(), std::string("Work\0", 5));
  entry_->SetCategories(entry_->GetCategories());  // its own text
  EXPECT_STREQ(entry_->GetCategories(), "Work");
  entry_->SetCategories(nullptr);
  EXPECT_EQ(entry_->GetCategories(), entry_->emptyText);
  EXPECT_EQ(entry_->block2.data, nullptr);
  EXPECT_EQ(entry_->block2.length, 0u);
  entry_->SetCategories("");
  EXPECT_EQ(StoredList(), std::string("\0", 1));
  EXPECT_STREQ(entry_->GetCategories(), "");
}

TEST(GetTokenTest, CountsOnlyNonEmptyTokens) {
  struct Case {
    const char* text;
    int32_t index;
    char separator;
    const char* expected;
  };
  const Case cases[] = {
      {",,a,,b,,", 0, ',', "a"},  {",,a,,b,,", 1, ',', "b"},
      {",,a,,b,,", 2, ',', ""},   {"a,,b,", 1, ',', "b"},
      {"a,,b,", 2, ',', ""},      {"", 0, ',', ""},
      {"", 5, ',', ""},           {" a,a", 0, ',', " a"},
      {" a,a", 1, ',', "a"},      {"abc", 0, ',', "abc"},
      {"abc", 1, ',', ""},        {"abc", -1, ',', ""},
      {",,,", 0, ',', ""},        {"Work,Outlook Mail", 1, ',', "Outlook Mail"},
      {"a;b,c", 1, ';', "b,c"},   {"a;b,c", 0, ',', "a;b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " #" + std::to_string(c.index));
    const CStrBuf token = GetToken(CStrBuf(c.text), c.index, c.separator);
    ASSERT_NE(token.GetText(), nullptr);
    EXPECT_STREQ(token.GetText(), c.expected);
  }
}

TEST(CategoryListContainsTest, MatchesWholeTokensOnly) {
  struct Case {
    const char* list;
    const char* name;
    size_t length;
    bool expected;
  };
  const Case cases[] = {
      {"a,b", "b", 1, true},       {"a,b", "", 0, false},
      {",,", "", 0, false},        {"ab", "a", 1, false},
      {"a", "ab", 2, false},       {"a b,c", "a b", 3, true},
      {"ab", "abc", 2, true},      {nullptr, "a", 1, false},
      {",Work,", "Work", 4, true}, {"Work", "work", 4, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.list ? c.list : "(null)") + " / " + c.name);
    EXPECT_EQ(CategoryListContains(c.list, c.name, c.length), c.expected);
  }
}

struct ListStep {
  const char* name;
  bool answer;
  const char* list;  // the stored text afterwards
};

TEST_F(EntryTest, AddCategorySequences) {
  struct Case {
    const char* title;
    const char* initial;  // null: no list
    std::vector<ListStep> steps;
  };
  const Case cases[] = {
      {"names in the order added; duplicates refused, case counts", nullptr,
       {{"Work", true, "Work"},
        {"Work", false, "Work"},
        {"Home", true, "Work,Home"},
        {"work", true, "Work,Home,work"}}},
      {"empty names are appended", "a",
       {{"", true, "a,"}, {"", true, "a,,"}, {"a", false, "a,,"}}},
      {"empty name on an empty list", nullptr, {{"", true, ""}}},
      {"duplicate found among empty tokens", "x,,Work,", {{"Work", false, "x,,Work,"}}},
      {"a name holding a comma reads back as two", "a",
       {{"a,b", true, "a,a,b"}, {"b", false, "a,a,b"}}},
      {"a leading space makes another name", "a", {{" a", true, "a, a"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    SetList(c.initial);
    for (const ListStep& step : c.steps) {
      SCOPED_TRACE(step.name);
      EXPECT_EQ(entry_->AddCategory(CStrBuf(step.name)), step.answer);
      EXPECT_EQ(StoredList(), std::string(step.list) + '\0');
    }
  }
}

TEST_F(EntryTest, RemoveCategoryCases) {
  struct Case {
    const char* initial;  // null: no list
    const char* name;
    bool answer;
    const char* list;
  };
  const Case cases[] = {
      {"A,B,C,B", "B", true, "A,C"},  {"A,,C", "X", false, "A,C"},
      {"A", "A", true, ""},           {nullptr, "X", false, ""},
      {",,A,,A,", "A", true, ""},     {"A,B", "", false, "A,B"},
      {" A,A", "A", true, " A"},      {"Work,work", "Work", true, "work"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.initial ? c.initial : "(none)") + " - " + c.name);
    SetList(c.initial);
    EXPECT_EQ(entry_->RemoveCategory(CStrBuf(c.name)), c.answer);
    // Always rewritten: a present block, even when it was absent.
    EXPECT_EQ(StoredList(), std::string(c.list) + '\0');
  }
}

// The index-by-index walk with GetToken, as the list rules read.
bool ReferenceAdd(std::string* list, const std::string& name) {
  const CStrBuf copy(list->c_str());
  for (int32_t i = 0;; ++i) {
    const CStrBuf token = GetToken(copy, i, ',');
    if (token.GetLength() == 0) break;
    if (name == token.GetText()) return false;
  }
  if (!list->empty()) *list += ',';
  *list += name;
  return true;
}

bool ReferenceRemove(std::string* list, const std::string& name) {
  const CStrBuf copy(list->c_str());
  std::string result;
  bool found = false;
  for (int32_t i = 0;; ++i) {
    const CStrBuf token = GetToken(copy, i, ',');
    if (token.GetLength() == 0) break;
    if (name == token.GetText()) {
      found = true;
      continue;
    }
    if (!result.empty()) result += ',';
    result += token.GetText();
  }
  *list = result;
  return found;
}

TEST_F(EntryTest, OnePassWalksAnswerAsTheIndexWalk) {
  std::mt19937 random(20240611);
  const char alphabet[] = {'a', 'b', ',', ',', ' '};
  const char* names[] = {"", "a", "b", "ab", "a b", "a,b", " a", "ba"};
  for (int round = 0; round < 3000; ++round) {
    std::string list;
    const int length = static_cast<int>(random() % 9);
    for (int i = 0; i < length; ++i) list += alphabet[random() % sizeof alphabet];
    const std::string name = names[random() % (sizeof names / sizeof names[0])];
    const bool add = random() % 2 == 0;
    SCOPED_TRACE("'" + list + "' " + (add ? "add '" : "remove '") + name + "'");

    SetList(list.c_str());
    std::string expected = list;
    const bool answer = add ? ReferenceAdd(&expected, name) : ReferenceRemove(&expected, name);
    const bool actual = add ? entry_->AddCategory(CStrBuf(name.c_str()))
                            : entry_->RemoveCategory(CStrBuf(name.c_str()));
    ASSERT_EQ(actual, answer);
    ASSERT_EQ(StoredList(), expected + '\0');
  }
}

// A quadratic walk over this list would not finish in any reasonable time.
TEST_F(EntryTest, HundredThousandNames) {
  std::string list;
  for (int i = 0; i < 100000; ++i) {
    if (i) list += ',';
    list += "Category " + std::to_string(i);
  }
  SetList(list.c_str());
  EXPECT_FALSE(entry_->AddCategory(CStrBuf("Category 99999")));
  EXPECT_FALSE(entry_->AddCategory(CStrBuf("Category 0")));
  EXPECT_TRUE(entry_->AddCategory(CStrBuf("Category 100000")));
  EXPECT_EQ(StoredList(), list + ",Category 100000" + '\0');
  EXPECT_TRUE(entry_->RemoveCategory(CStrBuf("Category 100000")));
  EXPECT_TRUE(entry_->RemoveCategory(CStrBuf("Category 50000")));
  EXPECT_FALSE(entry_->RemoveCategory(CStrBuf("Category 50000")));
  const std::string removed = ",Category 50000,";
  std::string expected = list;
  expected.erase(expected.find(removed), removed.size() - 1);
  EXPECT_EQ(StoredList(), expected + '\0');
  EXPECT_TRUE(CategoryListContains(entry_->GetCategories(), "Category 77777", 14));
}

TEST_F(EntryTest, ListEditsWithoutMemoryKeepTheList) {
  SetList("A,B");
  const CStrBuf added("C");
  const CStrBuf removed("A");
  store_heap::FailAllocations(0, 2);
  EXPECT_FALSE(entry_->AddCategory(added));
  EXPECT_FALSE(entry_->RemoveCategory(removed));
  store_heap::FailNone();
  EXPECT_EQ(StoredList(), std::string("A,B") + '\0');
}

TEST_F(EntryTest, FullPathFromUserData) {
  struct Case {
    const char* userData;  // null: none
    bool fileNameOnly;
    const char* expected;
    bool debugLine;
  };
  const Case cases[] = {
      {"C:\\dir\\file.txt", true, "file.txt", false},
      {"C:\\dir\\file.txt", false, "C:\\dir\\file.txt", false},
      {"dir\\file.txt", true, "dir\\file.txt", false},
      {"C:file", true, "C:file", true},
      {"C:file", false, "C:file", false},
      {"C:\\", true, "", false},
      {"", true, "", false},
      {nullptr, true, "GetFullPathFromUserData called incorrectly", false},
      {nullptr, false, "GetFullPathFromUserData called incorrectly", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.userData ? c.userData : "(none)") +
                 (c.fileNameOnly ? " file name" : " whole"));
    emu::ClearDebugOutput();
    entry_->SetUserData(c.userData);
    EXPECT_STREQ(entry_->GetFullPathFromUserData(c.fileNameOnly), c.expected);
    if (c.debugLine) {
      EXPECT_EQ(emu::DebugOutput(), std::vector<std::string>{"GFPFUD: error\n"});
    } else {
      EXPECT_TRUE(emu::DebugOutput().empty());
    }
  }
  entry_->SetUserData("C:\\a\\b");
  EXPECT_EQ(BlockBytes(entry_->block3.data, entry_->block3.length),
            std::string("C:\\a\\b\0", 7));
}

TEST_F(EntryTest, DisplayNames) {
  struct Case {
    const char* name;
    const char* userData;
    const char* expected;
  };
  const Case cases[] = {
      {"ABC\\Meeting", nullptr, "Meeting"},
      {"C:\\", nullptr, "C:\\"},
      {"D:\\x", nullptr, "x"},
      {"abc\\", nullptr, ""},
      {"CD\\", nullptr, ""},
      {"C:\\\\", nullptr, ""},
      {"plain", nullptr, "plain"},
      {"", nullptr, ""},
      {"E1\\Re: a\\b", nullptr, "b"},
      {"C:/x", nullptr, "C:/x"},
      {"ABC\\Meeting", "Q:\\path\\f.msg", "Q:\\path\\f.msg"},
      {"C:\\", "C:file", "C:file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CEntryNode* entry = new (std::nothrow) CEntryNode(c.name);
    entry->SetUserData(c.userData);
    const CStrBuf shown = entry->GetDisplayName();
    EXPECT_STREQ(shown.GetText(), c.expected);
    entry->Destroy(1);
  }
  EXPECT_TRUE(emu::DebugOutput().empty());
}

TEST_F(EntryTest, NotifyAndInfoCode) {
  uint32_t code = 0xFFFFFFFFu;
  EXPECT_EQ(entry_->GetInfoCode(&code), 3);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(entry_->GetInfoCode(nullptr), 3);
  SetList("A");
  entry_->Notify(1, 2);
  EXPECT_EQ(StoredList(), std::string("A\0", 2));
}

// block1 as the given words (exactly that many bytes), or absent.
struct AttributeCase {
  const char* title;
  std::vector<uint8_t> initial;
  bool present;
  bool itemClass;  // SetItemClass(43), else SetNodeValue(-2)
  std::vector<uint32_t> expected;  // words afterwards
};

std::vector<uint8_t> Words(std::initializer_list<uint32_t> words) {
  std::vector<uint8_t> bytes;
  for (uint32_t word : words) store_test::PutWord(&bytes, word);
  return bytes;
}

TEST_F(EntryTest, AttributeRecordWrites) {
  const uint32_t minus2 = 0xFFFFFFFEu;
  const AttributeCase cases[] = {
      {"created from nothing", {}, false, true, {32, 0, 43, 0, 0, 0, 0, 0}},
      {"node value created from nothing", {}, false, false, {32, 0, 0, minus2, 0, 0, 0, 0}},
      {"unsized record replaced, preserved word taken over",
       Words({0, 7, 1, 2, 3, 4, 5, 6}), true, true, {32, 7, 43, 0, 0, 0, 0, 0}},
      {"sized record changes only its word", Words({32, 5, 1, 2, 9, 9, 9, 9}), true, true,
       {32, 5, 43, 2, 9, 9, 9, 9}},
      {"sized record, node value", Words({32, 5, 1, 2, 9, 9, 9, 9}), true, false,
       {32, 5, 1, minus2, 9, 9, 9, 9}},
      {"16 bytes are written in place", Words({16, 7, 1, 2}), true, true, {16, 7, 43, 2}},
      {"12 bytes are replaced, preserved word kept", Words({32, 7, 1}), true, true,
       {32, 7, 43, 0, 0, 0, 0, 0}},
      {"8 bytes: preserved word kept", Words({5, 9}), true, false,
       {32, 9, 0, minus2, 0, 0, 0, 0}},
      {"8 unsized bytes", Words({0, 9}), true, true, {32, 9, 43, 0, 0, 0, 0, 0}},
      {"4 bytes: no preserved word", Words({5}), true, true, {32, 0, 43, 0, 0, 0, 0, 0}},
      {"2 bytes", {1, 2}, true, true, {32, 0, 43, 0, 0, 0, 0, 0}},
      {"7 bytes", {1, 2, 3, 4, 5, 6, 7}, true, true, {32, 0, 43, 0, 0, 0, 0, 0}},
  };
  for (const AttributeCase& c : cases) {
    SCOPED_TRACE(c.title);
    CEntryNode* entry = new (std::nothrow) CEntryNode("e");
    if (c.present) {
      // Exactly the block's bytes, so that a write past them is seen.
      entry->block1.data = static_cast<uint8_t*>(store_heap::Allocate(c.initial.size()));
      std::memcpy(entry->block1.data, c.initial.data(), c.initial.size());
      entry->block1.length = static_cast<uint32_t>(c.initial.size());
    }
    if (c.itemClass) {
      entry->SetItemClass(43);
    } else {
      entry->SetNodeValue(-2);
    }
    ASSERT_NE(entry->block1.data, nullptr);
    ASSERT_EQ(entry->block1.length, 4 * c.expected.size());
    for (size_t i = 0; i < c.expected.size(); ++i) {
      EXPECT_EQ(WordAt(entry->block1.data + 4 * i), c.expected[i]) << "word " << i;
    }
    entry->Destroy(1);
  }
}

TEST_F(EntryTest, BothAttributeWordsTogether) {
  entry_->SetItemClass(43);
  entry_->SetNodeValue(1234);
  entry_->SetItemClass(26);
  ASSERT_EQ(entry_->block1.length, 32u);
  const EntryAttributes* attributes =
      reinterpret_cast<const EntryAttributes*>(entry_->block1.data);
  EXPECT_EQ(attributes->recordSize, 32u);
  EXPECT_EQ(attributes->preservedWord, 0u);
  EXPECT_EQ(attributes->itemClass, 26);
  EXPECT_EQ(attributes->nodeValue, 1234);
  for (uint32_t word : attributes->reservedWords) EXPECT_EQ(word, 0u);
}

TEST_F(EntryTest, AttributeRecordWithoutMemoryStaysAbsent) {
  store_heap::FailAllocations(0, 1);
  entry_->SetItemClass(43);
  store_heap::FailNone();
  EXPECT_EQ(entry_->block1.data, nullptr);
  EXPECT_EQ(entry_->block1.length, 0u);
}

}  // namespace
