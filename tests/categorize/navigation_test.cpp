// Store navigation over stand-in stores of every shape.
#include "categorize/navigation.h"

#include <gtest/gtest.h>

#include "host/shell_store_model.h"

namespace {

class NavigationTest : public ::testing::Test {
 protected:
  StoreHandle* Store() { return model_.Handle(); }
  CStoreNode* FileList() { return model_.Folder("FileList"); }

  ShellStoreModel model_;
};

TEST_F(NavigationTest, TopFoldersAreFoundFirstOfNameAndCaseSensitively) {
  CStoreNode* second = model_.AddFolder("FileList");
  EXPECT_EQ(model_.Folder("CategoryTree"), FindTopFolder(Store(), "CategoryTree"));
  EXPECT_EQ(FileList(), FindTopFolder(Store(), "FileList"));
  EXPECT_NE(second, FindTopFolder(Store(), "FileList"));
  EXPECT_EQ(nullptr, FindTopFolder(Store(), "filelist"));
  EXPECT_EQ(nullptr, FindTopFolder(Store(), "Missing"));
}

TEST_F(NavigationTest, StoreWithoutDocumentFindsAndChangesNothing) {
  CEntryNode* entry = model_.AddFileEntry("a\\b", "");
  const std::string before = ShellStoreModel::Describe(model_.Root());
  for (bool nullStore : {false, true}) {
    SCOPED_TRACE(nullStore ? "null handle" : "no document");
    model_.SetDocumentPresent(false);
    StoreHandle* store = nullStore ? nullptr : Store();
    EXPECT_EQ(nullptr, FindTopFolder(store, "FileList"));
    EXPECT_EQ(nullptr, FindEntry(store, "a\\b"));
    EXPECT_EQ(nullptr, FindCategory(store, "x"));
    EXPECT_EQ(nullptr, CreateEntry(store, "c\\d"));
    EXPECT_FALSE(RemoveEmptyEntry(store, entry));
  }
  EXPECT_EQ(before, ShellStoreModel::Describe(model_.Root()));
}

TEST_F(NavigationTest, CategoriesAreDirectChildrenOnlyOfAnyKind) {
  CStoreNode* work = model_.AddCategory("Work");
  CStoreNode* deep = ShellStoreModel::Link(work, new (std::nothrow) CCategoryNode("Deep"));
  ASSERT_NE(nullptr, deep);
  CStoreNode* entryKind = ShellStoreModel::Link(model_.Folder("CategoryTree"),
                                                new (std::nothrow) CEntryNode("Odd"));
  model_.AddCategory("Work");  // a later twin is never found

  EXPECT_EQ(work, FindCategory(Store(), "Work"));
  EXPECT_EQ(entryKind, FindCategory(Store(), "Odd"));
  EXPECT_EQ(nullptr, FindCategory(Store(), "Deep"));
  EXPECT_EQ(nullptr, FindCategory(Store(), "work"));

  ShellStoreModel bare(ShellStoreModel::Shape::kEmptyRoot);
  EXPECT_EQ(nullptr, FindCategory(bare.Handle(), "Work"));
}

TEST_F(NavigationTest, EntriesAreFoundFirstOfNameAmongEntriesOnly) {
  // A node of another kind with the entry's name comes first: entry
  // operations must never reach it.
  ShellStoreModel::Link(FileList(), new (std::nothrow) CBranchNode("id\\subject"));
  CEntryNode* first = CreateEntry(Store(), "id\\subject");
  CEntryNode* second = CreateEntry(Store(), "id\\subject");
  ASSERT_NE(nullptr, first);
  ASSERT_NE(nullptr, second);
  EXPECT_NE(first, second);
  EXPECT_EQ(first, FindEntry(Store(), "id\\subject"));
  EXPECT_EQ(nullptr, FindEntry(Store(), "id\\Subject"));
  EXPECT_EQ(nullptr, FindEntry(Store(), "id"));
}

TEST_F(NavigationTest, CreatedEntryIsBareAndLinkedLast) {
  model_.AddFileEntry("first");
  CStoreNode* twin = model_.AddFolder("FileList");
  CEntryNode* entry = CreateEntry(Store(), "E\\S");
  ASSERT_NE(nullptr, entry);
  EXPECT_EQ(NODE_KIND_ENTRY, entry->GetTypeId());
  EXPECT_EQ(FileList(), entry->GetParent());
  EXPECT_EQ("first|E\\S", ShellStoreModel::ChildNames(FileList()));
  EXPECT_EQ(nullptr, twin->GetFirstChild());
  EXPECT_EQ(nullptr, entry->block1.data);
  EXPECT_EQ(nullptr, entry->block2.data);
  EXPECT_EQ(nullptr, entry->block3.data);
  EXPECT_EQ(0, entry->GetChildCount());

  ShellStoreModel bare(ShellStoreModel::Shape::kEmptyRoot);
  EXPECT_EQ(nullptr, CreateEntry(bare.Handle(), "E\\S"));
}

TEST_F(NavigationTest, RemoveEmptyEntry) {
  CEntryNode* carrying = model_.AddFileEntry("carrying", "Work");
  CEntryNode* presentEmpty = model_.AddFileEntry("present-empty", "");
  CEntryNode* noList = model_.AddFileEntry("no-list");
  CEntryNode* elsewhere = new (std::nothrow) CEntryNode("elsewhere");
  ShellStoreModel::Link(model_.Folder("QueryTree"), elsewhere);
  CEntryNode* unlisted = new (std::nothrow) CEntryNode("unlisted");
  unlisted->SetParent(FileList());
  CStoreNode* twin = model_.AddFolder("FileList");
  CEntryNode* inTwin = new (std::nothrow) CEntryNode("in-twin");
  ShellStoreModel::Link(twin, inTwin);

  EXPECT_FALSE(RemoveEmptyEntry(Store(), nullptr));
  EXPECT_FALSE(RemoveEmptyEntry(Store(), carrying));
  EXPECT_FALSE(RemoveEmptyEntry(Store(), elsewhere));
  EXPECT_FALSE(RemoveEmptyEntry(Store(), unlisted));
  EXPECT_FALSE(RemoveEmptyEntry(Store(), inTwin));
  EXPECT_EQ("carrying|present-empty|no-list", ShellStoreModel::ChildNames(FileList()));

  // Unlinked, neither destroyed nor detached from its parent.
  EXPECT_TRUE(RemoveEmptyEntry(Store(), presentEmpty));
  EXPECT_EQ(FileList(), presentEmpty->GetParent());
  EXPECT_TRUE(RemoveEmptyEntry(Store(), noList));
  EXPECT_EQ("carrying", ShellStoreModel::ChildNames(FileList()));
  EXPECT_STREQ("present-empty", presentEmpty->GetName());
  presentEmpty->Destroy(1);
  noList->Destroy(1);
  unlisted->Destroy(1);
}

}  // namespace
