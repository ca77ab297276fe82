// Query folder refresh over stand-in stores.
#include "query/refresh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "host/shell_store_model.h"
#include "store/heap.h"

namespace {

// What one result looks like: its name, user data, itemClass and nodeValue.
std::string Result(CStoreNode* node) {
  CEntryNode* entry = static_cast<CEntryNode*>(AsNamed(node));
  std::string out = entry->GetName() ? entry->GetName() : "<null>";
  out += " <";
  out += entry->block3.data ? entry->GetFullPathFromUserData(false) : "-";
  out += ">";
  if (entry->block1.length == 32) {
    EntryAttributes attributes;
    std::memcpy(&attributes, entry->block1.data, 32);
    out += " class=" + std::to_string(attributes.itemClass) +
           " value=" + std::to_string(attributes.nodeValue);
  }
  return out;
}

// The results of a folder: its entry children, each as Result.
std::vector<std::string> Results(CStoreNode* folder) {
  std::vector<std::string> out;
  for (NodeCell* cell = folder->children.First(); cell; cell = cell->next) {
    if (AsNamed(cell->node)->GetTypeId() == NODE_KIND_ENTRY) {
      out.push_back(Result(cell->node));
    }
  }
  return out;
}

void SetItemClassRecord(CEntryNode* entry, uint32_t recordSize, int32_t itemClass) {
  entry->SetItemClass(itemClass);
  std::memcpy(entry->block1.data, &recordSize, sizeof recordSize);
}

class RefreshTest : public ::testing::Test {
 protected:
  StoreHandle* Store() { return model_.Handle(); }
  CStoreNode* QueryTree() { return model_.Folder("QueryTree"); }

  ShellStoreModel model_;
};

TEST_F(RefreshTest, ResultsFollowFileListOrderWithTheirRecords) {
  CEntryNode* mail = model_.AddFileEntry("ID1\\Budget", "Work,Outlook Mail");
  SetItemClassRecord(mail, 32, 43);
  ShellStoreModel::Link(model_.Folder("FileList"),
                        new (std::nothrow) CCategoryNode("Work"));  // not an entry
  model_.AddFileEntry("ID2\\Private", "Home");
  CEntryNode* unsized = model_.AddFileEntry("NoBackslash", "Work");
  SetItemClassRecord(unsized, 0, 26);
  model_.AddFileEntry("ID4\\x", "Work", "C:\\docs\\file.txt");
  model_.AddFileEntry("ID5\\Budget", "Work");

  CQueryFolderNode* work = model_.AddQueryFolder(nullptr, "Work", "Work");
  CQueryFolderNode* nested = model_.AddQueryFolder(work, "Home", "Home");
  CQueryFolderNode* all = model_.AddQueryFolder(nullptr, "All", "AND()");

  EXPECT_TRUE(RefreshQueryFolders(Store()));
  const std::vector<std::string> workResults = {
      "Budget <ID1\\Budget> class=43 value=1",
      "NoBackslash <NoBackslash> class=0 value=4",
      "C:\\docs\\file.txt <ID4\\x> class=0 value=5",
      "Budget <ID5\\Budget> class=0 value=6",
  };
  EXPECT_EQ(workResults, Results(work));
  EXPECT_EQ("__QuerySpec|Home|Budget|NoBackslash|C:\\docs\\file.txt|Budget",
            ShellStoreModel::ChildNames(work));
  EXPECT_EQ(std::vector<std::string>{"Private <ID2\\Private> class=0 value=3"},
            Results(nested));
  EXPECT_EQ(5u, Results(all).size());
  for (NodeCell* cell = all->children.First()->next; cell; cell = cell->next) {
    EXPECT_EQ(all, cell->node->GetParent());
    EXPECT_EQ(nullptr, AsNamed(cell->node)->block2.data);  // no category list
  }
}

TEST_F(RefreshTest, RefreshReplacesEveryResultWithNewNodes) {
  model_.AddFileEntry("A\\a", "Work");
  model_.AddFileEntry("B\\b", "Home");
  model_.AddFileEntry("C\\c", "Work,Private");
  CQueryFolderNode* folder =
      model_.AddQueryFolder(nullptr, "Mixed", "OR(Work,NOT(Private))");
  ASSERT_TRUE(RefreshQueryFolders(Store()));
  const std::vector<std::string> first = Results(folder);
  EXPECT_EQ((std::vector<std::string>{"a <A\\a> class=0 value=1"}), first);

  // Mark the results; the next refresh must leave none of them.
  for (NodeCell* cell = folder->children.First()->next; cell; cell = cell->next) {
    AsNamed(cell->node)->auxWord1 = 0xDEADu;
  }
  ASSERT_TRUE(RefreshQueryFolders(Store()));
  EXPECT_EQ(first, Results(folder));
  for (NodeCell* cell = folder->children.First(); cell; cell = cell->next) {
    EXPECT_NE(0xDEADu, AsNamed(cell->node)->auxWord1);
  }
}

TEST_F(RefreshTest, PurgeKeepsOnlyADirectFsDat) {
  model_.AddFileEntry("A\\a", "Work");
  CStoreNode* queryTree = QueryTree();
  ShellStoreModel::Link(queryTree, new (std::nothrow) CEntryNode("__Fs.dat"));
  ShellStoreModel::Link(queryTree, new (std::nothrow) CEntryNode("stale"));
  CStoreNode* plain = ShellStoreModel::Link(queryTree, new (std::nothrow) CBranchNode("plain"));
  ShellStoreModel::Link(plain, new (std::nothrow) CEntryNode("__Fs.dat"));
  CEntryNode* withChild = new (std::nothrow) CEntryNode("with-child");
  ShellStoreModel::Link(withChild, new (std::nothrow) CBranchNode("below"));
  ShellStoreModel::Link(plain, withChild);
  CQueryFolderNode* noSpec = model_.AddQueryFolder(nullptr, "NoSpec", nullptr);
  ShellStoreModel::Link(noSpec, new (std::nothrow) CEntryNode("old result"));
  ShellStoreModel::Link(noSpec, new (std::nothrow) CQueryTermNode("__Query"));

  const int64_t live = store_heap::Live();
  EXPECT_TRUE(RefreshQueryFolders(Store()));
  EXPECT_EQ("QueryTree{__Fs.dat,plain,?NoSpec{__Query}}",
            ShellStoreModel::Describe(queryTree));
  EXPECT_LT(store_heap::Live(), live);
}

TEST_F(RefreshTest, StoresWithoutQueryTreeOrFileList) {
  model_.AddFileEntry("A\\a", "Work");
  CQueryFolderNode* folder = model_.AddQueryFolder(nullptr, "F", "Work");
  ShellStoreModel::Link(folder, new (std::nothrow) CEntryNode("old"));
  const std::string before = ShellStoreModel::Describe(model_.Root());

  model_.SetDocumentPresent(false);
  EXPECT_FALSE(RefreshQueryFolders(Store()));
  EXPECT_EQ(0, RefreshQueryFolder(Store(), folder));
  model_.SetDocumentPresent(true);
  EXPECT_FALSE(RefreshQueryFolders(nullptr));
  EXPECT_EQ(before, ShellStoreModel::Describe(model_.Root()));

  ShellStoreModel noQueryTree(ShellStoreModel::Shape::kEmptyRoot);
  noQueryTree.AddFolder("FileList");
  noQueryTree.AddFileEntry("A\\a", "Work");
  EXPECT_FALSE(RefreshQueryFolders(noQueryTree.Handle()));
  EXPECT_EQ(0, noQueryTree.NodeValueCalls());

  // Without FileList the purge still runs and no folder gets results.
  ShellStoreModel noFileList(ShellStoreModel::Shape::kEmptyRoot);
  noFileList.AddFolder("QueryTree");
  CQueryFolderNode* lone = noFileList.AddQueryFolder(nullptr, "F", "AND()");
  ShellStoreModel::Link(lone, new (std::nothrow) CEntryNode("old"));
  EXPECT_TRUE(RefreshQueryFolders(noFileList.Handle()));
  EXPECT_EQ("QueryTree{?F{__QuerySpec{AND}}}",
            ShellStoreModel::Describe(noFileList.Folder("QueryTree")));
}

TEST_F(RefreshTest, OnlyTheFirstQueryTreeAndSpecCount) {
  model_.AddFileEntry("A\\a", "Work");
  model_.AddFileEntry("B\\b", "Home");
  CQueryFolderNode* folder = model_.AddQueryFolder(nullptr, "F", "Work");
  CStoreNode* secondSpec = ShellStoreModel::Link(
      folder, new (std::nothrow) CQueryTermNode("__QuerySpec"));
  ShellStoreModel::BuildTerms(secondSpec, "Home");
  CStoreNode* twin = model_.AddFolder("QueryTree");
  CQueryFolderNode* ignored = model_.AddQueryFolder(twin, "G", "AND()");
  ShellStoreModel::Link(ignored, new (std::nothrow) CEntryNode("kept"));

  EXPECT_TRUE(RefreshQueryFolders(Store()));
  EXPECT_EQ(std::vector<std::string>{"a <A\\a> class=0 value=1"}, Results(folder));
  EXPECT_EQ("QueryTree{?G{__QuerySpec{AND},kept}}", ShellStoreModel::Describe(twin));
}

// A handle that records the results each folder holds when it is asked for
// a node value: a folder is rebuilt whole before the folders nested in it.
class RecordingHandle : public StoreHandle {
 public:
  RecordingHandle(StoreDocument* doc, CStoreNode* outer, CStoreNode* inner)
      : outer_(outer), inner_(inner) {
    document = doc;
  }
  void CompanionOperation1() override { ADD_FAILURE(); }
  void CompanionOperation2() override { ADD_FAILURE(); }
  void CompanionOperation3() override { ADD_FAILURE(); }
  int32_t GetNodeValue(CStoreNode* node, uint32_t selector) override {
    EXPECT_EQ(1u, selector);
    // Asked once the result is linked: it is already the folder's last child.
    seen.push_back(std::to_string(Results(outer_).size()) + "/" +
                   std::to_string(Results(inner_).size()) + " " +
                   AsNamed(node)->GetName());
    return 7;
  }
  std::vector<std::string> seen;

 private:
  CStoreNode* outer_;
  CStoreNode* inner_;
};

TEST_F(RefreshTest, NestedFoldersAreRebuiltParentFirst) {
  model_.AddFileEntry("A\\a", "Work");
  model_.AddFileEntry("B\\b", "Work");
  CQueryFolderNode* outer = model_.AddQueryFolder(nullptr, "Outer", "Work");
  CQueryFolderNode* inner = model_.AddQueryFolder(outer, "Inner", "Work");
  StoreDocument document = {nullptr, model_.Root()};
  RecordingHandle handle(&document, outer, inner);
  EXPECT_TRUE(RefreshQueryFolders(&handle));
  EXPECT_EQ((std::vector<std::string>{"1/0 A\\a", "2/0 B\\b", "2/1 A\\a", "2/2 B\\b"}),
            handle.seen);
  EXPECT_EQ("a <A\\a> class=0 value=7", Results(inner)[0]);
}

// More folders than one shared pass takes: every folder still gets exactly
// what a refresh of its own gives it.
TEST_F(RefreshTest, ManyFoldersMatchAsEachAlone) {
  const char* const kLists[] = {"Work", "Home", "Work,Home", "Travel", "Work,Travel"};
  for (int i = 0; i < 90; ++i) {
    model_.AddFileEntry(("ID" + std::to_string(i) + "\\s" + std::to_string(i)).c_str(),
                        kLists[i % 5]);
  }
  const char* const kQueries[] = {"Work", "OR(Work,NOT(Home))", "NOT(Work)",
                                  "AND(Work,Travel)", "Home"};
  std::vector<CStoreNode*> folders;
  for (int i = 0; i < 140; ++i) {
    CStoreNode* parent = i % 4 == 3 ? folders.back() : nullptr;
    folders.push_back(model_.AddQueryFolder(parent, ("F" + std::to_string(i)).c_str(),
                                            kQueries[i % 5]));
  }
  ASSERT_TRUE(RefreshQueryFolders(Store()));
  std::vector<std::vector<std::string>> shared;
  for (CStoreNode* folder : folders) shared.push_back(Results(folder));
  for (size_t i = 0; i < folders.size(); ++i) {
    SCOPED_TRACE(i);
    WalkPostOrder(folders[i], PurgeResultEntry, nullptr, 1);
    ASSERT_TRUE(Results(folders[i]).empty());
    EXPECT_EQ(static_cast<int32_t>(shared[i].size()), RefreshQueryFolder(Store(), folders[i]));
    EXPECT_EQ(shared[i], Results(folders[i]));
  }
  EXPECT_EQ(54u, shared[0].size());
  EXPECT_EQ(36u, shared[2].size());
}

// More matching entries than one page of the shared pass's records holds.
TEST_F(RefreshTest, ManyEntriesMatchAsEachAlone) {
  for (int i = 0; i < 5000; ++i) {
    model_.AddFileEntry(("ID" + std::to_string(i) + "\\s").c_str(), i % 7 ? "Work" : "Home");
  }
  CQueryFolderNode* work = model_.AddQueryFolder(nullptr, "Work", "Work");
  CQueryFolderNode* home = model_.AddQueryFolder(work, "Home", "OR(Home,NOT(Work))");
  ASSERT_TRUE(RefreshQueryFolders(Store()));
  const std::vector<std::string> shared[] = {Results(work), Results(home)};
  EXPECT_EQ(4285u, shared[0].size());
  EXPECT_EQ(715u, shared[1].size());
  EXPECT_EQ("s <ID4999\\s> class=0 value=5000", shared[0].back());
  CQueryFolderNode* folders[] = {work, home};
  for (int i = 0; i < 2; ++i) {
    WalkPostOrder(folders[i], PurgeResultEntry, nullptr, 1);
    RefreshQueryFolder(Store(), folders[i]);
    EXPECT_EQ(shared[i], Results(folders[i]));
  }
}

// When the shared pass has no memory for its records, each folder makes a
// pass of its own and still gets all of its results; any other failed
// allocation stops at most the one folder it hit.
TEST_F(RefreshTest, SharedPassWithoutMemory) {
  for (int i = 0; i < 80; ++i) {
    model_.AddFileEntry(("ID" + std::to_string(i) + "\\s" + std::to_string(i)).c_str(),
                        i % 2 ? "Work" : "Home");
  }
  CQueryFolderNode* work = model_.AddQueryFolder(nullptr, "Work", "Work");
  CQueryFolderNode* all = model_.AddQueryFolder(work, "All", "NOT(x)");
  ASSERT_TRUE(RefreshQueryFolders(Store()));
  const std::vector<std::string> fullWork = Results(work);
  const std::vector<std::string> fullAll = Results(all);
  ASSERT_EQ(40u, fullWork.size());
  ASSERT_EQ(80u, fullAll.size());
  const int64_t live = store_heap::Live();
  const int64_t before = store_heap::Allocations();
  ASSERT_TRUE(RefreshQueryFolders(Store()));
  const int64_t perRefresh = store_heap::Allocations() - before;

  // Neither query is rewritten, so the records' first growth is the
  // refresh's first allocation.
  store_heap::FailAllocations(0, 1);
  EXPECT_TRUE(RefreshQueryFolders(Store()));
  store_heap::FailNone();
  EXPECT_EQ(fullWork, Results(work));
  EXPECT_EQ(fullAll, Results(all));
  EXPECT_EQ(live, store_heap::Live());

  for (int64_t skip = 1; skip < perRefresh; ++skip) {
    SCOPED_TRACE(skip);
    store_heap::FailAllocations(skip, 1);
    EXPECT_TRUE(RefreshQueryFolders(Store()));
    store_heap::FailNone();
    const std::vector<std::string> gotWork = Results(work);
    const std::vector<std::string> gotAll = Results(all);
    ASSERT_LE(gotWork.size(), fullWork.size());
    ASSERT_LE(gotAll.size(), fullAll.size());
    EXPECT_TRUE(std::equal(gotWork.begin(), gotWork.end(), fullWork.begin()));
    EXPECT_TRUE(std::equal(gotAll.begin(), gotAll.end(), fullAll.begin()));
    EXPECT_LE((gotWork.size() < fullWork.size()) + (gotAll.size() < fullAll.size()), 1);
    EXPECT_TRUE(RefreshQueryFolders(Store()));
    EXPECT_EQ(live, store_heap::Live());
  }
}

TEST_F(RefreshTest, FolderRefreshCountsItsResults) {
  model_.AddFileEntry("A\\a", "Work");
  model_.AddFileEntry("B\\b", "Work");
  model_.AddFileEntry("A\\a", "Work");
  CQueryFolderNode* folder = model_.AddQueryFolder(nullptr, "F", "Work");
  EXPECT_EQ(3, RefreshQueryFolder(Store(), folder));
  EXPECT_EQ("__QuerySpec|a|b|a", ShellStoreModel::ChildNames(folder));
  CQueryFolderNode* noSpec = model_.AddQueryFolder(nullptr, "N", nullptr);
  EXPECT_EQ(0, RefreshQueryFolder(Store(), noSpec));
}

TEST_F(RefreshTest, WalksVisitInTheirOrders) {
  CStoreNode* top = model_.AddQueryFolder(nullptr, "top", nullptr);
  CStoreNode* a = ShellStoreModel::Link(top, new (std::nothrow) CBranchNode("a"));
  ShellStoreModel::Link(a, new (std::nothrow) CBranchNode("a1"));
  ShellStoreModel::Link(top, new (std::nothrow) CBranchNode("b"));
  struct Visit {
    static void Record(CStoreNode* node, void* context, int32_t depth) {
      auto* seen = static_cast<std::vector<std::string>*>(context);
      seen->push_back(std::string(AsNamed(node)->GetName()) + "@" + std::to_string(depth));
    }
    // Appends one child to "a" when it is visited.
    static void Grow(CStoreNode* node, void* context, int32_t depth) {
      Record(node, context, depth);
      if (std::strcmp(AsNamed(node)->GetName(), "a") == 0) {
        ShellStoreModel::Link(node, new (std::nothrow) CBranchNode("grown"));
      }
    }
  };
  std::vector<std::string> seen;
  WalkPostOrder(top, Visit::Record, &seen, 1);
  EXPECT_EQ((std::vector<std::string>{"a1@3", "a@2", "b@2", "top@1"}), seen);
  seen.clear();
  WalkPreOrder(top, Visit::Grow, &seen, 0);
  EXPECT_EQ((std::vector<std::string>{"top@0", "a@1", "a1@2", "grown@2", "b@1"}), seen);
}

// A QueryTree far deeper than the call stack could walk.
TEST_F(RefreshTest, DeepQueryTree) {
  const int kDepth = 200000;
  model_.AddFileEntry("A\\a", "Work");
  CStoreNode* at = QueryTree();
  for (int i = 0; i < kDepth; ++i) {
    at = ShellStoreModel::Link(at, new (std::nothrow) CBranchNode("level"));
  }
  ShellStoreModel::Link(at, new (std::nothrow) CEntryNode("stale"));
  CQueryFolderNode* bottom = model_.AddQueryFolder(at, "Bottom", "Work");
  EXPECT_TRUE(RefreshQueryFolders(Store()));
  EXPECT_EQ("__QuerySpec|a", ShellStoreModel::ChildNames(bottom));
  EXPECT_EQ("Bottom", ShellStoreModel::ChildNames(at));
}

// When memory runs out the folder keeps whole results made so far, the
// count says how many, and nothing leaks.
TEST_F(RefreshTest, AllocationFailureStopsTheFolder) {
  for (const char* name : {"A\\a", "B\\b", "C\\c"}) model_.AddFileEntry(name, "Work");
  CQueryFolderNode* folder = model_.AddQueryFolder(nullptr, "F", "OR(Work,NOT(x))");
  ASSERT_TRUE(RefreshQueryFolders(Store()));
  const std::vector<std::string> full = Results(folder);
  ASSERT_EQ(3u, full.size());
  const int64_t live = store_heap::Live();
  for (int64_t skip = 0; skip < 80; ++skip) {
    SCOPED_TRACE(skip);
    WalkPostOrder(folder, PurgeResultEntry, nullptr, 1);
    store_heap::FailAllocations(skip, 1);
    const int32_t count = RefreshQueryFolder(Store(), folder);
    store_heap::FailNone();
    const std::vector<std::string> results = Results(folder);
    ASSERT_EQ(static_cast<size_t>(count), results.size());
    for (size_t i = 0; i < results.size(); ++i) {
      EXPECT_EQ(full[i], results[i]);
    }
    EXPECT_TRUE(RefreshQueryFolders(Store()));
    EXPECT_EQ(3u, Results(folder).size());
    EXPECT_EQ(live, store_heap::Live());
  }
}

// The folders share one pass over FileList: a failed allocation stops the
// one folder it hit, which keeps whole results made so far, while every
// other folder, before or after it in the list, still gets all of its own.
// More folders than the list holds inline, so the list grows as well.
TEST_F(RefreshTest, AllocationFailureStopsOnlyItsFolder) {
  for (const char* name : {"A\\a", "B\\b", "C\\c"}) model_.AddFileEntry(name, "Work");
  std::vector<CStoreNode*> folders;
  CQueryFolderNode* outer = model_.AddQueryFolder(nullptr, "Outer", "OR(Work,NOT(x))");
  folders.push_back(outer);
  for (int i = 0; i < 24; ++i) {
    folders.push_back(model_.AddQueryFolder(i % 2 ? outer : nullptr,
                                            ("F" + std::to_string(i)).c_str(),
                                            i % 3 ? "Work" : "OR(Work,NOT(x))"));
  }
  ASSERT_TRUE(RefreshQueryFolders(Store()));
  const std::vector<std::string> full = Results(folders[1]);
  ASSERT_EQ(3u, full.size());
  const int64_t live = store_heap::Live();
  bool sawShort = false;
  for (int64_t skip = 0; skip < 600; ++skip) {
    SCOPED_TRACE(skip);
    store_heap::FailAllocations(skip, 1);
    EXPECT_TRUE(RefreshQueryFolders(Store()));
    store_heap::FailNone();
    int shortFolders = 0;
    for (CStoreNode* folder : folders) {
      const std::vector<std::string> results = Results(folder);
      ASSERT_LE(results.size(), full.size());
      for (size_t i = 0; i < results.size(); ++i) EXPECT_EQ(full[i], results[i]);
      if (results.size() < full.size()) ++shortFolders;
    }
    EXPECT_LE(shortFolders, 1);
    sawShort = sawShort || shortFolders == 1;
    EXPECT_TRUE(RefreshQueryFolders(Store()));
    for (CStoreNode* folder : folders) EXPECT_EQ(full, Results(folder));
    EXPECT_EQ(live, store_heap::Live());
  }
  EXPECT_TRUE(sawShort);
}

}  // namespace
