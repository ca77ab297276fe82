// Queries: random query trees (operators used as leaves, operators without
// children, extra children, nesting, nodes of every kind) and random
// entries.  MatchesQuery, and one CQueryMatcher reused across entries, must
// answer as a reference evaluator written from the query table.  For every
// tree the rewrite must answer null unless the tree has the rewrite's
// pattern (a first child "OR" holding at least one plain term and one "NOT"
// with a child), and in that case the rewritten tree must select exactly the
// entries that match some plain term and none of the negated terms, leaving
// the original tree as it was.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "fuzz/reference_query.h"
#include "query/query.h"
#include "store/entry_node.h"
#include "store/node.h"

namespace {

const char* const kNames[] = {"__QuerySpec", "AND", "OR", "NOT", "a", "b",
                              "c", " a", "and", "", "a,b", "__QuerySpecX"};
const char* const kTokens[] = {"a", "b", "c", " a", "and", "AND", "a ", ","};
const uint32_t kKinds[] = {NODE_KIND_QUERY_TERM, NODE_KIND_NAMED, NODE_KIND_BRANCH,
                           NODE_KIND_ENTRY, NODE_KIND_CATEGORY};

constexpr int kMaxDepth = 10;
constexpr int kMaxNodes = 160;


CStoreNode* NewNode(FuzzInput* input, const char* name) {
  const uint32_t kind = input->Below(8) < 5 ? NODE_KIND_QUERY_TERM
                                            : kKinds[input->Below(5)];
  CNamedNode* node = CreateNodeOfKind(kind, name);
  if (node == nullptr) FuzzFail("no node of kind %08x", kind);
  return node;
}

void Link(CStoreNode* parent, CStoreNode* child) {
  if (!parent->AppendChild(child)) FuzzFail("AppendChild failed");
}

CStoreNode* Generate(FuzzInput* input, int depth, int* budget) {
  CStoreNode* node = NewNode(input, kNames[input->Below(sizeof kNames / sizeof *kNames)]);
  --*budget;
  const uint32_t children = depth < kMaxDepth ? input->Below(4) : 0;
  for (uint32_t i = 0; i < children && *budget > 0; ++i) {
    Link(node, Generate(input, depth + 1, budget));
  }
  return node;
}

// A tree of the rewrite's shape: root, "OR", then terms, some of them "NOT"
// (with or without children, with extra children).
CStoreNode* GeneratePattern(FuzzInput* input, int* budget) {
  CStoreNode* root = NewNode(input, input->Below(4) == 0 ? "x" : "__QuerySpec");
  CStoreNode* top = NewNode(input, "OR");
  Link(root, top);
  const uint32_t terms = input->Below(6);
  for (uint32_t i = 0; i < terms && *budget > 0; ++i) {
    if (input->Bool()) {
      CStoreNode* negation = NewNode(input, "NOT");
      const uint32_t inner = input->Below(3);
      for (uint32_t j = 0; j < inner && *budget > 0; ++j) {
        Link(negation, Generate(input, 3, budget));
      }
      Link(top, negation);
    } else {
      Link(top, Generate(input, 2, budget));
    }
  }
  if (input->Below(4) == 0) Link(root, Generate(input, 1, budget));
  return root;
}

// The tree's shape and names, to see that nothing changed it.
std::string Describe(CStoreNode* node) {
  std::string text = "(";
  text += NameOf(node);
  for (NodeCell* cell = node->children.First(); cell; cell = cell->next) {
    if (cell->node->GetParent() != node) FuzzFail("child without its parent link");
    text += Describe(cell->node);
  }
  return text + ")";
}

void CheckTermsOnly(CStoreNode* node) {
  if (AsNamed(node)->GetTypeId() != NODE_KIND_QUERY_TERM) {
    FuzzFail("rewritten node \"%s\" is not a query term", NameOf(node));
  }
  for (NodeCell* cell = node->children.First(); cell; cell = cell->next) {
    if (cell->node->GetParent() != node) FuzzFail("rewritten child without parent link");
    CheckTermsOnly(cell->node);
  }
}

struct Entry {
  CEntryNode* node;
  std::vector<std::string> tokens;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  int budget = kMaxNodes;
  CStoreNode* query = input.Bool() ? GeneratePattern(&input, &budget)
                                   : Generate(&input, 0, &budget);

  std::vector<Entry> entries;
  const uint32_t entryCount = 1 + input.Below(6);
  for (uint32_t i = 0; i < entryCount; ++i) {
    CEntryNode* entry = new (std::nothrow) CEntryNode("E\\S");
    std::string list;
    if (input.Below(5) != 0) {
      const uint32_t count = input.Below(5);
      for (uint32_t t = 0; t < count; ++t) {
        if (t != 0 || input.Below(4) == 0) list += ",";
        list += kTokens[input.Below(sizeof kTokens / sizeof *kTokens)];
      }
      entry->SetCategories(list.c_str());
    }
    entries.push_back({entry, Tokens(list)});
  }

  const std::string before = Describe(query);
  CQueryMatcher matcher;
  for (const Entry& entry : entries) {
    const bool expected = Reference(query, entry.tokens);
    if (MatchesQuery(query, entry.node) != expected ||
        matcher.Matches(query, entry.node) != expected || matcher.Failed()) {
      FuzzFail("query %s on \"%s\": expected %d", before.c_str(),
               entry.node->GetCategories(), expected);
    }
  }

  // What the rewrite must do with this tree.
  std::vector<CStoreNode*> plain;
  std::vector<CStoreNode*> negated;
  NodeCell* topCell = query->children.First();
  if (topCell != nullptr && std::strcmp(NameOf(topCell->node), "OR") == 0) {
    for (NodeCell* cell = topCell->node->children.First(); cell; cell = cell->next) {
      if (std::strcmp(NameOf(cell->node), "NOT") != 0) {
        plain.push_back(cell->node);
      } else if (NodeCell* inner = cell->node->children.First()) {
        negated.push_back(inner->node);
      }
    }
  }
  bool outOfMemory = true;
  CQueryTermNode* rewritten = RewriteQuerySpec(query, &outOfMemory);
  if (outOfMemory) FuzzFail("rewrite reported running out of memory");
  if (Describe(query) != before) FuzzFail("rewrite changed the query %s", before.c_str());
  const bool pattern = !plain.empty() && !negated.empty();
  if ((rewritten != nullptr) != pattern) {
    FuzzFail("rewrite of %s answered %p", before.c_str(), static_cast<void*>(rewritten));
  }
  if (rewritten != nullptr) {
    if (rewritten->GetParent() != nullptr) FuzzFail("rewritten root has a parent");
    CheckTermsOnly(rewritten);
    for (const Entry& entry : entries) {
      bool some = false;
      for (CStoreNode* term : plain) some = some || Reference(term, entry.tokens);
      bool none = true;
      for (CStoreNode* term : negated) none = none && !Reference(term, entry.tokens);
      const bool expected = some && none;
      if (MatchesQuery(rewritten, entry.node) != expected ||
          matcher.Matches(rewritten, entry.node) != expected) {
        FuzzFail("rewrite %s of %s on \"%s\": expected %d",
                 Describe(rewritten).c_str(), before.c_str(),
                 entry.node->GetCategories(), expected);
      }
    }
    rewritten->Destroy(1);
  }

  for (Entry& entry : entries) entry.node->Destroy(1);
  query->Destroy(1);
  return 0;
}
