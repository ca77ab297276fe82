// Store nodes: the tree part (CStoreNode), the record interface
// (INodeRecord) and the named node kinds.
//
// Layout-bound: nodes cross between this module and the companion, which
// holds, walks, records and destroys them.  Fields and virtual operations are
// declared in the binding order; the 32-bit offsets are checked at compile
// time (store/layout_checks.h).  The destructor is one table slot, Destroy,
// as the companion's compiler lays it out; no class here has a C++ virtual
// destructor (that would take two slots), and heap nodes are destroyed only
// through Destroy(1).
//
// Ownership: a node owns its name, its blocks' data and its children; the
// parent link is not owning.  Linking a child appends it to the parent's
// `children` and then calls its SetParent.  Whoever destroys a linked node
// unlinks it first.  All memory comes from the C runtime heap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "store/node_list.h"
#include "store/str_buf.h"

constexpr uint32_t NODE_RECORD_MAGIC = 0xE6010000u;
constexpr uint32_t NODE_KIND_NAMED = 0xE6010001u;
constexpr uint32_t NODE_KIND_BRANCH = 0xE6010003u;
constexpr uint32_t NODE_KIND_QUERY_FOLDER = 0xE6010004u;  // companion's kind
constexpr uint32_t NODE_KIND_ENTRY = 0xE6010005u;
constexpr uint32_t NODE_KIND_QUERY_TERM = 0xE6010007u;
constexpr uint32_t NODE_KIND_CATEGORY = 0xE6010008u;

class CStoreNode {
 public:
  CStoreNode(const CStoreNode&) = delete;
  CStoreNode& operator=(const CStoreNode&) = delete;

  // Slot 0: runs the destructor chain of the most-derived kind and, when bit
  // 0 of flags is set, frees the object.  Destroys the whole subtree (without
  // recursion, in time linear in its size); does not unlink the node.
  virtual void* Destroy(uint32_t flags);
  virtual CStoreNode* GetParent();
  // Stores the parent link; touches no child list.
  virtual void SetParent(CStoreNode* node);
  virtual int32_t GetChildCount();
  virtual CStoreNode* GetFirstChild();
  // The node after this one in its parent's children, found by walking the
  // parent's list from the front; null without a parent, for the last child
  // and for a node missing from its parent's list.  Walks over many children
  // follow the cells instead (children.First(), cell->next).
  virtual CStoreNode* GetNextSibling();

  // Links child at the end of children, then sets its parent.  False (and
  // nothing linked) only when no memory was had for the cell.
  bool AppendChild(CStoreNode* child);
  // Unlinks the first cell holding child and frees it; the child is neither
  // destroyed nor has its parent cleared.  False when child is not listed.
  bool UnlinkChild(CStoreNode* child);

  static void* operator new(size_t size, const std::nothrow_t&) noexcept;
  static void operator delete(void* memory, const std::nothrow_t&) noexcept;
  static void operator delete(void* memory) noexcept;

  CStoreNode* parent;  // back link, not owned
  CNodeList children;  // owned children, in child order

 protected:
  CStoreNode();
  ~CStoreNode();
};

// How a node describes itself in a byte record (see store/node_record.h).
class INodeRecord {
 public:
  // The most-derived kind's type id.
  virtual uint32_t GetTypeId() = 0;
  // Number of kinds in the type-id chain (1, 2 or 3).
  virtual int32_t GetTypeDepth() = 0;
  // Reads a record; answers the bytes consumed, 0 (node unchanged) when the
  // record is refused.  The header is trusted; name and blocks are bounded by
  // the header's payload size.  option is not examined.
  virtual int32_t Load(const uint8_t* record, uint32_t option) = 0;
  // Writes the record at buffer (null: only sizes it); answers its size.
  // option is not examined.
  virtual int32_t Save(uint8_t* buffer, uint32_t option) = 0;
  // Save(null, 0).
  virtual int32_t GetRecordSize();

 protected:
  INodeRecord() = default;
  ~INodeRecord() = default;
};

// The record part of every named node (its second base), where the
// INodeRecord operations are implemented once for all kinds.  They answer for
// the most-derived kind of the node they belong to (the Save layers of that
// kind's chain, and its id and depth).
//
// Why not overrides in each node class: under the Itanium C++ ABI (GCC and
// Clang, MinGW included) a class that overrides a function of a secondary
// base also gets an entry for it in its own primary table.  Overrides of
// GetTypeId/GetTypeDepth/Load/Save in CNamedNode would sit in the primary
// table after GetNextSibling and push GetBranchFlag and the entry's eight
// operations off the slots the companion calls.  Declared here, they stay in
// the INodeRecord table only.  A class made outside this module (a test's
// stand-in for a companion kind) may still override them; a leaf adds entries
// only after its own.
class CNodeRecord : public INodeRecord {
 public:
  uint32_t GetTypeId() override;
  int32_t GetTypeDepth() override;
  int32_t Load(const uint8_t* record, uint32_t option) override;
  int32_t Save(uint8_t* buffer, uint32_t option) override;

 protected:
  CNodeRecord() = default;
  ~CNodeRecord() = default;
};

// A data block: `length` bytes at `data`, owned by the node; empty when
// length is 0 and data null.  Blocks this module allocates carry one hidden
// zero byte after their `length` bytes, so a text block read from a record
// without its terminator still reads as a text.
struct DataBlock {
  uint32_t length;
  uint8_t* data;
};

// GetTypeId, GetTypeDepth, Load, Save and GetRecordSize come from the
// record part (CNodeRecord) and answer for the node's own kind.
class CNamedNode : public CStoreNode, public CNodeRecord {
 public:
  explicit CNamedNode(const char* name);
  explicit CNamedNode(const CStrBuf& name);

  void* Destroy(uint32_t flags) override;

  // The size-aware load that our own code uses: refuses (0, node unchanged)
  // a record whose header or length words overrun size bytes.
  int32_t LoadBounded(const uint8_t* record, size_t size);

  const char* GetName() const { return name.GetText(); }

  CStrBuf name;
  DataBlock block1;
  DataBlock block2;
  DataBlock block3;
  uint32_t auxWord1;
  uint32_t auxWord2;

 protected:
  ~CNamedNode();
  // Frees a block's data and leaves it empty.
  static void ClearBlock(DataBlock* block);
  // Replaces a block with a copy of length bytes (plus the hidden zero);
  // false (block left empty) when no memory was had.
  static bool SetBlock(DataBlock* block, const void* bytes, uint32_t length);
  // Replaces a block with text and its terminator; null leaves it empty.
  static void SetTextBlock(DataBlock* block, const char* text);
  // Writes the header words of a record whose chain is ids[0..depth): the
  // magic, the node's own depth, the ids and the payload size (computed as
  // GetRecordSize() minus the node's header).  Answers 8 + 4 * (depth + 1).
  int32_t SaveWithChain(uint8_t* buffer, const uint32_t* ids, int32_t depth);
  // The named layer of Save: its header words (when buffer is not null) and
  // the body; answers the record size.
  int32_t SaveNamedLayer(uint8_t* buffer);
  // Parses the body (name and blocks) of record, bounded by payloadSize
  // bytes after its header of headerSize bytes, and commits it only when it
  // all fits and every allocation succeeded.  Answers the bytes consumed
  // from the record's start, or 0 with the node unchanged.
  int32_t LoadBody(const uint8_t* record, uint32_t headerSize,
                   uint32_t payloadSize);

  friend class CNodeRecord;
};

// Every node of the store is a named node: the tree part is its first base.
inline CNamedNode* AsNamed(CStoreNode* node) {
  return static_cast<CNamedNode*>(node);
}

class CBranchNode : public CNamedNode {
 public:
  explicit CBranchNode(const char* name);
  explicit CBranchNode(const CStrBuf& name);

  void* Destroy(uint32_t flags) override;
  // Answers false for every kind here.
  virtual bool GetBranchFlag();

 protected:
  ~CBranchNode() = default;
};

class CQueryTermNode : public CBranchNode {
 public:
  explicit CQueryTermNode(const char* name);
  explicit CQueryTermNode(const CStrBuf& name);

  void* Destroy(uint32_t flags) override;

 protected:
  ~CQueryTermNode() = default;
};

class CCategoryNode : public CBranchNode {
 public:
  explicit CCategoryNode(const char* name);
  explicit CCategoryNode(const CStrBuf& name);

  void* Destroy(uint32_t flags) override;

  uint32_t categoryWord1;  // the companion's; never set or read here
  uint32_t categoryWord2;

 protected:
  ~CCategoryNode() = default;
};

// A new detached node of one of this module's kinds (NODE_KIND_NAMED,
// _BRANCH, _ENTRY, _QUERY_TERM, _CATEGORY), or null for another kind or when
// no memory was had.
CNamedNode* CreateNodeOfKind(uint32_t kind, const char* name);
