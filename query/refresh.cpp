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

bool RefreshQueryFolders(StoreHandle* store) {
  CStoreNode* queryTree = FindTopFolder(store, "QueryTree");
  if (!queryTree) return false;

  for (NodeCell* cell = queryTree->children.First(); cell;) {
    NodeCell* next = cell->next;
    WalkPostOrder(cell->node, PurgeResultEntry, nullptr, 1);
    cell = next;
  }

  RefreshIfQueryFolder(queryTree, store, 0);
  for (NodeCell* cell = queryTree->children.First(); cell; cell = cell->next) {
    WalkPreOrder(cell->node, RefreshIfQueryFolder, store, 1);
  }
  return true;
}

int32_t RefreshQueryFolder(StoreHandle* store, CStoreNode* folder) {
  if (!folder) return 0;
  CStoreNode* fileList = FindTopFolder(store, "FileList");
  if (!fileList) return 0;
  CStoreNode* spec = FindChildByName(folder, "__QuerySpec");
  if (!spec) return 0;

  bool outOfMemory = false;
  CQueryTermNode* rewritten = RewriteQuerySpec(spec, &outOfMemory);
  if (outOfMemory) return 0;
  CStoreNode* query = rewritten ? static_cast<CStoreNode*>(rewritten) : spec;

  // Results go at the end of the folder's list; keeping its last cell makes
  // each append constant time.
  NodeCell* tail = folder->children.Head();
  while (tail->next) tail = tail->next;

  CQueryMatcher matcher;
  int32_t count = 0;
  for (NodeCell* cell = fileList->children.First(); cell; cell = cell->next) {
    CStoreNode* node = cell->node;
    if (!node || AsNamed(node)->GetTypeId() != NODE_KIND_ENTRY) continue;
    CEntryNode* source = static_cast<CEntryNode*>(AsNamed(node));
    if (!matcher.Matches(query, source)) {
      if (matcher.Failed()) break;
      continue;
    }
    // A result missing its name, user data or record is a failed one: it
    // goes again and the folder is left with the results made so far.
    // The display name is copied once, straight into the result's name.
    const char* displayName = source->GetDisplayNameText();
    CEntryNode* result = new (std::nothrow) CEntryNode(displayName);
    if (!result) break;
    if (!result->GetName() || std::strcmp(result->GetName(), displayName) != 0) {
      result->Destroy(1);
      break;
    }
    NodeCell* before = tail;
    if (!folder->children.InsertAfter(tail, result)) {
      result->Destroy(1);
      break;
    }
    tail = tail->next;
    result->SetParent(folder);
    result->SetUserData(NameOf(source));
    result->SetItemClass(SourceItemClass(source));
    if (!result->block3.data || !result->block1.data) {
      CNodeList::RemoveAfter(before);
      result->Destroy(1);
      break;
    }
    result->SetNodeValue(store->GetNodeValue(source, 1));
    ++count;
  }

  if (rewritten) rewritten->Destroy(1);
  return count;
}
