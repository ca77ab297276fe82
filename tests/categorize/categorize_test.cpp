// Categorization rules against a stand-in store and the emulation's
// settable clock and list separator.
#include "categorize/categorize.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "categorize/navigation.h"
#include "host/shell_store_model.h"
#include "platform/emulation.h"
#include "store/heap.h"

namespace {

const char* const kBuiltIns[] = {
    "Outlook Flag",          "Outlook Flag Complete",   "Outlook Flag Purple",
    "Outlook Flag Orange",   "Outlook Flag Green",      "Outlook Flag Yellow",
    "Outlook Flag Blue",     "Outlook Flag Red",        "Outlook Task Not Started",
    "Outlook Task In Progress", "Outlook Task Complete", "Outlook Task Waiting",
    "Outlook Task Deferred", "Outlook Task Active",     "Outlook Task Inactive",
    "Outlook Item",          "Outlook Appt",            "Outlook Contact",
    "Outlook Mail",          "Outlook Note",            "Outlook Task",
    "Outlook Appt Today",    "Outlook Appt Future",     "Outlook Appt Past",
};

uint32_t DosDate(int year, int month, int day) {
  return static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | day);
}
uint32_t DosTime(int hour, int minute, int second) {
  return static_cast<uint32_t>((hour << 11) | (minute << 5) | (second / 2));
}

// Sets the clock so that local time is the given instant.
void SetLocalNow(uint32_t dosDate, uint32_t dosTime, int32_t offsetMinutes) {
  FILETIME local;
  ASSERT_TRUE(DosDateTimeToFileTime(static_cast<WORD>(dosDate),
                                    static_cast<WORD>(dosTime), &local));
  uint64_t ticks = (static_cast<uint64_t>(local.dwHighDateTime) << 32) |
                   local.dwLowDateTime;
  ticks -= static_cast<int64_t>(offsetMinutes) * 60 * 10000000;
  FILETIME utc = {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  emu::SetSystemTime(utc);
  emu::SetLocalTimeOffsetMinutes(offsetMinutes);
}

// One item's values, with defaults that touch nothing: no flag, no task
// status, a class without a class category, no start.
struct Item {
  CStrBuf entryId{"E1"};
  CStrBuf subject{"Subject"};
  CStrBuf categories{""};
  int32_t flagStatus = 0;
  int32_t flagIcon = 0;
  int32_t itemClass = 45;
  int32_t taskStatus = -1;
  uint32_t startDate = 0;
  uint32_t startTime = 0;
};

class CategorizeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    emu::Reset();
    SetLocalNow(DosDate(2024, 5, 15), DosTime(10, 0, 0), 0);
  }
  void TearDown() override { emu::Reset(); }

  void AddBuiltIns() {
    for (const char* name : kBuiltIns) model_.AddCategory(name);
  }

  void Run(Item& item, StoreHandle* store) {
    ItemSnapshot snapshot{store,          item.entryId,   item.subject,
                          item.categories, item.flagStatus, item.flagIcon,
                          item.itemClass, item.taskStatus, item.startDate,
                          item.startTime};
    CategorizeItem(snapshot);
  }
  void Run(Item& item) { Run(item, model_.Handle()); }

  // The entry's list, or "<none>" when there is no such entry.
  std::string ListOf(const char* name = "E1\\Subject") {
    CEntryNode* entry = FindEntry(model_.Handle(), name);
    return entry ? entry->GetCategories() : "<none>";
  }

  ShellStoreModel model_;
};

TEST_F(CategorizeTest, EntryIsNamedByIdAndSubjectAndReused) {
  model_.AddCategory("Outlook Item");
  Item item;
  item.entryId.Assign("00AB");
  item.subject.Assign("Re: a\\b");
  Run(item);
  Run(item);
  EXPECT_EQ("FileList{00AB\\Re: a\\b[Outlook Item]}",
            ShellStoreModel::Describe(model_.Folder("FileList")));

  // A new subject files the item anew; the old entry stays as it was.
  model_.AddCategory("Work");
  item.subject.Assign("Other");
  item.categories.Assign("Work");
  Run(item);
  EXPECT_EQ("FileList{00AB\\Re: a\\b[Outlook Item],00AB\\Other[Work,Outlook Item]}",
            ShellStoreModel::Describe(model_.Folder("FileList")));
}

TEST_F(CategorizeTest, SurvivingEntryRecordsTheItemClass) {
  model_.AddCategory("Outlook Item");
  CEntryNode* unsized = model_.AddFileEntry("E2\\Subject");
  const uint32_t oldRecord[8] = {0, 7, 99, 5, 0, 0, 0, 0};
  unsized->block1.data = static_cast<uint8_t*>(store_heap::Allocate(sizeof oldRecord));
  std::memcpy(unsized->block1.data, oldRecord, sizeof oldRecord);
  unsized->block1.length = sizeof oldRecord;

  Item item;
  item.itemClass = 43;
  Run(item);
  item.entryId.Assign("E2");
  item.itemClass = 26;
  Run(item);

  struct Case {
    const char* name;
    EntryAttributes expected;
  };
  const Case cases[] = {
      {"E1\\Subject", {32, 0, 43, 0, {0, 0, 0, 0}}},
      {"E2\\Subject", {32, 7, 26, 0, {0, 0, 0, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CEntryNode* entry = FindEntry(model_.Handle(), c.name);
    ASSERT_NE(nullptr, entry);
    ASSERT_EQ(32u, entry->block1.length);
    EXPECT_EQ(0, std::memcmp(&c.expected, entry->block1.data, 32));
  }
}

// The user-category step: whole names split at the locale's separator.
TEST_F(CategorizeTest, UserCategoriesMatchWholeNames) {
  struct Case {
    const char* what;
    const char* separator;  // "" makes the locale read fail
    const char* text;
    const char* expected;
  };
  // Categories in tree order: Work, Home, "My Stuff", Outlook Item.
  const Case cases[] = {
      {"part of a longer word", ",", "Homework", "Outlook Item"},
      {"comma and space", ",", "Home, Work", "Work,Home,Outlook Item"},
      {"spaces around names", ",", "  Work  ,Home ", "Work,Home,Outlook Item"},
      {"name with a space", ",", "My Stuff", "My Stuff,Outlook Item"},
      {"letter case differs", ",", "work, HOME", "Outlook Item"},
      {"other separator", ";", "Work; Home", "Work,Home,Outlook Item"},
      {"comma is no separator there", ";", "Work, Home", "Outlook Item"},
      {"separator of two characters", "||", "Home||Work", "Work,Home,Outlook Item"},
      {"locale unreadable", "", "Work, Home", "Work,Home,Outlook Item"},
      {"empty text", ",", "", "Outlook Item"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ShellStoreModel model;
    for (const char* name : {"Work", "Home", "My Stuff", "Outlook Item"}) {
      model.AddCategory(name);
    }
    emu::SetListSeparator(c.separator);
    Item item;
    item.categories.Assign(c.text);
    Run(item, model.Handle());
    CEntryNode* entry = FindEntry(model.Handle(), "E1\\Subject");
    ASSERT_NE(nullptr, entry);
    EXPECT_STREQ(c.expected, entry->GetCategories());
  }
}

TEST_F(CategorizeTest, UserStepAddsAndRemovesInTreeOrderAndLeavesOthers) {
  model_.AddCategory("Outlook Item");
  model_.AddCategory("B");
  model_.AddCategory("A");
  model_.AddFileEntry("E1\\Subject", "Legacy,A,B");
  Item item;
  item.categories.Assign("A, B");
  Run(item);
  EXPECT_EQ("Legacy,A,B,Outlook Item", ListOf());
  item.categories.Assign("A");
  Run(item);
  EXPECT_EQ("Legacy,A,Outlook Item", ListOf());
}

TEST_F(CategorizeTest, EmptyCategoryNameMatchesNoItem) {
  model_.AddCategory("Work");
  model_.AddCategory("");
  Item item;
  item.categories.Assign("Work");
  Run(item);
  EXPECT_EQ("Work", ListOf());
  item.categories.Assign("");
  Run(item);
  EXPECT_EQ("<none>", ListOf());
}

TEST_F(CategorizeTest, CategoryWithCommaIsPassedOver) {
  emu::SetListSeparator(";");
  model_.AddCategory("Outlook Item");
  model_.AddCategory("A,B");
  Item item;
  item.categories.Assign("A,B");
  Run(item);
  Run(item);
  EXPECT_EQ("Outlook Item", ListOf());

  // Nor is it removed from an entry that carries its pieces.
  model_.AddFileEntry("E2\\Subject", "A,B");
  item.entryId.Assign("E2");
  item.categories.Assign("");
  Run(item);
  EXPECT_EQ("A,B,Outlook Item", ListOf("E2\\Subject"));
}

TEST_F(CategorizeTest, FlagRules) {
  struct Case {
    int32_t flagStatus;
    int32_t flagIcon;
    const char* expected;
  };
  const Case cases[] = {
      {0, 0, "Outlook Item"},
      {-1, 0, "Outlook Item"},
      {1, 6, "Outlook Flag Complete,Outlook Item"},
      {2, 0, "Outlook Flag,Outlook Item"},
      {2, 1, "Outlook Flag,Outlook Flag Purple,Outlook Item"},
      {2, 2, "Outlook Flag,Outlook Flag Orange,Outlook Item"},
      {2, 3, "Outlook Flag,Outlook Flag Green,Outlook Item"},
      {2, 4, "Outlook Flag,Outlook Flag Yellow,Outlook Item"},
      {2, 5, "Outlook Flag,Outlook Flag Blue,Outlook Item"},
      {2, 6, "Outlook Flag,Outlook Flag Red,Outlook Item"},
      {2, 7, "Outlook Flag,Outlook Item"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.flagStatus << "/" << c.flagIcon);
    ShellStoreModel model;
    for (const char* name : kBuiltIns) model.AddCategory(name);
    Item item;
    item.flagStatus = c.flagStatus;
    item.flagIcon = c.flagIcon;
    Run(item, model.Handle());
    EXPECT_STREQ(c.expected, FindEntry(model.Handle(), "E1\\Subject")->GetCategories());
  }
}

// The explicit removals run whether the category exists or not, and no flag
// rule takes a colour away.
TEST_F(CategorizeTest, RuleRemovalsNeedNoCategoryNode) {
  model_.AddCategory("Outlook Item");
  model_.AddFileEntry("E1\\Subject",
                      "Outlook Flag,Outlook Flag Complete,Outlook Flag Red,"
                      "Outlook Task Waiting,Outlook Appt Past,Outlook Mail");
  Item item;
  Run(item);
  EXPECT_EQ("Outlook Flag Red,Outlook Task Waiting,Outlook Appt Past,"
            "Outlook Mail,Outlook Item",
            ListOf());

  item.flagStatus = 2;
  item.taskStatus = 5;
  item.startDate = DosDate(2024, 5, 15);
  Run(item);
  EXPECT_EQ("Outlook Flag Red,Outlook Mail,Outlook Item", ListOf());
}

TEST_F(CategorizeTest, TaskRules) {
  struct Case {
    int32_t taskStatus;
    const char* expected;
  };
  const char* const all =
      "Outlook Task Not Started,Outlook Task In Progress,Outlook Task Complete,"
      "Outlook Task Waiting,Outlook Task Deferred,Outlook Task Active,"
      "Outlook Task Inactive";
  const Case cases[] = {
      {-1, nullptr},  // untouched: all seven stay
      {0, "Outlook Task Not Started,Outlook Task Active,Outlook Item"},
      {1, "Outlook Task In Progress,Outlook Task Active,Outlook Item"},
      {2, "Outlook Task Complete,Outlook Task Inactive,Outlook Item"},
      {3, "Outlook Task Waiting,Outlook Task Inactive,Outlook Item"},
      {4, "Outlook Task Deferred,Outlook Task Inactive,Outlook Item"},
      {5, "Outlook Item"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.taskStatus);
    ShellStoreModel model;
    for (const char* name : kBuiltIns) model.AddCategory(name);
    Item item;
    // The user step puts all seven on the entry first.
    item.categories.Assign(all);
    item.taskStatus = c.taskStatus;
    Run(item, model.Handle());
    const std::string expected =
        c.expected ? c.expected : std::string(all) + ",Outlook Item";
    EXPECT_EQ(expected, FindEntry(model.Handle(), "E1\\Subject")->GetCategories());
  }
}

TEST_F(CategorizeTest, ClassRuleAddsOnly) {
  struct Case {
    int32_t itemClass;
    const char* expected;
  };
  const Case cases[] = {
      {26, "Outlook Contact,Outlook Item,Outlook Appt"},
      {40, "Outlook Contact,Outlook Item"},
      {43, "Outlook Contact,Outlook Item,Outlook Mail"},
      {44, "Outlook Contact,Outlook Item,Outlook Note"},
      {48, "Outlook Contact,Outlook Item,Outlook Task"},
      {45, "Outlook Contact,Outlook Item"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.itemClass);
    ShellStoreModel model;
    for (const char* name : kBuiltIns) model.AddCategory(name);
    Item item;
    item.categories.Assign("Outlook Contact");
    item.itemClass = c.itemClass;
    Run(item, model.Handle());
    EXPECT_STREQ(c.expected, FindEntry(model.Handle(), "E1\\Subject")->GetCategories());
  }
}

TEST_F(CategorizeTest, DateRulesOnAFixedClock) {
  struct Case {
    const char* what;
    uint32_t nowDate, nowTime;
    int32_t offsetMinutes;
    uint32_t startDate, startTime;
    const char* added;  // after "Outlook Item"; null: untouched
  };
  const uint32_t today = DosDate(2024, 5, 15);
  const uint32_t ten = DosTime(10, 0, 0);
  const Case cases[] = {
      {"earlier today", today, ten, 0, today, DosTime(9, 0, 0),
       "Outlook Appt Today,Outlook Appt Past"},
      {"later today", today, ten, 0, today, DosTime(11, 0, 0),
       "Outlook Appt Today,Outlook Appt Future"},
      {"exactly now", today, ten, 0, today, ten,
       "Outlook Appt Today,Outlook Appt Future"},
      {"two seconds ago", today, ten, 0, today, DosTime(9, 59, 58),
       "Outlook Appt Today,Outlook Appt Past"},
      {"tomorrow", today, ten, 0, DosDate(2024, 5, 16), ten, "Outlook Appt Future"},
      {"yesterday", today, ten, 0, DosDate(2024, 5, 14), DosTime(23, 58, 0),
       "Outlook Appt Past"},
      {"same day a year on", today, ten, 0, DosDate(2025, 5, 15), ten,
       "Outlook Appt Future"},
      // Local time is two hours ahead: UTC is still the 14th.
      {"today in local time", today, DosTime(1, 0, 0), 120, today,
       DosTime(0, 30, 0), "Outlook Appt Today,Outlook Appt Past"},
      {"local time behind UTC", today, DosTime(23, 0, 0), -120,
       DosDate(2024, 5, 16), DosTime(0, 30, 0), "Outlook Appt Future"},
      {"no start", today, ten, 0, 0, ten, nullptr},
      {"only high bits of the start", today, ten, 0, 0x10000u, ten, nullptr},
      {"start time rejected", today, ten, 0, today, DosTime(25, 0, 0),
       "Outlook Appt Today"},
      {"start date rejected", today, ten, 0, DosDate(2024, 13, 15), ten, ""},
  };
  const char* const all = "Outlook Appt Today,Outlook Appt Future,Outlook Appt Past";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ShellStoreModel model;
    for (const char* name : kBuiltIns) model.AddCategory(name);
    SetLocalNow(c.nowDate, c.nowTime, c.offsetMinutes);
    Item item;
    item.categories.Assign(all);  // the user step puts all three on first
    item.startDate = c.startDate;
    item.startTime = c.startTime;
    Run(item, model.Handle());
    std::string expected;
    if (!c.added) {
      expected = std::string(all) + ",Outlook Item";
    } else {
      expected = "Outlook Item";
      if (*c.added) expected += std::string(",") + c.added;
    }
    EXPECT_EQ(expected, FindEntry(model.Handle(), "E1\\Subject")->GetCategories());
  }
}

TEST_F(CategorizeTest, EntryWithoutCategoriesIsDroppedOrNeverFiled) {
  // Without "Outlook Item" an untagged item is not filed at all.
  for (const char* name : kBuiltIns) {
    if (std::strcmp(name, "Outlook Item") != 0) model_.AddCategory(name);
  }
  model_.AddFileEntry("Other\\x", "Legacy");
  const std::string before = ShellStoreModel::Describe(model_.Root());
  Item plain;
  Run(plain);
  EXPECT_EQ(before, ShellStoreModel::Describe(model_.Root()));

  // An entry that loses its last category goes.
  model_.AddCategory("Work");
  Item work;
  work.categories.Assign("Work");
  Run(work);
  EXPECT_EQ("Work", ListOf());
  work.categories.Assign("");
  Run(work);
  EXPECT_EQ("<none>", ListOf());
  EXPECT_EQ("FileList{Other\\x[Legacy]}",
            ShellStoreModel::Describe(model_.Folder("FileList")));
}

TEST_F(CategorizeTest, StoresThatCannotTakeTheItem) {
  Item item;
  item.flagStatus = 2;
  // Null store, no document, no FileList: nothing at all happens.
  Run(item, nullptr);
  model_.AddCategory("Outlook Item");
  model_.SetDocumentPresent(false);
  const std::string before = ShellStoreModel::Describe(model_.Root());
  Run(item);
  model_.SetDocumentPresent(true);
  EXPECT_EQ(before, ShellStoreModel::Describe(model_.Root()));

  ShellStoreModel noFileList(ShellStoreModel::Shape::kEmptyRoot);
  noFileList.AddFolder("CategoryTree");
  noFileList.AddCategory("Outlook Item");
  Run(item, noFileList.Handle());
  EXPECT_EQ("Root{CategoryTree{Outlook Item}}",
            ShellStoreModel::Describe(noFileList.Root()));

  // Without CategoryTree nothing is added, the removals still run and the
  // emptied entry goes.
  ShellStoreModel noTree(ShellStoreModel::Shape::kEmptyRoot);
  noTree.AddFolder("FileList");
  noTree.AddFileEntry("E1\\Subject", "Outlook Flag Complete");
  item.flagStatus = 0;
  Run(item, noTree.Handle());
  EXPECT_EQ("Root{FileList}", ShellStoreModel::Describe(noTree.Root()));
}

TEST_F(CategorizeTest, EntryOperationsOnlyReachEntries) {
  model_.AddCategory("Work");
  CStoreNode* impostor = ShellStoreModel::Link(
      model_.Folder("FileList"), new (std::nothrow) CBranchNode("E1\\Subject"));
  Item item;
  item.categories.Assign("Work");
  Run(item);
  EXPECT_EQ("FileList{E1\\Subject,E1\\Subject[Work]}",
            ShellStoreModel::Describe(model_.Folder("FileList")));
  EXPECT_EQ(nullptr, AsNamed(impostor)->block1.data);
  EXPECT_EQ(nullptr, AsNamed(impostor)->block2.data);
}

TEST(CategoriesTextNamesTest, SplitsTrimsAndComparesWhole) {
  struct Case {
    const char* text;
    const char* separator;
    const char* name;
    bool found;
  };
  const Case cases[] = {
      {"Work", ",", "Work", true},
      {"Homework", ",", "Work", false},
      {"Work,", ",", "Work", true},
      {",,Work", ",", "Work", true},
      {" Work ", ",", "Work", true},
      {"Wo rk", ",", "Wo rk", true},
      {"Wo, rk", ",", "Wo rk", false},
      {"a;b", ",", "a;b", true},
      {"a;;b", ";;", "b", true},
      {"", ",", "", false},
      {",", ",", "", false},
      {"WORK", ",", "Work", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << '"' << c.text << "\" / " << c.name);
    EXPECT_EQ(c.found, CategoriesTextNames(c.text, c.separator,
                                           std::strlen(c.separator), c.name,
                                           std::strlen(c.name)));
  }
}

}  // namespace

namespace {

// Whatever allocation fails during an event, the store is left whole: the
// entry is either filed as usual or not at all, and nothing leaks.
TEST_F(CategorizeTest, AllocationFailureLeavesAWholeStore) {
  AddBuiltIns();
  model_.AddCategory("Work");
  Item item;
  item.categories.Assign("Work");
  item.flagStatus = 2;
  item.flagIcon = 3;
  item.itemClass = 43;
  Run(item);  // first use makes the fixed names
  const std::string filed = ShellStoreModel::Describe(model_.Folder("FileList"));
  ASSERT_EQ("FileList{E1\\Subject[Work,Outlook Flag,Outlook Flag Green,"
            "Outlook Item,Outlook Mail]}",
            filed);
  CStoreNode* fileList = model_.Folder("FileList");
  CStoreNode* entry = fileList->GetFirstChild();
  ASSERT_TRUE(fileList->UnlinkChild(entry));
  entry->Destroy(1);
  const int64_t live = store_heap::Live();
  for (int64_t skip = 0; skip < 40; ++skip) {
    SCOPED_TRACE(skip);
    store_heap::FailAllocations(skip, 1);
    Run(item);
    store_heap::FailNone();
    CEntryNode* made = FindEntry(model_.Handle(), "E1\\Subject");
    if (made) {
      ASSERT_TRUE(fileList->UnlinkChild(made));
      made->Destroy(1);
    }
    EXPECT_EQ("FileList", ShellStoreModel::Describe(fileList));
    EXPECT_EQ(live, store_heap::Live());
  }
}

}  // namespace
