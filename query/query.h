// Query evaluation and rewrite.
//
// A query is a tree of store nodes whose names give its meaning (compared
// byte for byte): "__QuerySpec" stands for its first child, "AND" is true
// when every child is (no children: true), "OR" when one child is (none:
// false), "NOT" negates its first child (none: false), and any other name is
// a category leaf, true when the entry's comma-separated category list holds
// a token equal to it.  Node kinds are not examined.  Evaluation and copying
// hold their place on a heap stack, not the call stack, so a query of any
// depth is handled.
#pragma once

#include <cstdint>

#include "query/node_stack.h"
#include "store/entry_node.h"
#include "store/node.h"

// Evaluates queries; keeps its stack between calls, so one matcher used for
// many entries allocates at most once per depth it meets.
class CQueryMatcher {
 public:
  CQueryMatcher() : failed_(false) {}

  // True when entry satisfies the query rooted at query (as a rule a
  // "__QuerySpec" node).  Changes nothing.  A null query or entry: false.
  // When the query is too deep for the memory at hand, false and Failed().
  bool Matches(CStoreNode* query, CEntryNode* entry);
  // Whether the last Matches ran out of memory.
  bool Failed() const { return failed_; }

 private:
  struct Frame {
    NodeCell* cell;  // the child being evaluated
    uint8_t op;
  };
  CNodeStack<Frame> stack_;
  bool failed_;
};

// One evaluation with a matcher of its own.
bool MatchesQuery(CStoreNode* query, CEntryNode* entry);

// Rewrites a query whose first child is "OR" and whose OR holds both plain
// terms and NOT terms with a child, into __QuerySpec(AND(OR(plain terms...),
// NOT(t1), NOT(t2), ...)): each plain term, and the first child of each NOT
// term, copied with its whole subtree, in their order (further children of a
// NOT term are not copied; a NOT without children is skipped).  Any other
// query gives null.  The new tree is made of detached CQueryTermNode nodes;
// the caller destroys it through its root (Destroy(1)).  spec and its
// subtree are not changed.  When memory runs out the partial tree is
// destroyed, null is answered and *outOfMemory (when given) is set.
CQueryTermNode* RewriteQuerySpec(CStoreNode* spec, bool* outOfMemory = nullptr);
