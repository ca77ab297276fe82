// Query folder refresh: after each item change every old query result under
// QueryTree is destroyed and every query folder is refilled with one new
// entry per FileList entry that satisfies its query.
//
// Walks hold their place on a heap stack, so a QueryTree of any depth is
// handled.  Depth counts from the node a walk starts at as given.
#pragma once

#include <cstdint>

#include "companion/shell_store.h"
#include "store/node.h"

// A step of a walk: the node, the walk's context (passed through unchanged)
// and the node's depth.
typedef void (*NodeStep)(CStoreNode* node, void* context, int32_t depth);

// Calls step for every node of node's subtree, children before their parent.
// A child's next sibling is taken before the child's subtree is walked, so a
// step may unlink and destroy the node it is given.
void WalkPostOrder(CStoreNode* node, NodeStep step, void* context,
                   int32_t depth);

// Calls step for node, then walks each child's subtree in order; the next
// sibling is taken after a child's walk, so children that a step appends to
// a node are visited as well.
void WalkPreOrder(CStoreNode* node, NodeStep step, void* context,
                  int32_t depth);

// Step: unlinks and destroys an entry (NODE_KIND_ENTRY), except an entry
// named "__Fs.dat" at depth 1.  Other kinds, a node without a parent or one
// missing from its parent's list are left alone.  context is not used.
void PurgeResultEntry(CStoreNode* node, void* context, int32_t depth);

// Step: RefreshQueryFolder for a node of kind NODE_KIND_QUERY_FOLDER, with
// context as the StoreHandle; nothing when context is null.
void RefreshIfQueryFolder(CStoreNode* node, void* context, int32_t depth);

// Purges every result under the first "QueryTree" of the root and rebuilds
// every query folder there (QueryTree itself included when it is one), each
// with the results RefreshQueryFolder would give it, a folder before the
// folders nested in it.  The folders' queries are evaluated in one shared
// pass over FileList; the results are then built folder by folder, so
// GetNodeValue is asked in the same order as by one RefreshQueryFolder per
// folder.  False, and nothing touched, when the handle has no document or
// the root has no QueryTree.
bool RefreshQueryFolders(StoreHandle* store);

// Appends to folder one new entry per FileList entry (children of other
// kinds are passed over), in FileList order, that satisfies the folder's
// first "__QuerySpec" child, rewritten by RewriteQuerySpec when it applies.
// Each result: named by the source's display name, user data the source's
// name, itemClass the source's (0 without a sized attribute record), and
// nodeValue the handle's GetNodeValue(source, 1) asked once the result is
// linked.  Answers the number of results made; 0 without FileList or
// "__QuerySpec".  When memory runs out, the folder keeps the results made
// so far and no more are built.  Old results are not removed here.
int32_t RefreshQueryFolder(StoreHandle* store, CStoreNode* folder);
