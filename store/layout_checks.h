// Compile-time checks of the layouts shared with the companion.  The offsets
// and sizes are those of the 32-bit Windows build, where the companion lives;
// they are checked whenever pointers are 4 bytes.  The attribute record is a
// byte format and is checked on every target.
#pragma once

#include <cstddef>

#include "store/entry_node.h"
#include "store/node.h"
#include "store/node_list.h"
#include "store/str_buf.h"

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#endif

static_assert(sizeof(EntryAttributes) == 32, "EntryAttributes is 32 bytes");
static_assert(offsetof(EntryAttributes, recordSize) == 0, "recordSize");
static_assert(offsetof(EntryAttributes, preservedWord) == 4, "preservedWord");
static_assert(offsetof(EntryAttributes, itemClass) == 8, "itemClass");
static_assert(offsetof(EntryAttributes, nodeValue) == 12, "nodeValue");
static_assert(offsetof(EntryAttributes, reservedWords) == 16, "reservedWords");

#if (defined(__SIZEOF_POINTER__) && __SIZEOF_POINTER__ == 4) || \
    defined(_M_IX86)
static_assert(sizeof(CStrBuf) == 12, "CStrBuf is 12 bytes");
static_assert(offsetof(CStrBuf, text) == 4, "CStrBuf::text follows the table");
static_assert(offsetof(CStrBuf, capacity) == 8, "CStrBuf::capacity");

static_assert(sizeof(NodeCell) == 8, "NodeCell is 8 bytes");
static_assert(offsetof(NodeCell, next) == 4, "NodeCell::next");
static_assert(sizeof(CNodeList) == 12, "CNodeList is 12 bytes");
static_assert(offsetof(CNodeList, headCell) == 4, "CNodeList::headCell");

static_assert(sizeof(DataBlock) == 8, "DataBlock is 8 bytes");
static_assert(offsetof(DataBlock, data) == 4, "DataBlock::data");

static_assert(sizeof(CStoreNode) == 20, "the tree part is 20 bytes");
static_assert(offsetof(CNamedNode, parent) == 4, "parent at 4");
static_assert(offsetof(CNamedNode, children) == 8, "children at 8");
// The record part is a field-less base holding only its table pointer; with
// the tree part ending at 20 and name at 24 it can only lie at 20.
static_assert(sizeof(INodeRecord) == 4 && sizeof(CNodeRecord) == 4,
              "the record part is one table pointer");
static_assert(offsetof(CNamedNode, name) == 24, "name at 24");
static_assert(offsetof(CNamedNode, block1) == 36, "block1 at 36");
static_assert(offsetof(CNamedNode, block2) == 44, "block2 at 44");
static_assert(offsetof(CNamedNode, block3) == 52, "block3 at 52");
static_assert(offsetof(CNamedNode, auxWord1) == 60, "auxWord1 at 60");
static_assert(offsetof(CNamedNode, auxWord2) == 64, "auxWord2 at 64");
static_assert(sizeof(CNamedNode) == 68, "a named node is 68 bytes");
static_assert(sizeof(CBranchNode) == 68, "a branch adds no field");
static_assert(sizeof(CQueryTermNode) == 68, "a query term adds no field");
static_assert(offsetof(CEntryNode, emptyText) == 68, "the entry's field at 68");
static_assert(sizeof(CEntryNode) == 72, "an entry is 72 bytes");
static_assert(offsetof(CCategoryNode, categoryWord1) == 68, "categoryWord1");
static_assert(offsetof(CCategoryNode, categoryWord2) == 72, "categoryWord2");
static_assert(sizeof(CCategoryNode) == 76, "a category is 76 bytes");
#endif  // 4-byte pointers

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
