#include "store/node.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "store/entry_node.h"
#include "tests/store/store_test_util.h"

namespace {

using store_test::HeapCheckedTest;

// A branch that writes its name into a log when it is destroyed.
class LoggingNode : public CBranchNode {
 public:
  LoggingNode(const char* name, std::vector<std::string>* log)
      : CBranchNode(name), log_(log) {}
  void* Destroy(uint32_t flags) override {
    log_->push_back(GetName());
    return CBranchNode::Destroy(flags);
  }

 private:
  std::vector<std::string>* log_;
};

class NodeTest : public HeapCheckedTest {
 protected:
  LoggingNode* Make(const char* name) {
    LoggingNode* node = new (std::nothrow) LoggingNode(name, &log_);
    EXPECT_NE(node, nullptr);
    return node;
  }
  std::vector<std::string> log_;
};

struct KindCase {
  uint32_t kind;
  uint32_t typeId;
  int32_t depth;
  bool branch;
};

const KindCase kKinds[] = {
    {NODE_KIND_NAMED, 0xE6010001u, 1, false},
    {NODE_KIND_BRANCH, 0xE6010003u, 2, true},
    {NODE_KIND_ENTRY, 0xE6010005u, 3, true},
    {NODE_KIND_QUERY_TERM, 0xE6010007u, 3, true},
    {NODE_KIND_CATEGORY, 0xE6010008u, 3, true},
};

TEST_F(NodeTest, EveryKindStartsDetachedWithItsIdAndDepth) {
  for (const KindCase& c : kKinds) {
    SCOPED_TRACE(c.typeId);
    for (const char* name : {"Work", static_cast<const char*>(nullptr)}) {
      CNamedNode* node = CreateNodeOfKind(c.kind, name);
      ASSERT_NE(node, nullptr);
      EXPECT_EQ(node->GetTypeId(), c.typeId);
      EXPECT_EQ(node->GetTypeDepth(), c.depth);
      // Through the record interface as well as through the node.
      INodeRecord* record = node;
      EXPECT_EQ(record->GetTypeId(), c.typeId);
      if (c.branch) {
        EXPECT_FALSE(static_cast<CBranchNode*>(node)->GetBranchFlag());
      }
      EXPECT_EQ(node->GetParent(), nullptr);
      EXPECT_EQ(node->GetChildCount(), 0);
      EXPECT_EQ(node->GetFirstChild(), nullptr);
      EXPECT_EQ(node->GetNextSibling(), nullptr);
      EXPECT_STREQ(node->GetName(), name ? name : "");
      for (const DataBlock* block : {&node->block1, &node->block2, &node->block3}) {
        EXPECT_EQ(block->length, 0u);
        EXPECT_EQ(block->data, nullptr);
      }
      EXPECT_EQ(node->auxWord1, 0u);
      EXPECT_EQ(node->auxWord2, 0u);
      node->Destroy(1);
    }
  }
  EXPECT_EQ(CreateNodeOfKind(NODE_KIND_QUERY_FOLDER, "q"), nullptr);
  EXPECT_EQ(CreateNodeOfKind(NODE_RECORD_MAGIC, "q"), nullptr);
}

TEST_F(NodeTest, ConstructionFromABufferCopiesItsText) {
  CStrBuf name("ABC\\Meeting");
  CEntryNode* entry = new (std::nothrow) CEntryNode(name);
  ASSERT_NE(entry, nullptr);
  EXPECT_STREQ(entry->GetName(), "ABC\\Meeting");
  EXPECT_NE(entry->GetName(), name.GetText());
  EXPECT_EQ(entry->emptyText[0], '\0');
  entry->Destroy(1);
}

TEST_F(NodeTest, CreateWithoutMemoryAnswersNull) {
  for (int64_t skip : {0, 1}) {  // the node, then its name's storage
    SCOPED_TRACE(skip);
    store_heap::FailAllocations(skip, 1);
    EXPECT_EQ(CreateNodeOfKind(NODE_KIND_ENTRY, "E1"), nullptr);
    store_heap::FailNone();
  }
}

TEST_F(NodeTest, SiblingsFollowTheParentsList) {
  LoggingNode* parent = Make("P");
  LoggingNode* a = Make("A");
  LoggingNode* b = Make("B");
  LoggingNode* c = Make("C");
  for (LoggingNode* child : {a, b, c}) ASSERT_TRUE(parent->AppendChild(child));
  EXPECT_EQ(parent->GetChildCount(), 3);
  EXPECT_EQ(parent->GetFirstChild(), a);
  EXPECT_EQ(a->GetParent(), parent);
  EXPECT_EQ(a->GetNextSibling(), b);
  EXPECT_EQ(b->GetNextSibling(), c);
  EXPECT_EQ(c->GetNextSibling(), nullptr);

  // Unlinking frees the cell only: b keeps its parent link and is then
  // missing from the parent's list.
  ASSERT_TRUE(parent->UnlinkChild(b));
  EXPECT_FALSE(parent->UnlinkChild(b));
  EXPECT_EQ(b->GetParent(), parent);
  EXPECT_EQ(b->GetNextSibling(), nullptr);
  EXPECT_EQ(a->GetNextSibling(), c);
  EXPECT_EQ(parent->GetChildCount(), 2);

  b->SetParent(nullptr);
  b->Destroy(1);
  parent->Destroy(1);
  EXPECT_EQ(log_, (std::vector<std::string>{"B", "P", "A", "C"}));
}

TEST_F(NodeTest, AppendWithoutMemoryLinksNothing) {
  LoggingNode* parent = Make("P");
  LoggingNode* child = Make("A");
  store_heap::FailAllocations(0, 1);
  EXPECT_FALSE(parent->AppendChild(child));
  store_heap::FailNone();
  EXPECT_EQ(parent->GetChildCount(), 0);
  EXPECT_EQ(child->GetParent(), nullptr);
  child->Destroy(1);
  parent->Destroy(1);
}

TEST_F(NodeTest, DestructionVisitsEachSubtreeBeforeTheNextSibling) {
  LoggingNode* root = Make("root");
  LoggingNode* a = Make("A");
  LoggingNode* a1 = Make("A1");
  LoggingNode* a2 = Make("A2");
  LoggingNode* a11 = Make("A11");
  LoggingNode* b = Make("B");
  LoggingNode* b1 = Make("B1");
  root->AppendChild(a);
  root->AppendChild(b);
  a->AppendChild(a1);
  a->AppendChild(a2);
  a1->AppendChild(a11);
  b->AppendChild(b1);
  EXPECT_EQ(root->Destroy(1), static_cast<void*>(root));
  EXPECT_EQ(log_, (std::vector<std::string>{"root", "A", "A1", "A11", "A2", "B", "B1"}));
}

TEST_F(NodeTest, DestructionLeavesTheOwnParentsListAlone) {
  LoggingNode* parent = Make("P");
  LoggingNode* child = Make("C");
  parent->AppendChild(child);
  child->Destroy(1);  // not unlinked first: the caller's mistake to mend
  EXPECT_EQ(parent->GetChildCount(), 1);
  parent->children.RemoveAll();
  parent->Destroy(1);
  EXPECT_EQ(log_, (std::vector<std::string>{"C", "P"}));
}

TEST_F(NodeTest, MalformedTreesDestroyOnlyWhatTheyOwn) {
  {
    SCOPED_TRACE("a node listed twice is destroyed once");
    log_.clear();
    LoggingNode* root = Make("root");
    LoggingNode* a = Make("A");
    root->AppendChild(a);
    root->AppendChild(a);
    root->AppendChild(Make("B"));
    root->Destroy(1);
    EXPECT_EQ(log_, (std::vector<std::string>{"root", "A", "B"}));
  }
  {
    SCOPED_TRACE("a node listed under two parents is destroyed once");
    log_.clear();
    LoggingNode* root = Make("root");
    LoggingNode* a = Make("A");
    LoggingNode* b = Make("B");
    root->AppendChild(a);
    root->AppendChild(b);
    b->children.AddTail(a);  // a's parent stays root
    root->Destroy(1);
    EXPECT_EQ(log_, (std::vector<std::string>{"root", "A", "B"}));
  }
  {
    SCOPED_TRACE("children whose parent is another node or none are left alone");
    log_.clear();
    LoggingNode* root = Make("root");
    LoggingNode* other = Make("other");
    LoggingNode* elsewhere = Make("elsewhere");
    LoggingNode* orphan = Make("orphan");
    LoggingNode* owned = Make("owned");
    root->children.AddTail(elsewhere);
    elsewhere->SetParent(other);
    root->children.AddTail(orphan);
    root->AppendChild(owned);
    root->Destroy(1);
    EXPECT_EQ(log_, (std::vector<std::string>{"root", "owned"}));
    EXPECT_EQ(elsewhere->GetParent(), other);
    EXPECT_STREQ(orphan->GetName(), "orphan");
    elsewhere->Destroy(1);
    orphan->Destroy(1);
    other->Destroy(1);
  }
  {
    SCOPED_TRACE("a cycle through the node being destroyed terminates");
    log_.clear();
    LoggingNode* root = Make("root");
    LoggingNode* a = Make("A");
    root->AppendChild(a);
    a->AppendChild(root);  // root's parent is now a
    a->children.AddTail(a);  // and a lists itself
    root->Destroy(1);
    EXPECT_EQ(log_, (std::vector<std::string>{"root", "A"}));
  }
}

// Neither depth nor width may cost more than linear work or stack in
// proportion to the tree; these would overflow the stack or run for hours.
TEST_F(NodeTest, DestroysAVeryDeepChain) {
  CNamedNode* root = CreateNodeOfKind(NODE_KIND_BRANCH, "0");
  ASSERT_NE(root, nullptr);
  CStoreNode* tip = root;
  for (int i = 1; i < 200000; ++i) {
    CNamedNode* next = CreateNodeOfKind(NODE_KIND_QUERY_TERM, "n");
    ASSERT_NE(next, nullptr);
    ASSERT_TRUE(tip->AppendChild(next));
    tip = next;
  }
  const int64_t frees = store_heap::Frees();
  root->Destroy(1);
  // Per node: its name and the node; per link: one cell.
  EXPECT_EQ(store_heap::Frees() - frees, 200000 * 2 + 199999);
}

TEST_F(NodeTest, DestroysAVeryWideNode) {
  CNamedNode* root = CreateNodeOfKind(NODE_KIND_BRANCH, "root");
  ASSERT_NE(root, nullptr);
  NodeCell* last = root->children.Head();
  for (int i = 0; i < 100000; ++i) {
    CNamedNode* child = CreateNodeOfKind(NODE_KIND_ENTRY, "e");
    ASSERT_NE(child, nullptr);
    ASSERT_TRUE(root->children.InsertAfter(last, child));
    last = last->next;
    child->SetParent(root);
  }
  EXPECT_EQ(root->GetChildCount(), 100000);
  const int64_t frees = store_heap::Frees();
  root->Destroy(1);
  EXPECT_EQ(store_heap::Frees() - frees, 2 + 100000 * 3);
}

}  // namespace
