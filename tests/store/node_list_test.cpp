#include "store/node_list.h"

#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "store/node.h"
#include "tests/store/store_test_util.h"

namespace {

class NodeListTest : public store_test::HeapCheckedTest {
 protected:
  void SetUp() override {
    HeapCheckedTest::SetUp();
    for (const char* name : {"A", "B", "C"}) {
      nodes_.push_back(new (std::nothrow) CBranchNode(name));
    }
  }
  void TearDown() override {
    for (CBranchNode* node : nodes_) node->Destroy(1);
    HeapCheckedTest::TearDown();
  }

  std::vector<CStoreNode*> Nodes(CNodeList& list) {
    std::vector<CStoreNode*> held;
    for (NodeCell* cell = list.First(); cell != nullptr; cell = cell->next) {
      held.push_back(cell->node);
    }
    return held;
  }

  CStoreNode* a() { return nodes_[0]; }
  CStoreNode* b() { return nodes_[1]; }
  CStoreNode* c() { return nodes_[2]; }

  std::vector<CBranchNode*> nodes_;
};

TEST_F(NodeListTest, EmptyList) {
  CNodeList list;
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(list.Head()->next, nullptr);
  list.RemoveAll();
  EXPECT_EQ(list.GetCount(), 0);
  NodeCell* untouched = reinterpret_cast<NodeCell*>(0x1234);
  EXPECT_EQ(list.FindCell(a(), &untouched), nullptr);
  EXPECT_EQ(untouched, reinterpret_cast<NodeCell*>(0x1234));
}

TEST_F(NodeListTest, AddTailKeepsInsertionOrderAndDuplicates) {
  CNodeList list;
  NodeCell* first = list.AddTail(a());
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->node, a());
  EXPECT_EQ(first->next, nullptr);
  list.AddTail(b());
  NodeCell* again = list.AddTail(a());
  EXPECT_EQ(list.GetCount(), 3);
  EXPECT_EQ(Nodes(list), (std::vector<CStoreNode*>{a(), b(), a()}));

  NodeCell* predecessor = nullptr;
  EXPECT_EQ(list.FindCell(a(), &predecessor), first);  // the first of the two
  EXPECT_EQ(predecessor, list.Head());
  EXPECT_EQ(list.FindCell(b(), &predecessor), first->next);
  EXPECT_EQ(predecessor, first);
  EXPECT_NE(again, first);
  EXPECT_EQ(list.FindCell(b(), nullptr), first->next);  // no output wanted
}

TEST_F(NodeListTest, InsertAfterHeadAndMiddle) {
  CNodeList list;
  list.AddTail(b());
  ASSERT_TRUE(list.InsertAfter(list.Head(), a()));
  EXPECT_EQ(Nodes(list), (std::vector<CStoreNode*>{a(), b()}));
  ASSERT_TRUE(list.InsertAfter(list.First(), c()));
  EXPECT_EQ(Nodes(list), (std::vector<CStoreNode*>{a(), c(), b()}));
  // Appending by InsertAfter on the last cell equals AddTail.
  NodeCell* last = list.First()->next->next;
  ASSERT_TRUE(list.InsertAfter(last, a()));
  EXPECT_EQ(Nodes(list), (std::vector<CStoreNode*>{a(), c(), b(), a()}));
}

TEST_F(NodeListTest, RemoveAfterUnlinksOneCell) {
  CNodeList list;
  list.AddTail(a());
  list.AddTail(b());
  list.AddTail(c());
  NodeCell* predecessor = nullptr;
  ASSERT_NE(list.FindCell(b(), &predecessor), nullptr);
  CNodeList::RemoveAfter(predecessor);
  EXPECT_EQ(Nodes(list), (std::vector<CStoreNode*>{a(), c()}));
  CNodeList::RemoveAfter(list.Head());
  EXPECT_EQ(Nodes(list), (std::vector<CStoreNode*>{c()}));
}

TEST_F(NodeListTest, RemoveAllAndDestructionLeaveTheNodesAlive) {
  const int64_t frees = store_heap::Frees();
  {
    CNodeList list;
    list.AddTail(a());
    list.AddTail(b());
    list.RemoveAll();
    EXPECT_EQ(list.Head()->next, nullptr);
    EXPECT_EQ(store_heap::Frees(), frees + 2);  // the two cells, no node
    list.AddTail(c());
    list.AddTail(a());
  }
  EXPECT_EQ(store_heap::Frees(), frees + 4);
  // The nodes are still whole.
  EXPECT_STREQ(AsNamed(a())->GetName(), "A");
  EXPECT_STREQ(AsNamed(c())->GetName(), "C");

  CNodeList* heapList = new (std::nothrow) CNodeList();
  ASSERT_NE(heapList, nullptr);
  heapList->AddTail(b());
  EXPECT_EQ(heapList->Destroy(1), static_cast<void*>(heapList));
  EXPECT_STREQ(AsNamed(b())->GetName(), "B");
}

TEST_F(NodeListTest, WithoutMemoryNothingIsAdded) {
  CNodeList list;
  list.AddTail(a());
  store_heap::FailAllocations(0, 2);
  EXPECT_EQ(list.AddTail(b()), nullptr);
  EXPECT_FALSE(list.InsertAfter(list.Head(), c()));
  store_heap::FailNone();
  EXPECT_EQ(Nodes(list), (std::vector<CStoreNode*>{a()}));
}

}  // namespace
