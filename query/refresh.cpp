#include "query/refresh.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "categorize/navigation.h"
#include "query/node_stack.h"
#include "query/query.h"
#include "store/entry_node.h"
#include "store/heap.h"
#include "store/prefetch.h"

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

// One folder's rebuild, split so that many folders can share one pass over
// FileList: Satisfies evaluates the folder's query for an entry, Append
// builds a result.  Plain data, so a list of them lives in a CNodeStack.
struct FolderRefresh {
  StoreHandle* store;
  CStoreNode* folder;
  CStoreNode* query;           // the rewritten tree, or the "__QuerySpec" node
  CQueryTermNode* rewritten;   // destroyed by End
  NodeCell* tail;              // the folder's last cell: appends stay O(1)
  int32_t count;
  bool evaluating;             // false once an evaluation ran out of memory
  size_t matchLimit;           // shared pass: the match records it may use

  // False, and nothing to End, when the folder has no "__QuerySpec" or its
  // rewrite ran out of memory.
  bool Begin(StoreHandle* handle, CStoreNode* queryFolder) {
    store = handle;
    folder = queryFolder;
    rewritten = nullptr;
    count = 0;
    evaluating = false;
    matchLimit = 0;
    CStoreNode* spec = FindChildByName(folder, "__QuerySpec");
    if (!spec) return false;
    bool outOfMemory = false;
    rewritten = RewriteQuerySpec(spec, &outOfMemory);
    if (outOfMemory) return false;
    query = rewritten ? static_cast<CStoreNode*>(rewritten) : spec;
    tail = folder->children.Head();
    while (tail->next) tail = tail->next;
    evaluating = true;
    matchLimit = SIZE_MAX;
    return true;
  }

  // Whether source satisfies the query.  An evaluation that runs out of
  // memory answers false and ends the folder's evaluations.
  bool Satisfies(CQueryMatcher& matcher, CEntryNode* source) {
    if (!evaluating) return false;
    if (matcher.Matches(query, source)) return true;
    if (matcher.Failed()) evaluating = false;
    return false;
  }

  // Appends a result built from source.  False when memory ran out: the
  // folder then keeps the results made so far and takes no more.
  bool Append(CEntryNode* source) {
    // A result missing its name, user data or record is a failed one: it
    // goes again.  The display name is copied once, straight into the
    // result's name.
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

  int32_t End() {
    if (rewritten) rewritten->Destroy(1);
    rewritten = nullptr;
    evaluating = false;
    return count;
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
  for (NodeCell* cell = fileList->children.First(); cell; cell = cell->next) {
    CEntryNode* source = SourceEntry(cell);
    if (!source) continue;
    if (refresh.Satisfies(matcher, source)) {
      if (!refresh.Append(source)) break;
    } else if (!refresh.evaluating) {
      break;
    }
  }
  return refresh.End();
}

typedef CNodeStack<FolderRefresh, 16> FolderList;

// A FileList entry that satisfies at least one folder of a batch, and which.
// The name and record pointers are taken while the source is at hand, so
// that their loads can be started before the source's own arrives.
struct Match {
  CEntryNode* source;
  uint64_t folders;  // bit i: the batch's folder i
  const char* name;
  const uint8_t* record;
};
const size_t kBatchFolders = 64;
const int kResultsAhead = 6;

// The shared pass's records, in FileList order, in pages of 64 KiB from the
// store's heap (so that tests can refuse them).  Pages rather than one
// growing block: nothing is copied as the list grows, and no block is so
// large that freeing it at the end of every event hands memory back to the
// system, only for the next event to fault it in again.
class MatchList {
 public:
  MatchList() : size_(0) {}
  ~MatchList() {
    for (size_t i = 0; i < pages_.Size(); ++i) store_heap::Free(pages_.At(i));
  }
  MatchList(const MatchList&) = delete;
  MatchList& operator=(const MatchList&) = delete;

  bool Push(const Match& match) {
    const size_t page = size_ / kPageRecords;
    if (page == pages_.Size() && !AddPage()) return false;
    pages_.At(page)[size_ % kPageRecords] = match;
    ++size_;
    return true;
  }
  size_t Size() const { return size_; }
  const Match& At(size_t index) {
    return pages_.At(index / kPageRecords)[index % kPageRecords];
  }
  // Empties the list; its pages are kept for the next batch.
  void Clear() { size_ = 0; }

 private:
  static const size_t kPageRecords = 65536 / sizeof(Match);
  bool AddPage() {
    Match* page =
        static_cast<Match*>(store_heap::Allocate(kPageRecords * sizeof(Match)));
    if (!page) return false;
    if (!pages_.Push(page)) {
      store_heap::Free(page);
      return false;
    }
    return true;
  }

  CNodeStack<Match*> pages_;
  size_t size_;
};

// Starts loading what the walk along FileList reads next, so that it
// arrives while the current entry is evaluated: the category text of the
// next entry, the node of the one after and the cell after that.  Each was
// asked for by the calls for the earlier cells, so the fields read here are
// already at hand.  Every node is a named node, so block2 can be read of
// any kind.
void ReadAhead(NodeCell* cell) {
  NodeCell* next = cell->next;
  if (!next) return;
  if (next->node) PrefetchForRead(AsNamed(next->node)->block2.data);
  NodeCell* second = next->next;
  if (!second) return;
  if (second->node) {
    PrefetchForRead(second->node);
    PrefetchForRead(reinterpret_cast<const char*>(second->node) + 64);
  }
  PrefetchForRead(second->next);
}

// Starts loading what building a result from match reads: the source node,
// its name and its attribute record.
void ReadAhead(const Match& match) {
  PrefetchForRead(match.source);
  PrefetchForRead(reinterpret_cast<const char*>(match.source) + 64);
  PrefetchForRead(match.name);
  PrefetchForRead(match.record);
}

// Rebuilds folders [first, first + count) of the list (count at most
// kBatchFolders) with one pass over FileList for all of them.  The pass
// only evaluates, recording which entries each folder takes; the results
// are then built folder after folder, in FileList order, exactly as each
// folder's own pass would build them.  Building a folder's results
// together keeps the store's allocations in the order the purge of the
// next event frees them, which the C heap rewards with locality.
void RefreshBatch(FolderList& folders, size_t first, size_t count,
                  CStoreNode* fileList, MatchList& matches) {
  CQueryMatcher matcher;
  matches.Clear();
  size_t evaluating = count;
  bool complete = true;
  for (NodeCell* cell = fileList->children.First(); cell && evaluating > 0;
       cell = cell->next) {
    ReadAhead(cell);
    CEntryNode* source = SourceEntry(cell);
    if (!source) continue;
    uint64_t taken = 0;
    for (size_t i = 0; i < count; ++i) {
      FolderRefresh& refresh = folders.At(first + i);
      if (!refresh.evaluating) continue;
      if (refresh.Satisfies(matcher, source)) {
        taken |= uint64_t{1} << i;
      } else if (!refresh.evaluating) {
        // It takes the entries before this one and no more.
        refresh.matchLimit = matches.Size();
        --evaluating;
      }
    }
    if (taken != 0 &&
        !matches.Push({source, taken, source->GetName(), source->block1.data})) {
      complete = false;
      break;
    }
  }

  if (!complete) {
    // Without memory for the records every folder makes its own pass.
    for (size_t i = 0; i < count; ++i) {
      FolderRefresh& refresh = folders.At(first + i);
      refresh.evaluating = true;
      RefreshAlone(refresh, fileList);
    }
    return;
  }
  for (size_t i = 0; i < count; ++i) {
    FolderRefresh& refresh = folders.At(first + i);
    const uint64_t bit = uint64_t{1} << i;
    const size_t limit =
        refresh.matchLimit < matches.Size() ? refresh.matchLimit : matches.Size();
    // The first record at or after index that this folder takes.
    auto taken = [&](size_t index) {
      while (index < limit && (matches.At(index).folders & bit) == 0) ++index;
      return index;
    };
    // The sources a folder takes are apart in memory: their loads are
    // started a few results ahead of the building.
    size_t ahead = taken(0);
    for (int started = 0; started < kResultsAhead && ahead < limit; ++started) {
      ReadAhead(matches.At(ahead));
      ahead = taken(ahead + 1);
    }
    for (size_t m = taken(0); m < limit; m = taken(m + 1)) {
      if (ahead < limit) {
        ReadAhead(matches.At(ahead));
        ahead = taken(ahead + 1);
      }
      if (!refresh.Append(matches.At(m).source)) break;
    }
    refresh.End();
  }
}

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

  // The folders in pre-order, a folder before the folders nested in it,
  // rebuilt in that order by batches that share a pass over FileList.
  FolderList folders;
  Collecting collecting = {store, &folders, FindTopFolder(store, "FileList")};
  WalkPreOrder(queryTree, CollectQueryFolder, &collecting, 0);

  MatchList matches;
  for (size_t first = 0; first < folders.Size(); first += kBatchFolders) {
    const size_t left = folders.Size() - first;
    RefreshBatch(folders, first, left < kBatchFolders ? left : kBatchFolders,
                 collecting.fileList, matches);
  }
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
