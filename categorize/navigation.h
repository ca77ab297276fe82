// Store navigation: finding the top-level folders, the categories and the
// file entries of the companion's store tree, and the two changes the
// categorizer makes to FileList.
//
// Every operation starts again from the StoreHandle; nothing is remembered
// between calls.  A handle without a document (or a null handle) finds
// nothing and changes nothing.  A lookup walks a node's children in child
// order and takes the first whose name equals the given text byte for byte.
#pragma once

#include <cstdint>

#include "companion/shell_store.h"
#include "store/entry_node.h"
#include "store/node.h"

// The first child of parent named exactly name, whatever its kind; null when
// there is none (or parent is null).
CStoreNode* FindChildByName(CStoreNode* parent, const char* name);

// The document's root node, or null when the handle has no document.
CStoreNode* GetStoreRoot(StoreHandle* store);

// The first child of the root named name ("CategoryTree", "FileList",
// "QueryTree"), or null.
CStoreNode* FindTopFolder(StoreHandle* store, const char* name);

// The first direct child of CategoryTree named name, of any kind; children
// of children are not searched.  Null when there is none.
CStoreNode* FindCategory(StoreHandle* store, const char* name);

// The first child of FileList that is an entry (NODE_KIND_ENTRY) and is
// named name; children of other kinds are passed over.  Null when none.
CEntryNode* FindEntry(StoreHandle* store, const char* name);

// Makes a new entry named name, with no blocks, and links it as the last
// child of FileList.  Does not look for an entry of that name first.  Null
// when there is no FileList or no memory was had (nothing is linked then).
CEntryNode* CreateEntry(StoreHandle* store, const char* name);

// Unlinks entry from FileList when its category list is empty; true when it
// did.  The entry is neither destroyed nor has its parent cleared: the
// caller owns it from then on.  False (nothing changed) for a null entry, an
// entry that still carries a category, a store without FileList, or an
// entry whose parent is not FileList or that is missing from its list.
bool RemoveEmptyEntry(StoreHandle* store, CEntryNode* entry);
