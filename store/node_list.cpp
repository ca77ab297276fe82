#include "store/node_list.h"

#include "store/heap.h"
#include "store/layout_checks.h"

CNodeList::CNodeList() { headCell.next = nullptr; }

CNodeList::~CNodeList() { RemoveAll(); }

void* CNodeList::Destroy(uint32_t flags) {
  void* self = this;
  this->CNodeList::~CNodeList();
  if (flags & 1) store_heap::Free(self);
  return self;
}

void CNodeList::RemoveAll() {
  NodeCell* cell = headCell.next;
  while (cell != nullptr) {
    NodeCell* next = cell->next;
    store_heap::Free(cell);
    cell = next;
  }
  headCell.next = nullptr;
}

int32_t CNodeList::GetCount() {
  int32_t count = 0;
  for (NodeCell* cell = headCell.next; cell != nullptr; cell = cell->next) {
    ++count;
  }
  return count;
}

NodeCell* CNodeList::AddTail(CStoreNode* node) {
  NodeCell* last = &headCell;
  while (last->next != nullptr) last = last->next;
  NodeCell* cell = static_cast<NodeCell*>(store_heap::Allocate(sizeof(NodeCell)));
  if (cell == nullptr) return nullptr;
  cell->node = node;
  cell->next = nullptr;
  last->next = cell;
  return cell;
}

bool CNodeList::InsertAfter(NodeCell* cell, CStoreNode* node) {
  NodeCell* inserted = static_cast<NodeCell*>(store_heap::Allocate(sizeof(NodeCell)));
  if (inserted == nullptr) return false;
  inserted->node = node;
  inserted->next = cell->next;
  cell->next = inserted;
  return true;
}

NodeCell* CNodeList::FindCell(CStoreNode* node, NodeCell** predecessorOut) {
  NodeCell* previous = &headCell;
  for (NodeCell* cell = headCell.next; cell != nullptr; cell = cell->next) {
    if (cell->node == node) {
      if (predecessorOut != nullptr) *predecessorOut = previous;
      return cell;
    }
    previous = cell;
  }
  return nullptr;
}

void CNodeList::RemoveAfter(NodeCell* predecessor) {
  NodeCell* cell = predecessor->next;
  if (cell == nullptr) return;
  predecessor->next = cell->next;
  store_heap::Free(cell);
}

void* CNodeList::operator new(size_t size, const std::nothrow_t&) noexcept {
  return store_heap::Allocate(size);
}

void CNodeList::operator delete(void* memory, const std::nothrow_t&) noexcept {
  store_heap::Free(memory);
}

void CNodeList::operator delete(void* memory) noexcept {
  store_heap::Free(memory);
}
