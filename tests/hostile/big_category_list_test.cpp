// A category list of about 1 MB holding 100,000 names: added to, removed
// from, split and matched.  Each operation must take time in proportion to
// the list; one that walks the list from its start again for every token
// would take minutes here.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "query/query.h"
#include "store/entry_node.h"
#include "store/node.h"
#include "store/str_buf.h"

namespace {

constexpr int kNames = 100000;

std::string NameAt(int i) {
  char name[16];
  std::snprintf(name, sizeof name, "Category%05d", i);
  return name;
}

class BigCategoryList : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < kNames; ++i) {
      if (i != 0) list_ += ",";
      list_ += NameAt(i);
    }
    ASSERT_GT(list_.size(), 1000000u);
    entry_ = new (std::nothrow) CEntryNode("E\\S");
    entry_->SetCategories(list_.c_str());
  }
  void TearDown() override { entry_->Destroy(1); }

  std::string list_;
  CEntryNode* entry_ = nullptr;
};

TEST_F(BigCategoryList, AddsOnlyWhatIsMissing) {
  // Present names at the start, middle and end are refused...
  for (int i : {0, kNames / 2, kNames - 1}) {
    SCOPED_TRACE(i);
    EXPECT_FALSE(entry_->AddCategory(CStrBuf(NameAt(i).c_str())));
  }
  EXPECT_EQ(list_.size(), std::strlen(entry_->GetCategories()));
  // ...a new one goes at the end.
  EXPECT_TRUE(entry_->AddCategory(CStrBuf("Fresh")));
  EXPECT_EQ(list_ + ",Fresh", entry_->GetCategories());
}

TEST_F(BigCategoryList, RemovesEveryEqualToken) {
  EXPECT_TRUE(entry_->RemoveCategory(CStrBuf(NameAt(kNames / 2).c_str())));
  const std::string middle = "," + NameAt(kNames / 2);
  std::string expected = list_;
  expected.erase(expected.find(middle), middle.size());
  EXPECT_EQ(expected, entry_->GetCategories());
  EXPECT_FALSE(entry_->RemoveCategory(CStrBuf("Absent")));
  EXPECT_EQ(expected, entry_->GetCategories());
  EXPECT_TRUE(entry_->RemoveCategory(CStrBuf(NameAt(0).c_str())));
  EXPECT_TRUE(entry_->RemoveCategory(CStrBuf(NameAt(kNames - 1).c_str())));
  EXPECT_EQ(list_.size() - 3 * (NameAt(0).size() + 1), std::strlen(entry_->GetCategories()));
}

TEST_F(BigCategoryList, TokensAndMatchesReachTheEnd) {
  const CStrBuf text(entry_->GetCategories());
  EXPECT_EQ(NameAt(kNames - 1), GetToken(text, kNames - 1, ',').GetText());
  EXPECT_STREQ("", GetToken(text, kNames, ',').GetText());
  const std::string last = NameAt(kNames - 1);
  EXPECT_TRUE(CategoryListContains(entry_->GetCategories(), last.data(), last.size()));
  EXPECT_FALSE(CategoryListContains(entry_->GetCategories(), "Category1", 9));

  CStoreNode* spec = CreateNodeOfKind(NODE_KIND_QUERY_TERM, "__QuerySpec");
  CStoreNode* top = CreateNodeOfKind(NODE_KIND_QUERY_TERM, "AND");
  ASSERT_TRUE(spec->AppendChild(top));
  ASSERT_TRUE(top->AppendChild(CreateNodeOfKind(NODE_KIND_QUERY_TERM, last.c_str())));
  EXPECT_TRUE(MatchesQuery(spec, entry_));
  ASSERT_TRUE(top->AppendChild(CreateNodeOfKind(NODE_KIND_QUERY_TERM, "Category1")));
  EXPECT_FALSE(MatchesQuery(spec, entry_));
  spec->Destroy(1);
}

}  // namespace
