// The companion stand-in: creation through the emulation's class table, its
// identity and counts, what OpenStore hands out, and the node values.
#include "host/shell_store_stand_in.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host/shell_store_model.h"
#include "platform/emulation.h"
#include "store/node_record.h"

namespace {

class StandInTest : public ::testing::Test {
 protected:
  void SetUp() override {
    emu::Reset();
    RegisterShellStoreStandIn(&model_);
  }
  void TearDown() override {
    UnregisterShellStoreStandIn();
    emu::Reset();
  }

  IShellStoreFolder* Create() {
    void* object = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellStore, nullptr,
                                  CLSCTX_INPROC_SERVER, IID_IShellFolder,
                                  &object);
    EXPECT_EQ(S_OK, hr);
    return static_cast<IShellStoreFolder*>(object);
  }

  ShellStoreModel model_;
};

TEST_F(StandInTest, CreatedForShellFolderAndFreedByLastRelease) {
  IShellStoreFolder* folder = Create();
  ASSERT_NE(nullptr, folder);
  EXPECT_EQ(1, model_.Creations());
  EXPECT_EQ(1, model_.LiveObjects());

  EXPECT_EQ(2u, folder->AddRef());
  EXPECT_EQ(1u, folder->Release());
  EXPECT_EQ(1, model_.LiveObjects());
  EXPECT_EQ(0u, folder->Release());
  EXPECT_EQ(0, model_.LiveObjects());
  EXPECT_EQ(2, model_.ReleaseCalls());
  EXPECT_EQ(0, model_.UnexpectedCalls());
}

TEST_F(StandInTest, AnswersUnknownAndShellFolderWithOneIdentity) {
  IShellStoreFolder* folder = Create();
  ASSERT_NE(nullptr, folder);
  void* unknown = nullptr;
  ASSERT_EQ(S_OK, folder->QueryInterface(IID_IUnknown, &unknown));
  void* again = nullptr;
  ASSERT_EQ(S_OK, folder->QueryInterface(IID_IShellFolder, &again));
  EXPECT_EQ(static_cast<void*>(folder), unknown);
  EXPECT_EQ(static_cast<void*>(folder), again);

  void* dispatch = &again;  // must be cleared
  EXPECT_EQ(E_NOINTERFACE, folder->QueryInterface(IID_IDispatch, &dispatch));
  EXPECT_EQ(nullptr, dispatch);

  EXPECT_EQ(2u, folder->Release());
  EXPECT_EQ(1u, folder->Release());
  EXPECT_EQ(0u, folder->Release());
  EXPECT_EQ(0, model_.LiveObjects());
}

TEST_F(StandInTest, CreationForAnotherInterfaceFreesTheObject) {
  void* object = &model_;
  EXPECT_EQ(E_NOINTERFACE,
            CoCreateInstance(CLSID_ShellStore, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IDispatch, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(0, model_.LiveObjects());
  EXPECT_EQ(0, model_.Creations());
}

TEST_F(StandInTest, CreationControls) {
  void* object = &model_;
  model_.SetCreateFailure(E_OUTOFMEMORY);
  EXPECT_EQ(E_OUTOFMEMORY,
            CoCreateInstance(CLSID_ShellStore, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IShellFolder, &object));
  EXPECT_EQ(nullptr, object);

  model_.SetCreateFailure(S_OK);
  model_.SetCreateNullObject(true);
  object = &model_;
  EXPECT_EQ(S_OK, CoCreateInstance(CLSID_ShellStore, nullptr,
                                   CLSCTX_INPROC_SERVER, IID_IShellFolder,
                                   &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(0, model_.Creations());
  EXPECT_EQ(0, model_.LiveObjects());
}

TEST_F(StandInTest, UnregisteredClassIsNotCreated) {
  UnregisterShellStoreStandIn();
  void* object = &model_;
  EXPECT_EQ(REGDB_E_CLASSNOTREG,
            CoCreateInstance(CLSID_ShellStore, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IShellFolder, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(0, model_.Creations());
}

TEST_F(StandInTest, OtherCompanionOperationsAreUnexpected) {
  IShellStoreFolder* folder = Create();
  ASSERT_NE(nullptr, folder);
  void* out = &model_;
  EXPECT_EQ(E_NOTIMPL, folder->EnumObjects(nullptr, 0, nullptr));
  EXPECT_EQ(E_NOTIMPL, folder->BindToObject(nullptr, nullptr, IID_IUnknown, &out));
  EXPECT_EQ(nullptr, out);
  EXPECT_EQ(E_NOTIMPL, folder->CompanionMethod7());
  StoreHandle* handle = folder->OpenStore(nullptr);
  ASSERT_NE(nullptr, handle);
  handle->CompanionOperation2();
  EXPECT_EQ(4, model_.UnexpectedCalls());
  folder->CloseStore(handle);
  folder->Release();
}

TEST_F(StandInTest, OpenStoreHandsOutTheStoreAndWindowTable) {
  model_.SetWindow(3, 1, reinterpret_cast<HWND>(0x1234));
  IShellStoreFolder* folder = Create();
  ASSERT_NE(nullptr, folder);
  SharedGlobals* globals = nullptr;
  StoreHandle* handle = folder->OpenStore(&globals);
  ASSERT_NE(nullptr, handle);
  EXPECT_TRUE(model_.IsOpen());
  ASSERT_NE(nullptr, handle->document);
  EXPECT_EQ(model_.Root(), handle->document->root);
  EXPECT_EQ("CategoryTree|FileList|QueryTree",
            ShellStoreModel::ChildNames(handle->document->root));
  ASSERT_NE(nullptr, globals);
  EXPECT_EQ(1, globals->windowTable[3].inUse);
  EXPECT_EQ(reinterpret_cast<HWND>(0x1234), globals->windowTable[3].window);
  EXPECT_EQ(0, globals->windowTable[4].inUse);

  EXPECT_EQ(0, folder->CloseStore(handle));
  EXPECT_FALSE(model_.IsOpen());
  EXPECT_EQ(1, model_.OpenCalls());
  EXPECT_EQ(1, model_.CloseCalls());
  EXPECT_EQ(0, model_.MismatchedCloses());

  // A close without an open store, or of a foreign handle, is noted.
  folder->CloseStore(handle);
  EXPECT_EQ(1, model_.MismatchedCloses());
  folder->Release();
}

TEST_F(StandInTest, OpenStoreVariants) {
  IShellStoreFolder* folder = Create();
  ASSERT_NE(nullptr, folder);

  // OpenStore answering null leaves the caller's pointer alone.
  model_.SetOpenAnswersNull(true);
  SharedGlobals* globals = nullptr;
  EXPECT_EQ(nullptr, folder->OpenStore(&globals));
  EXPECT_EQ(nullptr, globals);
  EXPECT_FALSE(model_.IsOpen());

  // No shared block: a handle, and the pointer set to null.
  model_.SetOpenAnswersNull(false);
  model_.SetGlobalsAbsent(true);
  globals = &model_.Globals();
  StoreHandle* handle = folder->OpenStore(&globals);
  ASSERT_NE(nullptr, handle);
  EXPECT_EQ(nullptr, globals);
  EXPECT_NE(nullptr, handle->document);
  folder->CloseStore(handle);

  // No document loaded.
  model_.SetDocumentPresent(false);
  handle = folder->OpenStore(&globals);
  ASSERT_NE(nullptr, handle);
  EXPECT_EQ(nullptr, handle->document);
  folder->CloseStore(handle);

  EXPECT_EQ(3, model_.OpenCalls());
  EXPECT_EQ(2, model_.CloseCalls());
  folder->Release();
}

TEST_F(StandInTest, StorePersistsAcrossCompanionObjects) {
  IShellStoreFolder* first = Create();
  ASSERT_NE(nullptr, first);
  StoreHandle* handle = first->OpenStore(nullptr);
  ASSERT_NE(nullptr, handle);
  CStoreNode* fileList = model_.Folder("FileList");
  fileList->AppendChild(new (std::nothrow) CEntryNode("id\\subject"));
  first->CloseStore(handle);
  first->Release();

  IShellStoreFolder* second = Create();
  ASSERT_NE(nullptr, second);
  handle = second->OpenStore(nullptr);
  ASSERT_NE(nullptr, handle);
  CStoreNode* root = handle->document->root;
  EXPECT_EQ("Root{CategoryTree,FileList{id\\subject},QueryTree}",
            ShellStoreModel::Describe(root));
  second->CloseStore(handle);
  second->Release();
  EXPECT_EQ(2, model_.Creations());
  EXPECT_EQ(0, model_.LiveObjects());
}

// Node values: 1-based positions, the same whether the store is open (where
// positions are taken once per list) or not.
TEST_F(StandInTest, NodeValueIsThePositionAmongSiblings) {
  CEntryNode* a = model_.AddFileEntry("a");
  CEntryNode* b = model_.AddFileEntry("b");
  CEntryNode* c = model_.AddFileEntry("c");
  // b listed a second time, after c: its first listing counts.
  ASSERT_TRUE(model_.Folder("FileList")->children.AddTail(b));
  CEntryNode* loose = new (std::nothrow) CEntryNode("loose");
  CEntryNode* unlisted = new (std::nothrow) CEntryNode("unlisted");
  unlisted->SetParent(model_.Folder("FileList"));

  struct Case {
    const char* what;
    CStoreNode* node;
    uint32_t selector;
    int32_t value;
  };
  const Case cases[] = {
      {"first", a, 1, 1},
      {"second", b, 1, 2},
      {"third", c, 1, 3},
      {"first again, asked after the third", a, 1, 1},
      {"listed twice", b, 1, 2},
      {"FileList among the folders", model_.Folder("FileList"), 1, 2},
      {"the root has no parent", model_.Root(), 1, 0},
      {"detached node", loose, 1, 0},
      {"parent that does not list it", unlisted, 1, 0},
      {"selector 0", b, 0, 0},
      {"selector 2", b, 2, 0},
      {"null node", nullptr, 1, 0},
  };
  for (bool open : {false, true}) {
    StoreHandle* handle = model_.Handle();
    IShellStoreFolder* folder = nullptr;
    if (open) {
      folder = Create();
      ASSERT_NE(nullptr, folder);
      handle = folder->OpenStore(nullptr);
      ASSERT_NE(nullptr, handle);
    }
    for (const Case& item : cases) {
      SCOPED_TRACE(std::string(item.what) + (open ? " (open)" : " (closed)"));
      EXPECT_EQ(item.value, handle->GetNodeValue(item.node, item.selector));
    }
    if (folder) {
      folder->CloseStore(handle);
      folder->Release();
    }
  }
  EXPECT_EQ(2 * 12, model_.NodeValueCalls());
  loose->Destroy(1);
  unlisted->Destroy(1);
}

TEST_F(StandInTest, PositionsFollowChangesBetweenOpens) {
  CEntryNode* a = model_.AddFileEntry("a");
  CEntryNode* b = model_.AddFileEntry("b");
  IShellStoreFolder* folder = Create();
  ASSERT_NE(nullptr, folder);
  StoreHandle* handle = folder->OpenStore(nullptr);
  EXPECT_EQ(2, handle->GetNodeValue(b, 1));
  folder->CloseStore(handle);

  model_.Folder("FileList")->UnlinkChild(a);
  a->Destroy(1);
  handle = folder->OpenStore(nullptr);
  EXPECT_EQ(1, handle->GetNodeValue(b, 1));
  // Within one open store a change is seen once the positions are dropped.
  CEntryNode* front = new (std::nothrow) CEntryNode("front");
  model_.Folder("FileList")->children.InsertAfter(
      model_.Folder("FileList")->children.Head(), front);
  front->SetParent(model_.Folder("FileList"));
  model_.Handle()->InvalidatePositions();
  EXPECT_EQ(2, handle->GetNodeValue(b, 1));
  folder->CloseStore(handle);
  folder->Release();
}

TEST(QueryFolderNodeTest, KindAndRecord) {
  CQueryFolderNode* folder = new (std::nothrow) CQueryFolderNode("Work items");
  ASSERT_NE(nullptr, folder);
  EXPECT_EQ(NODE_KIND_QUERY_FOLDER, folder->GetTypeId());
  EXPECT_EQ(3, folder->GetTypeDepth());
  EXPECT_FALSE(folder->GetBranchFlag());

  const int32_t size = folder->GetRecordSize();
  ASSERT_EQ(28 + 12 + 10, size);
  std::vector<uint8_t> record(size);
  ASSERT_EQ(size, folder->Save(record.data(), 0));
  const uint32_t expected[] = {NODE_RECORD_MAGIC, 3, NODE_KIND_QUERY_FOLDER,
                               NODE_KIND_BRANCH, NODE_KIND_NAMED,
                               static_cast<uint32_t>(size - 24), 10};
  for (size_t i = 0; i < sizeof expected / sizeof expected[0]; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(expected[i], node_record::ReadWord(&record[4 * i]));
  }
  EXPECT_EQ(0, std::memcmp(&record[28], "Work items", 10));

  // Destroyed with its subtree like any node.
  folder->AppendChild(new (std::nothrow) CQueryTermNode("__QuerySpec"));
  folder->Destroy(1);
}

TEST(ShellStoreModelTest, BuildsAndDescribesQueries) {
  struct Case {
    const char* text;
    const char* described;
  };
  const Case cases[] = {
      {"Work", "__QuerySpec{Work}"},
      {"OR(AND(p,q),NOT(x))", "__QuerySpec{OR{AND{p,q},NOT{x}}}"},
      {"AND()", "__QuerySpec{AND}"},
      {"OR(Outlook Mail,NOT(A,B))", "__QuerySpec{OR{Outlook Mail,NOT{A,B}}}"},
      {"a,b", "__QuerySpec{a,b}"},
  };
  for (const Case& item : cases) {
    SCOPED_TRACE(item.text);
    ShellStoreModel model;
    CQueryFolderNode* folder = model.AddQueryFolder(nullptr, "F", item.text);
    ASSERT_NE(nullptr, folder);
    EXPECT_EQ(model.Folder("QueryTree"), folder->GetParent());
    EXPECT_EQ(item.described,
              ShellStoreModel::Describe(folder->GetFirstChild()));
  }
}

TEST(ShellStoreModelTest, ShapesAndDescription) {
  ShellStoreModel empty(ShellStoreModel::Shape::kEmptyRoot);
  EXPECT_EQ("Root", ShellStoreModel::Describe(empty.Root()));
  EXPECT_EQ(nullptr, empty.AddFileEntry("x"));  // no FileList: not linked
  empty.AddFolder("FileList");
  empty.AddFolder("FileList");
  empty.AddFileEntry("x", "A,B", "C:\\x.txt");
  empty.AddQueryFolder(empty.AddFolder("QueryTree"), "Q", nullptr);
  EXPECT_EQ("Root{FileList{x[A,B]},FileList,QueryTree{?Q}}",
            ShellStoreModel::Describe(empty.Root()));
}

}  // namespace
