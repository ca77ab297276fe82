// CNodeList: the singly linked list of node pointers that holds the children
// of every store node.
//
// Layout-bound (shared with the companion): table Destroy, RemoveAll,
// GetCount; one field, the embedded head cell, whose `next` is the first cell
// and whose `node` is never used.  The list owns its cells (C heap), never
// the nodes.  No tail pointer and no count are kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

class CStoreNode;

struct NodeCell {
  CStoreNode* node;  // not owned
  NodeCell* next;    // null in the last cell
};

class CNodeList {
 public:
  CNodeList();
  ~CNodeList();
  CNodeList(const CNodeList&) = delete;
  CNodeList& operator=(const CNodeList&) = delete;

  // Slot 0: deleting destructor (bit 0 of flags frees the object).
  virtual void* Destroy(uint32_t flags);
  // Frees every cell; the nodes are left alone.
  virtual void RemoveAll();
  // Number of cells (walks the list).
  virtual int32_t GetCount();

  // Appends a cell holding node; answers it, or null when no memory was had.
  NodeCell* AddTail(CStoreNode* node);
  // Inserts a cell holding node right after cell (which may be the head
  // cell); false only when no memory was had.
  bool InsertAfter(NodeCell* cell, CStoreNode* node);
  // First cell holding node (pointer identity), or null.  When found and
  // predecessorOut is non-null, the cell before it is stored there (the head
  // cell for the first cell); otherwise predecessorOut is not written.
  NodeCell* FindCell(CStoreNode* node, NodeCell** predecessorOut);
  // Unlinks and frees the cell after predecessor (which must have one).
  static void RemoveAfter(NodeCell* predecessor);

  NodeCell* Head() { return &headCell; }
  NodeCell* First() const { return headCell.next; }
  bool IsEmpty() const { return headCell.next == nullptr; }

  static void* operator new(size_t size, const std::nothrow_t&) noexcept;
  static void operator delete(void* memory, const std::nothrow_t&) noexcept;
  static void operator delete(void* memory) noexcept;

  NodeCell headCell;
};
