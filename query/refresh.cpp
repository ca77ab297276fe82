#include "query/refresh.h"

#include <cstring>
#include <new>

#include "categorize/navigation.h"
#include "query/node_stack.h"
#include "query/query.h"
#include "store/entry_node.h"

namespace {

// The source's itemClass when it has a sized attribute record, else 0.
int32_t SourceItemClass(CEntryNode* source) {
  const DataBlock& block = source->block1;
  if (block.length == 0 || !block.data) return 0;
  uint32_t recordSize = 0;
  if (block.length < sizeof recordSize) return 0;
  std::memcpy(&recordSize, block.data, sizeof recordSize);
  if (recordSize == 0) return 0;
  int32_t itemClass = 0;
  const size_t offset = offsetof(EntryAttributes, itemClass);
  if (block.length < offset + sizeof itemClass) return 0;
  std::memcpy(&itemClass, block.data + offset, sizeof itemClass);
  return itemClass;
}

const char* NameOf(CStoreNode* node) {
  const char* name = AsNamed(node)->GetName();
  return name ? name : "";
}

}  // namespace

void WalkPostOrder(CStoreNode* node, NodeStep step, void* context,
                   int32_t depth) {
  if (!node || !step) return;
  struct Frame {
    CStoreNode* node;
    NodeCell* next;  // the next child to walk, taken before its walk
    int32_t depth;
  };
  CNodeStack<Frame> stack;
  if (!stack.Push({node, node->children.First(), depth})) return;
  while (!stack.IsEmpty()) {
    Frame& frame = stack.Top();
    if (frame.next) {
      CStoreNode* child = frame.next->node;
      frame.next = frame.next->next;
      const int32_t childDepth = frame.depth + 1;
      if (!child) continue;
      // Without memory for the frame the child's subtree is left unwalked.
      stack.Push({child, child->children.First(), childDepth});
      continue;
    }
    const Frame done = frame;
    stack.Pop();
    step(done.node, context, done.depth);
  }
}

void WalkPreOrder(CStoreNode* node, NodeStep step, void* context,
                  int32_t depth) {
  if (!node || !step) return;
  struct Frame {
    CStoreNode* node;
    NodeCell* cell;  // the child last walked; null before the first
    int32_t depth;
  };
  CNodeStack<Frame> stack;
  step(node, context, depth);
  if (!stack.Push({node, nullptr, depth})) return;
  while (!stack.IsEmpty()) {
    Frame& frame = stack.Top();
    NodeCell* next = frame.cell ? frame.cell->next : frame.node->children.First();
    if (!next) {
      stack.Pop();
      continue;
    }
    frame.cell = next;
    CStoreNode* child = next->node;
    const int32_t childDepth = frame.depth + 1;
    if (!child) continue;
    step(child, context, childDepth);
    stack.Push({child, nullptr, childDepth});
  }
}

void PurgeResultEntry(CStoreNode* node, void*, int32_t depth) {
  if (!node || AsNamed(node)->GetTypeId() != NODE_KIND_ENTRY) return;
  if (depth == 1 && std::strcmp(NameOf(node), "__Fs.dat") == 0) return;
  CStoreNode* parent = node->GetParent();
  if (!parent || !parent->UnlinkChild(node)) return;
  node->Destroy(1);
}

void RefreshIfQueryFolder(CStoreNode* node, void* context, int32_t) {
  if (!node || !context) return;
  if (AsNamed(node)->GetTypeId() != NODE_KIND_QUERY_FOLDER) return;
  RefreshQueryFolder(static_cast<StoreHandle*>(context), node);
}

namespace {

// One folder's rebuild, fed one FileList entry at a time, so that a single
// pass over FileList can fill every query folder: the entries of a large
// store are then read once per event instead of once per folder.  Plain
// data, so a list of them lives in a CNodeStack.
struct FolderRefresh {
  StoreHandle* store;
  CStoreNode* folder;
  CStoreNode* query;           // the rewritten tree, or the "__QuerySpec" node
  CQueryTermNode* rewritten;   // destroyed by End
  NodeCell* tail;              // the folder's last cell: appends stay O(1)
  int32_t count;
  bool open;                   // false once the folder takes no more results

  // False, and nothing to End, when the folder has no "__QuerySpec" or its
  // rewrite ran out of memory.
  bool Begin(StoreHandle* handle, CStoreNode* queryFolder) {
    store = handle;
    folder = queryFolder;
    rewritten = nullptr;
    count = 0;
    open = false;
    CStoreNode* spec = FindChildByName(folder, "__QuerySpec");
    if (!spec) return false;
    bool outOfMemory = false;
    rewritten = RewriteQuerySpec(spec, &outOfMemory);
    if (outOfMemory) return false;
    query = rewritten ? static_cast<CStoreNode*>(rewritten) : spec;
    tail = folder->children.Head();
    while (tail->next) tail = tail->next;
    open = true;
    return true;
  }

  // Appends a result for source when it satisfies the query.  Running out
  // of memory closes the folder with the results made so far.
  void Offer(CQueryMatcher& matcher, CEntryNode* source) {
    if (!open) return;
    if (!matcher.Matches(query, source)) {
      if (matcher.Failed()) open = false;
      return;
    }
    if (!Append(source)) open = false;
  }

  int32_t End() {
    if (rewritten) rewritten->Destroy(1);
    rewritten = nullptr;
    open = false;
    return count;
  }

 private:
  bool Append(CEntryNode* source) {
    // A result missing its name, user data or record is a failed one: it
    // goes again and the folder is left with the results made so far.
    // The display name is copied once, straight into the result's name.
    const char* displayName = source->GetDisplayNameText();
    CEntryNode* result = new (std::nothrow) CEntryNode(displayName);
    if (!result) return false;
    if (!result->GetName() || std::strcmp(result->GetName(), displayName) != 0) {
      result->Destroy(1);
      return false;
    }
    NodeCell* before = tail;
    if (!folder->children.InsertAfter(tail, result)) {
      result->Destroy(1);
      return false;
    }
    tail = tail->next;
    result->SetParent(folder);
    result->SetUserData(NameOf(source));
    result->SetItemClass(SourceItemClass(source));
    if (!result->block3.data || !result->block1.data) {
      CNodeList::RemoveAfter(before);
      tail = before;
      result->Destroy(1);
      return false;
    }
    result->SetNodeValue(store->GetNodeValue(source, 1));
    ++count;
    return true;
  }
};

CEntryNode* SourceEntry(NodeCell* cell) {
  CStoreNode* node = cell->node;
  if (!node || AsNamed(node)->GetTypeId() != NODE_KIND_ENTRY) return nullptr;
  return static_cast<CEntryNode*>(AsNamed(node));
}

// Fills one begun folder with a pass of its own and ends it.
int32_t RefreshAlone(FolderRefresh& refresh, CStoreNode* fileList) {
  CQueryMatcher matcher;
  for (NodeCell* cell = fileList->children.First(); cell && refresh.open;
       cell = cell->next) {
    if (CEntryNode* source = SourceEntry(cell)) refresh.Offer(matcher, source);
  }
  return refresh.End();
}

typedef CNodeStack<FolderRefresh, 16> FolderList;

struct Collecting {
  StoreHandle* store;
  FolderList* folders;
  CStoreNode* fileList;
};

// Step: starts the rebuild of a query folder and keeps it for the shared
// pass.  When the list cannot grow, that folder is filled on its own at
// once, with the same results.
void CollectQueryFolder(CStoreNode* node, void* context, int32_t) {
  if (!node || AsNamed(node)->GetTypeId() != NODE_KIND_QUERY_FOLDER) return;
  Collecting& collecting = *static_cast<Collecting*>(context);
  FolderRefresh refresh;
  if (!collecting.fileList || !refresh.Begin(collecting.store, node)) return;
  if (!collecting.folders->Push(refresh)) {
    RefreshAlone(refresh, collecting.fileList);
  }
}

}  // namespace

bool RefreshQueryFolders(StoreHandle* store) {
  CStoreNode* queryTree = FindTopFolder(store, "QueryTree");
  if (!queryTree) return false;

  for (NodeCell* cell = queryTree->children.First(); cell;) {
    NodeCell* next = cell->next;
    WalkPostOrder(cell->node, PurgeResultEntry, nullptr, 1);
    cell = next;
  }

  // The folders in pre-order, a folder before the folders nested in it;
  // then one pass over FileList offers each entry to every folder in turn.
  FolderList folders;
  Collecting collecting = {store, &folders, FindTopFolder(store, "FileList")};
  WalkPreOrder(queryTree, CollectQueryFolder, &collecting, 0);

  CQueryMatcher matcher;
  const size_t count = folders.Size();
  size_t open = count;
  for (NodeCell* cell = collecting.fileList ? collecting.fileList->children.First()
                                            : nullptr;
       cell && open > 0; cell = cell->next) {
    CEntryNode* source = SourceEntry(cell);
    if (!source) continue;
    for (size_t i = 0; i < count; ++i) {
      FolderRefresh& refresh = folders.At(i);
      if (!refresh.open) continue;
      refresh.Offer(matcher, source);
      if (!refresh.open) --open;
    }
  }
  for (size_t i = 0; i < count; ++i) folders.At(i).End();
  return true;
}

int32_t RefreshQueryFolder(StoreHandle* store, CStoreNode* folder) {
  if (!folder) return 0;
  CStoreNode* fileList = FindTopFolder(store, "FileList");
  if (!fileList) return 0;
  FolderRefresh refresh;
  if (!refresh.Begin(store, folder)) return 0;
  return RefreshAlone(refresh, fileList);
}
