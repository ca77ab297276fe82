// Whole item events through the add-in's Invoke, with the companion stand-in
// as the store: a FileList of a million entries handled by one event, and
// items whose every property has the wrong VARIANT type.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "addin/addin.h"
#include "host/outlook_sim.h"
#include "host/outlook_variant.h"
#include "host/shell_store_model.h"
#include "host/shell_store_stand_in.h"
#include "platform/emulation.h"
#include "store/entry_node.h"
#include "store/node.h"

namespace {

using outlook_sim::OutlookSim;
using outlook_sim::SimItem;

HWND const kWindow = reinterpret_cast<HWND>(0x1234);

class HostileEvent : public ::testing::Test {
 protected:
  void SetUp() override {
    emu::Reset();
    RegisterShellStoreStandIn(&model_);
    model_.AddCategory("Work");
    model_.AddCategory("Outlook Item");
    model_.AddCategory("Outlook Mail");
    model_.AddCategory("Outlook Flag");
    model_.AddCategory("Outlook Task Complete");
    model_.AddCategory("Outlook Appt Today");
    model_.SetWindow(5, 1, kWindow);
  }
  void TearDown() override {
    UnregisterShellStoreStandIn();
    emu::Reset();
  }

  HRESULT FireItemAdd(SimItem* item) {
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_DISPATCH;
    argument.pdispVal = item;
    DISPPARAMS params = {&argument, nullptr, 1, 0};
    return addin_.Invoke(outlook_sim::kDispidItemAdd, IID_NULL, LOCALE_USER_DEFAULT,
                         DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  }

  // The event closed the store, released every companion object and told
  // the one window.
  void ExpectCleanEnd() {
    EXPECT_FALSE(model_.IsOpen());
    EXPECT_EQ(0, model_.LiveObjects());
    EXPECT_EQ(model_.OpenCalls(), model_.CloseCalls());
    EXPECT_EQ(0, model_.MismatchedCloses());
    EXPECT_EQ(0, model_.UnexpectedCalls());
    EXPECT_EQ(0, sim_.TotalUnderflows());
    ASSERT_EQ(1u, emu::PostedMessages().size());
    EXPECT_EQ(kWindow, emu::PostedMessages()[0].window);
  }

  // Declared first, destroyed last: the add-in and the sim hold nothing of it.
  ShellStoreModel model_;
  OutlookSim sim_;
  CMyAddin addin_;
};

bool Carries(CStoreNode* entry, const char* name) {
  return CategoryListContains(static_cast<CEntryNode*>(entry)->GetCategories(), name,
                              std::strlen(name));
}

// Each entry of folder (its other children passed over) stands, in order,
// for one FileList entry carrying "Work"; answers how many there are.
size_t CheckWorkResults(CStoreNode* fileList, CStoreNode* folder) {
  NodeCell* result = folder->children.First();
  size_t count = 0;
  for (NodeCell* cell = fileList->children.First(); cell; cell = cell->next) {
    if (!Carries(cell->node, "Work")) continue;
    while (result && AsNamed(result->node)->GetTypeId() != NODE_KIND_ENTRY) {
      result = result->next;
    }
    if (!result) {
      ADD_FAILURE() << "no result for " << AsNamed(cell->node)->GetName();
      return count;
    }
    const DataBlock& path = AsNamed(result->node)->block3;
    if (path.data == nullptr ||
        std::strcmp(reinterpret_cast<const char*>(path.data), AsNamed(cell->node)->GetName()) != 0) {
      ADD_FAILURE() << "result " << count << " stands for another entry";
      return count;
    }
    ++count;
    result = result->next;
  }
  for (; result; result = result->next) {
    EXPECT_NE(NODE_KIND_ENTRY, AsNamed(result->node)->GetTypeId()) << "extra result";
  }
  return count;
}

TEST_F(HostileEvent, MillionEntryFileListInOneEvent) {
  constexpr int kEntries = 1000000;
  constexpr int kStale = 100000;
  // Built with a tail of our own: appending through the list would walk it.
  auto appendAll = [](CStoreNode* parent, int count, auto makeNode) {
    NodeCell* tail = parent->children.Head();
    while (tail->next) tail = tail->next;
    for (int i = 0; i < count; ++i) {
      CStoreNode* node = makeNode(i);
      ASSERT_TRUE(parent->children.InsertAfter(tail, node));
      tail = tail->next;
      node->SetParent(parent);
    }
  };
  CStoreNode* fileList = model_.Folder("FileList");
  appendAll(fileList, kEntries, [](int i) {
    char name[40];
    std::snprintf(name, sizeof name, "ID%07d\\Subject %d", i, i % 7);
    CEntryNode* entry = new (std::nothrow) CEntryNode(name);
    entry->SetCategories(i % 10 == 0 ? "Work,Outlook Item" : "Home,Outlook Item");
    return entry;
  });
  CStoreNode* work = model_.AddQueryFolder(nullptr, "Work", "Work");
  appendAll(work, kStale, [](int) { return new (std::nothrow) CEntryNode("stale"); });
  // Rewritten to AND(OR(Work), NOT(Home)): the same entries.
  CStoreNode* notHome = model_.AddQueryFolder(nullptr, "Not home", "OR(Work,NOT(Home))");

  SimItem* item = sim_.NewItem();
  item->SetProperty("EntryID", outlook_sim::VariantFromUtf8("NEW"));
  item->SetProperty("Subject", outlook_sim::VariantFromUtf8("Item"));
  item->SetProperty("Categories", outlook_sim::VariantFromUtf8("Work"));
  item->SetProperty("Class", outlook_sim::VariantFromI4(43));
  EXPECT_EQ(S_OK, FireItemAdd(item));
  ExpectCleanEnd();

  EXPECT_EQ(kEntries + 1, fileList->GetChildCount());
  NodeCell* last = fileList->children.First();
  while (last->next) last = last->next;
  EXPECT_STREQ("NEW\\Item", AsNamed(last->node)->GetName());
  EXPECT_STREQ("Work,Outlook Item,Outlook Mail",
               static_cast<CEntryNode*>(last->node)->GetCategories());
  EXPECT_EQ(static_cast<size_t>(kEntries / 10 + 1), CheckWorkResults(fileList, work));
  EXPECT_EQ(static_cast<size_t>(kEntries / 10 + 1), CheckWorkResults(fileList, notHome));
}

// Values of the wrong type for every property an event reads; the value of
// an object type is another item of the sim.
struct WrongTypes {
  const char* name;
  VARIANT (*text)(IDispatch* other);    // EntryID, Subject, Categories
  VARIANT (*number)(IDispatch* other);  // FlagStatus, FlagIcon, Status, Class
  VARIANT (*start)(IDispatch* other);   // Start
};

VARIANT Real(double value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_R8;
  v.dblVal = value;
  return v;
}

VARIANT Null() {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_NULL;
  return v;
}

VARIANT Long64(int64_t value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I8;
  v.llVal = value;
  return v;
}

const WrongTypes kWrongTypes[] = {
    {"Integers", [](IDispatch*) { return outlook_sim::VariantFromI4(43); },
     [](IDispatch*) { return outlook_sim::VariantFromUtf8("2"); },
     [](IDispatch*) { return outlook_sim::VariantFromI4(45427); }},
    {"Objects", [](IDispatch* other) { return outlook_sim::VariantFromDispatch(other); },
     [](IDispatch* other) { return outlook_sim::VariantFromDispatch(other); },
     [](IDispatch* other) { return outlook_sim::VariantFromDispatch(other); }},
    {"NullObjects", [](IDispatch*) { return outlook_sim::VariantFromDispatch(nullptr); },
     [](IDispatch*) { return outlook_sim::VariantFromDispatch(nullptr); },
     [](IDispatch*) { return outlook_sim::VariantFromDispatch(nullptr); }},
    {"Reals", [](IDispatch*) { return Real(2.0); }, [](IDispatch*) { return Real(43.0); },
     [](IDispatch*) { return Real(45427.5); }},
    {"Booleans", [](IDispatch*) { return outlook_sim::VariantFromBool(true); },
     [](IDispatch*) { return outlook_sim::VariantFromBool(true); },
     [](IDispatch*) { return outlook_sim::VariantFromBool(false); }},
    {"Dates", [](IDispatch*) { return outlook_sim::VariantFromDate(2024, 5, 15); },
     [](IDispatch*) { return outlook_sim::VariantFromDate(1900, 1, 1); },
     [](IDispatch*) { return outlook_sim::VariantFromUtf8("2024-05-15"); }},
    {"Empties", [](IDispatch*) { return outlook_sim::VariantEmpty(); },
     [](IDispatch*) { return outlook_sim::VariantEmpty(); },
     [](IDispatch*) { return outlook_sim::VariantEmpty(); }},
    {"Nulls", [](IDispatch*) { return Null(); }, [](IDispatch*) { return Null(); },
     [](IDispatch*) { return Null(); }},
    {"SixtyFourBit", [](IDispatch*) { return Long64(43); },
     [](IDispatch*) { return Long64(int64_t{1} << 40); },
     [](IDispatch*) { return Long64(45427); }},
};

class WrongVariantTypes : public HostileEvent,
                          public ::testing::WithParamInterface<WrongTypes> {};

TEST_P(WrongVariantTypes, EventIsHandledWithoutFaultOrLeak) {
  const WrongTypes& types = GetParam();
  SimItem* other = sim_.NewItem();
  SimItem* item = sim_.NewItem();
  for (const char* name : {"EntryID", "Subject", "Categories"}) {
    item->SetProperty(name, types.text(other));
  }
  for (const char* name : {"FlagStatus", "FlagIcon", "Status", "Class"}) {
    item->SetProperty(name, types.number(other));
  }
  item->SetProperty("Start", types.start(other));
  const LONG otherReferences = other->RefCount();
  const int bstrs = emu::LiveBstrs();

  EXPECT_EQ(S_OK, FireItemAdd(item));
  ExpectCleanEnd();
  EXPECT_EQ(bstrs, emu::LiveBstrs());
  EXPECT_EQ(otherReferences, other->RefCount());
  EXPECT_EQ(0, item->RefCount());

  // Whatever the reads made of the item, it was filed once, as an item.
  CStoreNode* fileList = model_.Folder("FileList");
  ASSERT_EQ(1, fileList->GetChildCount());
  EXPECT_TRUE(Carries(fileList->GetFirstChild(), "Outlook Item"));
}

INSTANTIATE_TEST_SUITE_P(EveryProperty, WrongVariantTypes, ::testing::ValuesIn(kWrongTypes),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
