#include "query/query.h"

#include <cstring>
#include <new>

namespace {

enum Op : uint8_t { kSpec, kAnd, kOr, kNot, kLeaf };

const char* NodeName(CStoreNode* node) {
  if (!node) return "";
  const char* name = AsNamed(node)->GetName();
  return name ? name : "";
}

// Runs once per query node and entry, so it looks at the first byte before
// comparing whole names: a category name seldom shares it with an operator.
Op Classify(const char* name) {
  switch (name[0]) {
    case '_':
      return std::strcmp(name, "__QuerySpec") == 0 ? kSpec : kLeaf;
    case 'A':
      return name[1] == 'N' && name[2] == 'D' && name[3] == '\0' ? kAnd : kLeaf;
    case 'O':
      return name[1] == 'R' && name[2] == '\0' ? kOr : kLeaf;
    case 'N':
      return name[1] == 'O' && name[2] == 'T' && name[3] == '\0' ? kNot : kLeaf;
    default:
      return kLeaf;
  }
}

// The leaf test: true when a non-empty comma-separated token of list equals
// name byte for byte.  One pass over the list that compares as it goes, so a
// token is usually left at its first byte and the name's length is never
// taken; an empty name, or one holding a comma, equals no token.
bool ListHoldsName(const char* list, const char* name) {
  const char* at = list;
  for (;;) {
    while (*at == ',') ++at;
    if (*at == '\0') return false;
    const char* expected = name;
    while (*at != '\0' && *at != ',' && *at == *expected) {
      ++at;
      ++expected;
    }
    if ((*at == '\0' || *at == ',') && *expected == '\0') return true;
    while (*at != '\0' && *at != ',') ++at;
  }
}

CQueryTermNode* NewTerm(CStoreNode* source) {
  return new (std::nothrow) CQueryTermNode(NodeName(source));
}

CQueryTermNode* NewTerm(const char* name) {
  return new (std::nothrow) CQueryTermNode(name);
}

// Links child after tail, the last cell of parent's (new) list, keeping tail
// on the last cell so that long lists are built in linear time.
bool LinkLast(CStoreNode* parent, NodeCell*& tail, CStoreNode* child) {
  if (!parent->children.InsertAfter(tail, child)) return false;
  tail = tail->next;
  child->SetParent(parent);
  return true;
}

// Appends a copy of source and its whole subtree as the last child of
// parent, whose last cell is tail.  False when memory ran out; what was
// copied by then stays linked under parent.
bool CopySubtree(CStoreNode* source, CStoreNode* parent, NodeCell*& tail) {
  CQueryTermNode* copy = NewTerm(source);
  if (!copy) return false;
  if (!LinkLast(parent, tail, copy)) {
    copy->Destroy(1);
    return false;
  }
  if (!source) return true;

  struct Frame {
    NodeCell* next;     // next source child to copy
    CStoreNode* copy;   // the copy that receives it
    NodeCell* tail;     // last cell of copy's children
  };
  CNodeStack<Frame> stack;
  if (!stack.Push({source->children.First(), copy, copy->children.Head()})) {
    return false;
  }
  while (!stack.IsEmpty()) {
    Frame& frame = stack.Top();
    if (!frame.next) {
      stack.Pop();
      continue;
    }
    CStoreNode* child = frame.next->node;
    frame.next = frame.next->next;
    CQueryTermNode* childCopy = NewTerm(child);
    if (!childCopy) return false;
    if (!LinkLast(frame.copy, frame.tail, childCopy)) {
      childCopy->Destroy(1);
      return false;
    }
    if (child && !stack.Push({child->children.First(), childCopy,
                              childCopy->children.Head()})) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool CQueryMatcher::Matches(CStoreNode* query, CEntryNode* entry) {
  failed_ = false;
  stack_.Clear();
  if (!query || !entry) return false;
  const char* categories = entry->GetCategories();

  CStoreNode* node = query;
  bool result = false;
  for (;;) {
    // Down from node until a value is known.
    for (;;) {
      if (!node) {
        result = false;
        break;
      }
      const char* name = NodeName(node);
      const Op op = Classify(name);
      if (op == kLeaf) {
        result = ListHoldsName(categories, name);
        break;
      }
      NodeCell* first = node->children.First();
      if (!first) {
        result = (op == kAnd);
        break;
      }
      if (!stack_.Push({first, static_cast<uint8_t>(op)})) {
        failed_ = true;
        stack_.Clear();
        return false;
      }
      node = first->node;
    }
    // Up through the operators waiting for this value.
    for (;;) {
      if (stack_.IsEmpty()) return result;
      Frame& frame = stack_.Top();
      if (frame.op == kAnd || frame.op == kOr) {
        const bool decided = (frame.op == kAnd) ? !result : result;
        if (!decided && frame.cell->next) {
          frame.cell = frame.cell->next;
          node = frame.cell->node;
          break;
        }
        // Decided, or the last child's value is the operator's.
        stack_.Pop();
        continue;
      }
      if (frame.op == kNot) result = !result;
      stack_.Pop();
    }
  }
}

bool MatchesQuery(CStoreNode* query, CEntryNode* entry) {
  CQueryMatcher matcher;
  return matcher.Matches(query, entry);
}

CQueryTermNode* RewriteQuerySpec(CStoreNode* spec, bool* outOfMemory) {
  if (outOfMemory) *outOfMemory = false;
  if (!spec) return nullptr;
  NodeCell* topCell = spec->children.First();
  if (!topCell || !topCell->node) return nullptr;
  CStoreNode* top = topCell->node;
  if (std::strcmp(NodeName(top), "OR") != 0) return nullptr;

  CQueryTermNode* root = NewTerm("__QuerySpec");
  if (!root) {
    if (outOfMemory) *outOfMemory = true;
    return nullptr;
  }
  NodeCell* rootTail = root->children.Head();
  CQueryTermNode* andNode = NewTerm("AND");
  CQueryTermNode* orNode = nullptr;
  NodeCell* andTail = nullptr;
  NodeCell* orTail = nullptr;
  bool ok = andNode && LinkLast(root, rootTail, andNode);
  if (!ok && andNode) andNode->Destroy(1);
  if (ok) {
    andTail = andNode->children.Head();
    orNode = NewTerm("OR");
    ok = orNode && LinkLast(andNode, andTail, orNode);
    if (!ok && orNode) orNode->Destroy(1);
  }
  if (ok) orTail = orNode->children.Head();

  int32_t plainTerms = 0;
  int32_t notTerms = 0;
  for (NodeCell* cell = top->children.First(); ok && cell; cell = cell->next) {
    CStoreNode* term = cell->node;
    if (std::strcmp(NodeName(term), "NOT") != 0) {
      ok = CopySubtree(term, orNode, orTail);
      ++plainTerms;
      continue;
    }
    NodeCell* inner = term->children.First();
    if (!inner) continue;
    CQueryTermNode* notNode = NewTerm("NOT");
    if (!notNode || !LinkLast(andNode, andTail, notNode)) {
      if (notNode) notNode->Destroy(1);
      ok = false;
      break;
    }
    NodeCell* notTail = notNode->children.Head();
    ok = CopySubtree(inner->node, notNode, notTail);
    ++notTerms;
  }

  if (!ok) {
    root->Destroy(1);
    if (outOfMemory) *outOfMemory = true;
    return nullptr;
  }
  if (plainTerms == 0 || notTerms == 0) {
    root->Destroy(1);
    return nullptr;
  }
  return root;
}
