#include "store/node.h"

#include <cstring>
#include <new>

#include "store/entry_node.h"
#include "store/heap.h"
#include "store/layout_checks.h"

namespace {

// A chain of cells taken out of a child list: first to last.
struct CellChain {
  NodeCell* first = nullptr;
  NodeCell* last = nullptr;
};

// Empties owner's child list and answers the cells whose node it owns: those
// whose parent is owner.  Each of those nodes is claimed (its parent cleared)
// so that a second listing of it, here or in another list, is not taken
// again.  The other cells are freed without touching their nodes.  Nothing
// is destroyed, so every node read here is alive.
CellChain TakeOwnedChildren(CStoreNode* owner) {
  CellChain owned;
  NodeCell* cell = owner->children.headCell.next;
  owner->children.headCell.next = nullptr;
  while (cell != nullptr) {
    NodeCell* next = cell->next;
    CStoreNode* node = cell->node;
    if (node != nullptr && node->parent == owner) {
      node->parent = nullptr;
      cell->next = nullptr;
      if (owned.last != nullptr) {
        owned.last->next = cell;
      } else {
        owned.first = cell;
      }
      owned.last = cell;
    } else {
      store_heap::Free(cell);
    }
    cell = next;
  }
  return owned;
}

}  // namespace

CStoreNode::CStoreNode() : parent(nullptr) {}

// Destroys the subtree without recursion and in linear time.  Phase 1 lays
// out the whole subtree as one chain of its cells in pre-order: each claimed
// node's own owned children are spliced in right after its cell, and its
// list is left empty.  Phase 2 frees each cell and destroys its node, whose
// own destructor then has no children left to visit.  A well-formed tree is
// so destroyed in the order node, its subtree, its next sibling; a malformed
// one (a child whose parent is another node, a node listed twice) has only
// the nodes it owns destroyed, each once.
CStoreNode::~CStoreNode() {
  parent = nullptr;
  const CellChain top = TakeOwnedChildren(this);
  for (NodeCell* cell = top.first; cell != nullptr; cell = cell->next) {
    const CellChain owned = TakeOwnedChildren(cell->node);
    if (owned.first != nullptr) {
      owned.last->next = cell->next;
      cell->next = owned.first;
    }
  }
  NodeCell* cell = top.first;
  while (cell != nullptr) {
    NodeCell* next = cell->next;
    CStoreNode* node = cell->node;
    store_heap::Free(cell);
    node->Destroy(1);
    cell = next;
  }
}

void* CStoreNode::Destroy(uint32_t flags) {
  void* self = this;
  this->CStoreNode::~CStoreNode();
  if (flags & 1) store_heap::Free(self);
  return self;
}

CStoreNode* CStoreNode::GetParent() { return parent; }

void CStoreNode::SetParent(CStoreNode* node) { parent = node; }

int32_t CStoreNode::GetChildCount() { return children.GetCount(); }

CStoreNode* CStoreNode::GetFirstChild() {
  NodeCell* first = children.First();
  return first ? first->node : nullptr;
}

CStoreNode* CStoreNode::GetNextSibling() {
  if (parent == nullptr) return nullptr;
  NodeCell* cell = parent->children.FindCell(this, nullptr);
  if (cell == nullptr || cell->next == nullptr) return nullptr;
  return cell->next->node;
}

bool CStoreNode::AppendChild(CStoreNode* child) {
  if (children.AddTail(child) == nullptr) return false;
  child->SetParent(this);
  return true;
}

bool CStoreNode::UnlinkChild(CStoreNode* child) {
  NodeCell* predecessor = nullptr;
  if (children.FindCell(child, &predecessor) == nullptr) return false;
  CNodeList::RemoveAfter(predecessor);
  return true;
}

void* CStoreNode::operator new(size_t size, const std::nothrow_t&) noexcept {
  return store_heap::Allocate(size);
}

void CStoreNode::operator delete(void* memory, const std::nothrow_t&) noexcept {
  store_heap::Free(memory);
}

void CStoreNode::operator delete(void* memory) noexcept {
  store_heap::Free(memory);
}

// --- CNamedNode ---------------------------------------------------------

CNamedNode::CNamedNode(const char* nameText)
    : name(nameText),
      block1{0, nullptr},
      block2{0, nullptr},
      block3{0, nullptr},
      auxWord1(0),
      auxWord2(0) {}

CNamedNode::CNamedNode(const CStrBuf& nameText) : CNamedNode(nameText.GetText()) {}

CNamedNode::~CNamedNode() {
  ClearBlock(&block1);
  ClearBlock(&block2);
  ClearBlock(&block3);
  // name, then the children (~CStoreNode), go after this.
}

void* CNamedNode::Destroy(uint32_t flags) {
  void* self = this;
  this->CNamedNode::~CNamedNode();
  if (flags & 1) store_heap::Free(self);
  return self;
}

void CNamedNode::ClearBlock(DataBlock* block) {
  store_heap::Free(block->data);
  block->data = nullptr;
  block->length = 0;
}

void CNamedNode::SetTextBlock(DataBlock* block, const char* text) {
  if (text == nullptr) {
    ClearBlock(block);
    return;
  }
  SetBlock(block, text, static_cast<uint32_t>(std::strlen(text) + 1));
}

bool CNamedNode::SetBlock(DataBlock* block, const void* bytes, uint32_t length) {
  if (length == 0) {
    ClearBlock(block);
    return true;
  }
  // The bytes may be the block's own: copy before freeing.
  uint8_t* data = static_cast<uint8_t*>(
      store_heap::Allocate(static_cast<size_t>(length) + 1));
  if (data == nullptr) {
    ClearBlock(block);
    return false;
  }
  std::memcpy(data, bytes, length);
  data[length] = 0;
  store_heap::Free(block->data);
  block->data = data;
  block->length = length;
  return true;
}

// --- the branch kinds ----------------------------------------------------

CBranchNode::CBranchNode(const char* nameText) : CNamedNode(nameText) {}
CBranchNode::CBranchNode(const CStrBuf& nameText) : CNamedNode(nameText) {}

void* CBranchNode::Destroy(uint32_t flags) {
  void* self = this;
  this->CBranchNode::~CBranchNode();
  if (flags & 1) store_heap::Free(self);
  return self;
}

bool CBranchNode::GetBranchFlag() { return false; }

CQueryTermNode::CQueryTermNode(const char* nameText) : CBranchNode(nameText) {}
CQueryTermNode::CQueryTermNode(const CStrBuf& nameText) : CBranchNode(nameText) {}

void* CQueryTermNode::Destroy(uint32_t flags) {
  void* self = this;
  this->CQueryTermNode::~CQueryTermNode();
  if (flags & 1) store_heap::Free(self);
  return self;
}

// The two words are the companion's; zero rather than heap garbage.
CCategoryNode::CCategoryNode(const char* nameText)
    : CBranchNode(nameText), categoryWord1(0), categoryWord2(0) {}
CCategoryNode::CCategoryNode(const CStrBuf& nameText)
    : CBranchNode(nameText), categoryWord1(0), categoryWord2(0) {}

void* CCategoryNode::Destroy(uint32_t flags) {
  void* self = this;
  this->CCategoryNode::~CCategoryNode();
  if (flags & 1) store_heap::Free(self);
  return self;
}

CNamedNode* CreateNodeOfKind(uint32_t kind, const char* name) {
  CNamedNode* node = nullptr;
  switch (kind) {
    case NODE_KIND_NAMED:
      node = new (std::nothrow) CNamedNode(name);
      break;
    case NODE_KIND_BRANCH:
      node = new (std::nothrow) CBranchNode(name);
      break;
    case NODE_KIND_ENTRY:
      node = new (std::nothrow) CEntryNode(name);
      break;
    case NODE_KIND_QUERY_TERM:
      node = new (std::nothrow) CQueryTermNode(name);
      break;
    case NODE_KIND_CATEGORY:
      node = new (std::nothrow) CCategoryNode(name);
      break;
    default:
      return nullptr;
  }
  // A node whose name got no storage would break the record's invariants.
  if (node != nullptr && node->name.GetText() == nullptr) {
    node->Destroy(1);
    return nullptr;
  }
  return node;
}
