// Categorization rules: files one Outlook item as an entry of FileList and
// brings the entry's category list up to date with the user's categories and
// the twenty-four built-in "Outlook ..." categories.
#pragma once

#include <new>  // store/str_buf.h names std::nothrow_t

#include "categorize/item_snapshot.h"
#include "companion/shell_store.h"
#include "store/entry_node.h"
#include "store/str_buf.h"

// Files the item under FileList as the entry named entryId + "\" + subject
// (creating it when missing), applies the user-category step and the flag,
// task, item, class and date rules in that order, and then either drops the
// entry (its category list is empty: unlinked and destroyed) or records the
// item's class in its attribute record.  A null store, a store without
// FileList, or no memory for a new entry: nothing happens.  The date rules
// read the platform clock and its local-time conversion.
void CategorizeItem(const ItemSnapshot& item);

// The user-category step: every direct child of CategoryTree, in child
// order, is added to the entry when the item's Categories text names it and
// removed otherwise.  The text is split at the user's list separator (the
// locale's LOCALE_SLIST, "," when it can't be read), each piece trimmed of
// spaces, and names compared whole, byte for byte.  A category with an empty
// name is named by no text; a category whose name holds "," is passed over
// (it could never read back as itself from the entry's comma list).
// Categories on the entry without a top-level node are left alone.
void SyncUserCategories(StoreHandle* store, CEntryNode* entry,
                        const CStrBuf& categories);

// True when text, split at separator (separatorLength bytes, at least one)
// and trimmed of spaces, has a piece equal to the nameLength bytes at name.
// An empty name is never found.  Allocates nothing.
bool CategoriesTextNames(const char* text, const char* separator,
                         size_t separatorLength, const char* name,
                         size_t nameLength);
