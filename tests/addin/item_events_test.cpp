// The item event road through the add-in's IDispatch::Invoke: which calls
// are handled, how an item's properties are read (observed through the
// entry the categorizer files in the companion stand-in's store), the
// companion's creation and store, and the refresh commands.

#include <gtest/gtest.h>

#include <string>

#include "store/entry_node.h"
#include "tests/addin/addin_fixture.h"

namespace addin_test {
namespace {

using outlook_sim::SimItem;
using outlook_sim::VariantEmpty;
using outlook_sim::VariantFromBool;
using outlook_sim::VariantFromDate;
using outlook_sim::VariantFromI4;
using outlook_sim::VariantFromInt;
using outlook_sim::VariantFromString;
using outlook_sim::VariantFromUtf8;

const char* const kBuiltins[] = {
    "Outlook Flag", "Outlook Flag Complete", "Outlook Flag Purple",
    "Outlook Flag Orange", "Outlook Flag Green", "Outlook Flag Yellow",
    "Outlook Flag Blue", "Outlook Flag Red", "Outlook Task Not Started",
    "Outlook Task In Progress", "Outlook Task Complete", "Outlook Task Waiting",
    // "Outlook Task Deferred" is left out: an entry carrying it shows
    // whether the task rules ran (they remove it) or not.
    "Outlook Task Active", "Outlook Task Inactive", "Outlook Item",
    "Outlook Appt", "Outlook Contact", "Outlook Mail", "Outlook Note",
    "Outlook Task", "Outlook Appt Today", "Outlook Appt Future",
    "Outlook Appt Past"};

const char kTaskSentinel[] = "Outlook Task Deferred";

VARIANT VariantOfType(VARTYPE vt, int64_t bits) {
  VARIANT v;
  VariantInit(&v);
  v.vt = vt;
  v.llVal = bits;
  return v;
}

VARIANT VariantFromDouble(double value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_R8;
  v.dblVal = value;
  return v;
}

class ItemEventTest : public AddinFixture {
 protected:
  void SetUp() override {
    AddinFixture::SetUp();
    // 2024-05-15 10:00:00, local time equal to UTC.
    FILETIME now;
    ASSERT_TRUE(DosDateTimeToFileTime(((2024 - 1980) << 9) | (5 << 5) | 15,
                                      10 << 11, &now));
    emu::SetSystemTime(now);
    model_->AddCategory("Work");
    for (const char* name : kBuiltins) model_->AddCategory(name);
    item_ = sim_->NewItem();
  }

  // Invoke as Outlook delivers an event: the item as the one argument.
  HRESULT Fire(DISPID id, IDispatch* item) {
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_DISPATCH;
    arg.pdispVal = item;
    DISPPARAMS params = {&arg, nullptr, 1, 0};
    return addin_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                          &params, nullptr, nullptr, nullptr);
  }

  CStoreNode* FileList() { return model_->Folder("FileList"); }

  CEntryNode* Entry(const std::string& name) {
    for (NodeCell* cell = FileList()->children.First(); cell != nullptr;
         cell = cell->next) {
      if (name == AsNamed(cell->node)->GetName()) {
        return static_cast<CEntryNode*>(cell->node);
      }
    }
    return nullptr;
  }

  static std::string Categories(CEntryNode* entry) {
    const char* text = entry->GetCategories();
    return text != nullptr ? text : "";
  }

  static int32_t ItemClass(CEntryNode* entry) {
    if (entry->block1.length < sizeof(EntryAttributes)) return -999;
    return reinterpret_cast<const EntryAttributes*>(entry->block1.data)
        ->itemClass;
  }

  SimItem* item_ = nullptr;
};

TEST_F(ItemEventTest, OnlyItemAddAndItemChangeAreHandled) {
  item_->SetProperty("EntryID", VariantFromUtf8("E1"));
  const DISPID ignored[] = {0, DISPID_ITEM_REMOVE, 0xF004, -1, 0xF000};
  for (DISPID id : ignored) {
    SCOPED_TRACE(id);
    EXPECT_EQ(E_FAIL, Fire(id, item_));
  }
  EXPECT_EQ(0, item_->GetIDsOfNamesCalls());
  EXPECT_EQ(0, emu::CreateInstanceCalls());

  EXPECT_EQ(S_OK, Fire(DISPID_ITEM_ADD, item_));
  EXPECT_EQ(S_OK, Fire(DISPID_ITEM_CHANGE, item_));
  EXPECT_EQ(2, model_->Creations());
}

TEST_F(ItemEventTest, AnEventWithoutAnItemReadsNothing) {
  VARIANT unknownArg;
  VariantInit(&unknownArg);
  unknownArg.vt = VT_UNKNOWN;
  unknownArg.punkVal = item_->Unknown();
  VARIANT itemArg;
  VariantInit(&itemArg);
  itemArg.vt = VT_DISPATCH;
  itemArg.pdispVal = item_;
  VARIANT nullItemArg;
  VariantInit(&nullItemArg);
  nullItemArg.vt = VT_DISPATCH;
  nullItemArg.pdispVal = nullptr;

  DISPPARAMS noArray = {nullptr, nullptr, 1, 0};
  DISPPARAMS noArguments = {&itemArg, nullptr, 0, 0};
  DISPPARAMS unknownItem = {&unknownArg, nullptr, 1, 0};
  DISPPARAMS nullItem = {&nullItemArg, nullptr, 1, 0};
  struct Case {
    const char* name;
    DISPPARAMS* params;
  };
  const Case cases[] = {
      {"no parameter block", nullptr},
      {"no argument array", &noArray},
      {"an empty argument list", &noArguments},
      {"an item that is no dispatch pointer", &unknownItem},
      {"a null item", &nullItem},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(S_OK, addin_->Invoke(DISPID_ITEM_ADD, IID_NULL,
                                   LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                   c.params, nullptr, nullptr, nullptr));
  }
  EXPECT_EQ(0, item_->GetIDsOfNamesCalls());
  EXPECT_EQ(0, item_->AddRefCalls());
  EXPECT_EQ(0, emu::CreateInstanceCalls());
}

TEST_F(ItemEventTest, WritesNothingBackAndLendsTheItem) {
  item_->SetProperty("EntryID", VariantFromUtf8("E1"));
  VARIANT arg = VariantFromI4(0);
  arg.vt = VT_DISPATCH;
  arg.pdispVal = item_;
  DISPPARAMS params = {&arg, nullptr, 1, 0};
  VARIANT result = VariantFromI4(55);
  EXCEPINFO excep = {};
  excep.scode = 77;
  UINT argErr = 99;
  // riid, lcid and wFlags are not looked at.
  EXPECT_EQ(S_OK, addin_->Invoke(DISPID_ITEM_ADD, IID_IDispatch, 0x0409,
                                 DISPATCH_PROPERTYPUT, &params, &result,
                                 &excep, &argErr));
  EXPECT_EQ(VT_I4, result.vt);
  EXPECT_EQ(55, result.lVal);
  EXPECT_EQ(77, excep.scode);
  EXPECT_EQ(99u, argErr);
  EXPECT_EQ(VT_DISPATCH, arg.vt);
  EXPECT_EQ(item_->AddRefCalls(), item_->ReleaseCalls());
  EXPECT_EQ(1, model_->Creations());
}

// --- How each property is read ---------------------------------------

struct PropertyCase {
  const char* name;
  void (*setup)(SimItem* item);
  const char* categories;  // of the entry "E1\S"
  int flagIconReads;
  int32_t itemClass;
};

void PrintTo(const PropertyCase& c, std::ostream* os) { *os << c.name; }

class PropertyReadTest : public ItemEventTest,
                         public ::testing::WithParamInterface<PropertyCase> {};

TEST_P(PropertyReadTest, FilesWhatTheItemSays) {
  const PropertyCase& c = GetParam();
  // The entry exists already, carrying a task category that no longer
  // exists in the store: only the task rules take it away.
  model_->AddFileEntry("E1\\S", kTaskSentinel);
  item_->SetProperty("EntryID", VariantFromUtf8("E1"));
  item_->SetProperty("Subject", VariantFromUtf8("S"));
  item_->SetProperty("FlagIcon", VariantFromI4(6));
  c.setup(item_);
  const int bstrs = emu::LiveBstrs();

  EXPECT_EQ(S_OK, Fire(DISPID_ITEM_CHANGE, item_));

  EXPECT_EQ(c.flagIconReads, item_->GetIDsOfNamesCalls("FlagIcon"));
  CEntryNode* entry = Entry("E1\\S");
  ASSERT_NE(nullptr, entry);
  EXPECT_EQ(c.categories, Categories(entry));
  EXPECT_EQ(c.itemClass, ItemClass(entry));
  EXPECT_EQ(1, FileList()->GetChildCount());
  EXPECT_EQ(bstrs, emu::LiveBstrs());  // every read was cleared
}

const PropertyCase kPropertyCases[] = {
    {"names only", [](SimItem*) {},
     "Outlook Task Deferred,Outlook Item", 0, 0},
    {"flag complete",
     [](SimItem* item) { item->SetProperty("FlagStatus", VariantFromI4(1)); },
     "Outlook Task Deferred,Outlook Flag Complete,Outlook Item", 0, 0},
    {"flag marked",
     [](SimItem* item) { item->SetProperty("FlagStatus", VariantFromI4(2)); },
     "Outlook Task Deferred,Outlook Flag,Outlook Flag Red,Outlook Item", 1,
     0},
    {"flag marked in smaller integer types",
     [](SimItem* item) {
       item->SetProperty("FlagStatus", VariantOfType(VT_I2, 2));
       item->SetProperty("FlagIcon", VariantOfType(VT_UI1, 3));
     },
     "Outlook Task Deferred,Outlook Flag,Outlook Flag Green,Outlook Item", 1,
     0},
    {"flag marked, icon missing",
     [](SimItem* item) {
       item->SetProperty("FlagStatus", VariantFromInt(2));
       item->RemoveProperty("FlagIcon");
     },
     "Outlook Task Deferred,Outlook Flag,Outlook Item", 1, 0},
    {"flag marked, icon a string",
     [](SimItem* item) {
       item->SetProperty("FlagStatus", VariantFromI4(2));
       item->SetProperty("FlagIcon", VariantFromUtf8("6"));
     },
     "Outlook Task Deferred,Outlook Flag,Outlook Item", 1, 0},
    {"flag status a string",
     [](SimItem* item) {
       item->SetProperty("FlagStatus", VariantFromUtf8("2"));
     },
     "Outlook Task Deferred,Outlook Item", 0, 0},
    {"flag status a truth value",
     [](SimItem* item) {
       item->SetProperty("FlagStatus", VariantFromBool(true));
     },
     "Outlook Task Deferred,Outlook Item", 0, 0},
    {"task complete",
     [](SimItem* item) { item->SetProperty("Status", VariantFromI4(2)); },
     "Outlook Task Complete,Outlook Task Inactive,Outlook Item", 0, 0},
    {"task in progress as VT_INT",
     [](SimItem* item) { item->SetProperty("Status", VariantFromInt(1)); },
     "Outlook Task In Progress,Outlook Task Active,Outlook Item", 0, 0},
    {"task status out of range",
     [](SimItem* item) { item->SetProperty("Status", VariantFromI4(5)); },
     "Outlook Item", 0, 0},
    {"task status a string",
     [](SimItem* item) { item->SetProperty("Status", VariantFromUtf8("2")); },
     "Outlook Task Deferred,Outlook Item", 0, 0},
    {"task status a date",
     [](SimItem* item) {
       item->SetProperty("Status", VariantFromDate(2024, 5, 15));
     },
     "Outlook Task Deferred,Outlook Item", 0, 0},
    {"mail",
     [](SimItem* item) { item->SetProperty("Class", VariantFromI4(43)); },
     "Outlook Task Deferred,Outlook Item,Outlook Mail", 0, 43},
    {"task class as VT_I2",
     [](SimItem* item) { item->SetProperty("Class", VariantOfType(VT_I2, 48)); },
     "Outlook Task Deferred,Outlook Item,Outlook Task", 0, 48},
    {"class a string",
     [](SimItem* item) { item->SetProperty("Class", VariantFromUtf8("43")); },
     "Outlook Task Deferred,Outlook Item", 0, 0},
    {"class a real number",
     [](SimItem* item) { item->SetProperty("Class", VariantFromDouble(43)); },
     "Outlook Task Deferred,Outlook Item", 0, 0},
    {"start later today",
     [](SimItem* item) {
       item->SetProperty("Start", VariantFromDate(2024, 5, 15, 14, 30));
     },
     "Outlook Task Deferred,Outlook Item,Outlook Appt Today,"
     "Outlook Appt Future",
     0, 0},
    {"start yesterday",
     [](SimItem* item) {
       item->SetProperty("Start", VariantFromDate(2024, 5, 14, 9));
     },
     "Outlook Task Deferred,Outlook Item,Outlook Appt Past", 0, 0},
    {"start empty",
     [](SimItem* item) { item->SetProperty("Start", VariantEmpty()); },
     "Outlook Task Deferred,Outlook Item", 0, 0},
    {"start a string",
     [](SimItem* item) {
       item->SetProperty("Start", VariantFromUtf8("2024-05-15"));
     },
     "Outlook Task Deferred,Outlook Item", 0, 0},
    {"start before DOS dates",
     [](SimItem* item) {
       item->SetProperty("Start", VariantFromDate(1970, 1, 1));
     },
     "Outlook Task Deferred,Outlook Item", 0, 0},
    {"start unreadable",
     [](SimItem* item) {
       item->SetProperty("Start", VariantFromDate(2024, 5, 15, 14));
       item->FailMember("Start", E_FAIL);
     },
     "Outlook Task Deferred,Outlook Item", 0, 0},
    {"user category",
     [](SimItem* item) {
       item->SetProperty("Categories", VariantFromUtf8("Home, Work"));
     },
     "Outlook Task Deferred,Work,Outlook Item", 0, 0},
    {"categories a null string",
     [](SimItem* item) {
       item->SetProperty("Categories", VariantFromString(nullptr));
     },
     "Outlook Task Deferred,Outlook Item", 0, 0},
};

INSTANTIATE_TEST_SUITE_P(Rules, PropertyReadTest,
                         ::testing::ValuesIn(kPropertyCases));

// --- Texts ---------------------------------------------------------------

struct TextCase {
  const char* name;
  VARIANT (*entryId)();
  VARIANT (*subject)();
  std::string expectedEntry;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

class TextReadTest : public ItemEventTest,
                     public ::testing::WithParamInterface<TextCase> {};

TEST_P(TextReadTest, ArriveWhole) {
  const TextCase& c = GetParam();
  item_->SetProperty("EntryID", c.entryId());
  item_->SetProperty("Subject", c.subject());
  EXPECT_EQ(S_OK, Fire(DISPID_ITEM_ADD, item_));
  EXPECT_EQ(c.expectedEntry,
            ShellStoreModel::ChildNames(model_->Folder("FileList")));
}

VARIANT Id() { return VariantFromUtf8("E1"); }
VARIANT Letters(size_t count) {
  return VariantFromUtf8(std::string(count, 'a'));
}

const TextCase kTextCases[] = {
    {"254 bytes", Id, [] { return Letters(254); },
     "E1\\" + std::string(254, 'a')},
    {"255 bytes", Id, [] { return Letters(255); },
     "E1\\" + std::string(255, 'a')},
    {"256 bytes", Id, [] { return Letters(256); },
     "E1\\" + std::string(256, 'a')},
    {"300 bytes", Id, [] { return Letters(300); },
     "E1\\" + std::string(300, 'a')},
    {"300 accented letters, one ANSI byte each", Id,
     [] {
       std::string text;
       for (int i = 0; i < 300; ++i) text += "\xC3\xA9";  // U+00E9
       return VariantFromUtf8(text);
     },
     "E1\\" + std::string(300, '\xE9')},
    {"null strings", [] { return VariantFromString(nullptr); },
     [] { return VariantFromString(nullptr); }, "\\"},
    {"values that are no strings", [] { return VariantFromI4(12); },
     [] { return VariantFromDate(2024, 5, 15); }, "\\"},
};

INSTANTIATE_TEST_SUITE_P(Texts, TextReadTest, ::testing::ValuesIn(kTextCases));

TEST_F(ItemEventTest, MissingTextsAreEmpty) {
  EXPECT_EQ(S_OK, Fire(DISPID_ITEM_ADD, item_));
  EXPECT_EQ("\\", ShellStoreModel::ChildNames(FileList()));
}

// --- The companion -------------------------------------------------------

TEST_F(ItemEventTest, WithoutACompanionNothingElseHappens) {
  struct Case {
    const char* name;
    void (*configure)(ShellStoreModel* model);
  };
  const Case cases[] = {
      {"not registered", [](ShellStoreModel*) { UnregisterShellStoreStandIn(); }},
      {"creation fails",
       [](ShellStoreModel* model) { model->SetCreateFailure(E_OUTOFMEMORY); }},
      {"creation gives no object",
       [](ShellStoreModel* model) { model->SetCreateNullObject(true); }},
  };
  item_->SetProperty("EntryID", VariantFromUtf8("E1"));
  for (int slot = 0; slot < 3; ++slot) {
    model_->SetWindow(slot, 1, Window(0x100 + slot));
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegisterShellStoreStandIn(model_.get());
    model_->SetCreateFailure(S_OK);
    model_->SetCreateNullObject(false);
    c.configure(model_.get());
    const int creates = emu::CreateInstanceCalls();
    EXPECT_EQ(S_OK, Fire(DISPID_ITEM_ADD, item_));
    EXPECT_EQ(creates + 1, emu::CreateInstanceCalls());
    EXPECT_EQ(0, model_->OpenCalls());
    EXPECT_TRUE(emu::PostedMessages().empty());
    EXPECT_EQ("", ShellStoreModel::ChildNames(FileList()));
  }
  RegisterShellStoreStandIn(model_.get());
}

TEST_F(ItemEventTest, AStoreThatDoesntOpenIsLeftAlone) {
  model_->SetOpenAnswersNull(true);
  model_->SetWindow(0, 1, Window(0x100));
  CStoreNode* query = model_->AddQueryFolder(nullptr, "Q", "Outlook Item");
  model_->AddFileEntry("old\\entry", "Outlook Item");
  item_->SetProperty("EntryID", VariantFromUtf8("E1"));
  EXPECT_EQ(S_OK, Fire(DISPID_ITEM_ADD, item_));
  EXPECT_EQ(1, model_->OpenCalls());
  EXPECT_EQ(0, model_->CloseCalls());
  EXPECT_EQ(1, model_->ReleaseCalls());
  EXPECT_EQ("old\\entry", ShellStoreModel::ChildNames(FileList()));
  EXPECT_EQ("__QuerySpec", ShellStoreModel::ChildNames(query));  // no refresh
  EXPECT_TRUE(emu::PostedMessages().empty());
}

TEST_F(ItemEventTest, WithoutSharedGlobalsNothingIsPostedButTheStoreCloses) {
  model_->SetGlobalsAbsent(true);
  model_->SetWindow(0, 1, Window(0x100));
  item_->SetProperty("EntryID", VariantFromUtf8("E1"));
  EXPECT_EQ(S_OK, Fire(DISPID_ITEM_ADD, item_));
  EXPECT_TRUE(emu::PostedMessages().empty());
  EXPECT_EQ(1, model_->CloseCalls());
  EXPECT_EQ("E1\\", ShellStoreModel::ChildNames(FileList()));
}

TEST_F(ItemEventTest, PostsTheRefreshCommandToEveryWindowInUse) {
  model_->SetWindow(0, 1, Window(0x100));
  model_->SetWindow(1, 0, Window(0x101));   // not in use
  model_->SetWindow(2, 1, nullptr);         // no window
  model_->SetWindow(3, 0x7F00, Window(0x103));  // any non-zero word
  model_->SetWindow(64, -1, Window(0x140));
  model_->SetWindow(126, 0, nullptr);
  model_->SetWindow(127, 1, Window(0x17F));  // the last slot
  EXPECT_EQ(S_OK, Fire(DISPID_ITEM_ADD, item_));
  const std::vector<std::pair<HWND, WPARAM>> expected = {
      {Window(0x100), 200}, {Window(0x103), 200}, {Window(0x140), 200},
      {Window(0x17F), 200}};
  EXPECT_EQ(expected, Posted());
  EXPECT_EQ(1, model_->Creations());
  EXPECT_EQ(1, model_->OpenCalls());
  EXPECT_EQ(1, model_->CloseCalls());
  EXPECT_FALSE(model_->IsOpen());
}

TEST_F(ItemEventTest, EveryEventMakesAndReleasesItsOwnCompanion) {
  item_->SetProperty("EntryID", VariantFromUtf8("E1"));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(S_OK, Fire(i % 2 == 0 ? DISPID_ITEM_ADD : DISPID_ITEM_CHANGE,
                         item_));
    EXPECT_EQ(0, model_->LiveObjects());
  }
  EXPECT_EQ(3, model_->Creations());
  EXPECT_EQ(3, model_->OpenCalls());
  EXPECT_EQ(3, model_->CloseCalls());
  // Properties are looked up afresh on every event.
  EXPECT_EQ(3, item_->GetIDsOfNamesCalls("EntryID"));
}

}  // namespace
}  // namespace addin_test
