#include "host/shell_store_model.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <vector>

#include "store/prefetch.h"

// --- CQueryFolderNode ------------------------------------------------------

CQueryFolderNode::CQueryFolderNode(const char* name) : CBranchNode(name) {}
CQueryFolderNode::CQueryFolderNode(const CStrBuf& name) : CBranchNode(name) {}

void* CQueryFolderNode::Destroy(uint32_t flags) {
  void* self = this;
  this->CQueryFolderNode::~CQueryFolderNode();
  if (flags & 1) CStoreNode::operator delete(self);
  return self;
}

uint32_t CQueryFolderNode::GetTypeId() { return NODE_KIND_QUERY_FOLDER; }

int32_t CQueryFolderNode::GetTypeDepth() { return 3; }

int32_t CQueryFolderNode::Save(uint8_t* buffer, uint32_t) {
  static const uint32_t kChain[3] = {NODE_KIND_QUERY_FOLDER, NODE_KIND_BRANCH,
                                     NODE_KIND_NAMED};
  // The body first, then the header with this kind's whole chain.
  const int32_t size = SaveNamedLayer(buffer);
  if (buffer) SaveWithChain(buffer, kChain, 3);
  return size;
}

// --- CStandInStoreHandle ---------------------------------------------------

void CStandInStoreHandle::CompanionOperation1() { ++model_->unexpectedCalls_; }
void CStandInStoreHandle::CompanionOperation2() { ++model_->unexpectedCalls_; }
void CStandInStoreHandle::CompanionOperation3() { ++model_->unexpectedCalls_; }

int32_t CStandInStoreHandle::GetNodeValue(CStoreNode* node, uint32_t selector) {
  ++model_->nodeValueCalls_;
  if (selector != 1 || !node) return 0;
  CStoreNode* parent = node->GetParent();
  if (!parent) return 0;

  if (!model_->open_) {
    int32_t position = 0;
    for (NodeCell* cell = parent->children.First(); cell; cell = cell->next) {
      ++position;
      if (cell->node == node) return position;
    }
    return 0;
  }
  if (parent != positionsParent_ || !positionsChecked_) TakePositions(parent);
  return PositionOf(node);
}

void CStandInStoreHandle::TakePositions(CStoreNode* parent) {
  // The list is walked once per opening; the sorted positions are made
  // again only when its nodes or their order differ from last time.
  bool same = parent == positionsParent_;
  if (!same) listed_.clear();
  size_t index = 0;
  for (NodeCell* cell = parent->children.First(); cell; cell = cell->next) {
    if (same && index < listed_.size() && listed_[index].cell == cell &&
        listed_[index].node == cell->node) {
      // A walk along a list waits on each cell in turn; the cells of the
      // last walk are asked for well ahead of this one.
      if (index + kCellsAhead < listed_.size()) {
        PrefetchForRead(listed_[index + kCellsAhead].cell);
      }
      ++index;
      continue;
    }
    if (same) listed_.resize(index);
    same = false;
    listed_.push_back({cell, cell->node});
  }
  if (same && index != listed_.size()) {
    listed_.resize(index);
    same = false;
  }
  positionsParent_ = parent;
  positionsChecked_ = true;
  if (same) return;

  positions_.clear();
  for (size_t i = 0; i < listed_.size(); ++i) {
    if (listed_[i].node) {
      positions_.push_back({listed_[i].node, static_cast<int32_t>(i + 1)});
    }
  }
  // Stable, so the first listing of a node listed twice comes first.
  std::stable_sort(positions_.begin(), positions_.end(),
                   [](const PositionSlot& a, const PositionSlot& b) {
                     return std::less<CStoreNode*>()(a.node, b.node);
                   });
  cursor_ = 0;
}

int32_t CStandInStoreHandle::PositionOf(CStoreNode* node) {
  const size_t count = positions_.size();
  if (count == 0) return 0;
  auto before = [](const PositionSlot& slot, CStoreNode* key) {
    return std::less<CStoreNode*>()(slot.node, key);
  };
  // The add-in asks along the list, so the answer usually lies a little
  // past the last one: gallop forward from there, else search what lies
  // before it.
  size_t first = 0;
  size_t last = cursor_ + 1;
  if (before(positions_[cursor_], node)) {
    size_t step = 1;
    while (cursor_ + step < count && before(positions_[cursor_ + step], node)) {
      step *= 2;
    }
    first = cursor_ + step / 2 + 1;
    last = std::min(cursor_ + step + 1, count);
  }
  const size_t found =
      std::lower_bound(positions_.begin() + first, positions_.begin() + last,
                       node, before) -
      positions_.begin();
  if (found == count) return 0;
  cursor_ = found;
  return positions_[found].node == node ? positions_[found].position : 0;
}

void CStandInStoreHandle::InvalidatePositions() { positionsChecked_ = false; }

// --- ShellStoreModel -------------------------------------------------------

ShellStoreModel::ShellStoreModel(Shape shape)
    : root_(new (std::nothrow) CBranchNode("Root")), handle_(this) {
  document_.companionWord = nullptr;
  document_.root = root_;
  std::memset(&globals_, 0, sizeof globals_);
  if (shape == Shape::kStandard) {
    AddFolder("CategoryTree");
    AddFolder("FileList");
    AddFolder("QueryTree");
  }
}

ShellStoreModel::~ShellStoreModel() {
  if (root_) root_->Destroy(1);
}

CStoreNode* ShellStoreModel::Folder(const char* name) {
  if (!root_) return nullptr;
  for (NodeCell* cell = root_->children.First(); cell; cell = cell->next) {
    const char* own = AsNamed(cell->node)->GetName();
    if (own && std::strcmp(own, name) == 0) return cell->node;
  }
  return nullptr;
}

CStoreNode* ShellStoreModel::Link(CStoreNode* parent, CStoreNode* node) {
  if (!node) return nullptr;
  if (!parent || !parent->AppendChild(node)) {
    node->Destroy(1);
    return nullptr;
  }
  return node;
}

CStoreNode* ShellStoreModel::AddFolder(const char* name) {
  handle_.InvalidatePositions();
  return Link(root_, new (std::nothrow) CBranchNode(name));
}

CStoreNode* ShellStoreModel::AddCategory(const char* name) {
  return Link(Folder("CategoryTree"), new (std::nothrow) CCategoryNode(name));
}

CEntryNode* ShellStoreModel::AddFileEntry(const char* name,
                                          const char* categories,
                                          const char* userData) {
  CEntryNode* entry = new (std::nothrow) CEntryNode(name);
  if (!entry) return nullptr;
  if (categories) entry->SetCategories(categories);
  if (userData) entry->SetUserData(userData);
  handle_.InvalidatePositions();
  return Link(Folder("FileList"), entry) ? entry : nullptr;
}

CQueryFolderNode* ShellStoreModel::AddQueryFolder(CStoreNode* parent,
                                                  const char* name,
                                                  const char* query) {
  if (!parent) parent = Folder("QueryTree");
  CQueryFolderNode* folder = new (std::nothrow) CQueryFolderNode(name);
  if (!Link(parent, folder)) return nullptr;
  if (query) {
    CStoreNode* spec = Link(folder, new (std::nothrow) CQueryTermNode("__QuerySpec"));
    BuildTerms(spec, query);
  }
  return folder;
}

CStoreNode* ShellStoreModel::BuildTerms(CStoreNode* parent, const char* text) {
  if (!parent || !text) return nullptr;
  std::vector<CStoreNode*> parents(1, parent);
  CStoreNode* first = nullptr;
  CStoreNode* last = nullptr;
  const char* at = text;
  while (*at) {
    const char* end = at + std::strcspn(at, "(),");
    if (end > at || *end == '(') {
      std::string name(at, end);
      last = Link(parents.back(), new (std::nothrow) CQueryTermNode(name.c_str()));
      if (!first) first = last;
    }
    if (*end == '\0') break;
    if (*end == '(' && last) parents.push_back(last);
    if (*end == ')' && parents.size() > 1) parents.pop_back();
    at = end + 1;
  }
  return first;
}

std::string ShellStoreModel::Describe(CStoreNode* node) {
  std::string out;
  if (!node) return out;
  struct Frame {
    NodeCell* next;
    bool first;
  };
  std::vector<Frame> stack;
  auto open = [&](CStoreNode* n) {
    CNamedNode* named = AsNamed(n);
    if (named->GetTypeId() == NODE_KIND_QUERY_FOLDER) out += "?";
    out += named->GetName() ? named->GetName() : "";
    if (named->GetTypeId() == NODE_KIND_ENTRY && named->block2.data &&
        named->block2.length) {
      out += "[";
      out += static_cast<CEntryNode*>(named)->GetCategories();
      out += "]";
    }
    if (n->children.First()) {
      out += "{";
      stack.push_back({n->children.First(), true});
    }
  };
  open(node);
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (!frame.next) {
      out += "}";
      stack.pop_back();
      continue;
    }
    if (!frame.first) out += ",";
    frame.first = false;
    CStoreNode* child = frame.next->node;
    frame.next = frame.next->next;
    open(child);
  }
  return out;
}

std::string ShellStoreModel::ChildNames(CStoreNode* node) {
  std::string out;
  if (!node) return out;
  for (NodeCell* cell = node->children.First(); cell; cell = cell->next) {
    if (cell != node->children.First()) out += "|";
    const char* name = AsNamed(cell->node)->GetName();
    out += name ? name : "";
  }
  return out;
}

void ShellStoreModel::SetWindow(int index, int32_t inUse, HWND window) {
  if (index < 0 || index >= kWindowSlotCount) return;
  globals_.windowTable[index].inUse = inUse;
  globals_.windowTable[index].window = window;
}

CStandInStoreHandle* ShellStoreModel::Handle() {
  handle_.document = documentPresent_ ? &document_ : nullptr;
  return &handle_;
}

StoreHandle* ShellStoreModel::Open(SharedGlobals** globals) {
  ++openCalls_;
  if (openAnswersNull_) return nullptr;
  if (globals) *globals = globalsAbsent_ ? nullptr : &globals_;
  open_ = true;
  handle_.InvalidatePositions();
  return Handle();
}

int32_t ShellStoreModel::Close(StoreHandle* handle) {
  ++closeCalls_;
  if (!open_ || handle != &handle_) ++mismatchedCloses_;
  open_ = false;
  handle_.InvalidatePositions();
  return 0;
}
