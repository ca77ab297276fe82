// A chain of 200,000 nodes, each the only child of the one above: destroyed,
// walked, purged, evaluated as a query and rewritten, all on a small stack.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "query/query.h"
#include "query/refresh.h"
#include "store/entry_node.h"
#include "store/node.h"
#include "tests/hostile/small_stack.h"

namespace {

constexpr int32_t kDepth = 200000;

// root(rootName) -> inner(innerName) ... -> leaf(leafName); kDepth nodes in
// all.  Every node is of the given kind.
CStoreNode* MakeChain(uint32_t kind, const char* rootName,
                      const char* innerName, const char* leafName,
                      int32_t depth = kDepth) {
  CStoreNode* root = CreateNodeOfKind(kind, rootName);
  CStoreNode* last = root;
  for (int32_t i = 1; i < depth; ++i) {
    CStoreNode* node = CreateNodeOfKind(kind, i + 1 == depth ? leafName : innerName);
    EXPECT_TRUE(last->AppendChild(node));
    last = node;
  }
  return root;
}

struct WalkRecord {
  std::vector<int32_t> depths;
  std::vector<CStoreNode*> nodes;
};

void Record(CStoreNode* node, void* context, int32_t depth) {
  auto* record = static_cast<WalkRecord*>(context);
  record->depths.push_back(depth);
  record->nodes.push_back(node);
}

TEST(DeepChain, IsDestroyedWhole) {
  RunOnSmallStack([] {
    CStoreNode* root = MakeChain(NODE_KIND_ENTRY, "top", "mid", "bottom");
    root->Destroy(1);  // the sanitizer build reports anything left behind
  });
}

TEST(DeepChain, WalksVisitEveryLevelInOrder) {
  RunOnSmallStack([] {
    CStoreNode* root = MakeChain(NODE_KIND_QUERY_TERM, "top", "mid", "bottom");
    WalkRecord pre;
    WalkPreOrder(root, Record, &pre, 7);
    ASSERT_EQ(static_cast<size_t>(kDepth), pre.depths.size());
    WalkRecord post;
    WalkPostOrder(root, Record, &post, 7);
    ASSERT_EQ(static_cast<size_t>(kDepth), post.depths.size());
    // Pre-order goes down the chain, post-order comes back up it.
    CStoreNode* node = root;
    for (int32_t i = 0; i < kDepth; ++i) {
      ASSERT_EQ(7 + i, pre.depths[i]);
      ASSERT_EQ(node, pre.nodes[i]);
      ASSERT_EQ(node, post.nodes[kDepth - 1 - i]);
      ASSERT_EQ(7 + i, post.depths[kDepth - 1 - i]);
      node = node->GetFirstChild();
    }
    root->Destroy(1);
  });
}

TEST(DeepChain, PurgeDestroysEveryEntryBelowTheTop) {
  RunOnSmallStack([] {
    CStoreNode* top = CreateNodeOfKind(NODE_KIND_BRANCH, "QueryTree");
    CStoreNode* chain = MakeChain(NODE_KIND_ENTRY, "r", "r", "r");
    ASSERT_TRUE(top->AppendChild(chain));
    WalkPostOrder(chain, PurgeResultEntry, nullptr, 1);
    EXPECT_EQ(0, top->GetChildCount());
    top->Destroy(1);
  });
}

struct QueryCase {
  const char* name;
  const char* rootName;
  const char* innerName;
  const char* leafName;
  const char* categories;
  bool expected;
};

// kDepth is even: the root and 199,998 inner nodes are operators, so a chain
// of NOTs negates the leaf an odd number (199,999) of times.
const QueryCase kQueryCases[] = {
    {"NotChainNegatesOddTimes", "NOT", "NOT", "a", "a", false},
    {"NotChainOnMissingLeaf", "NOT", "NOT", "a", "b", true},
    {"AndChainOfLeaf", "AND", "AND", "a", "x,a", true},
    {"OrChainOfMissingLeaf", "OR", "OR", "a", "b", false},
    {"SpecChainReachesLeaf", "__QuerySpec", "__QuerySpec", "a", "a", true},
    {"SpecOverOrChain", "__QuerySpec", "OR", "a", "a", true},
    {"ChainEndingInEmptyAnd", "NOT", "NOT", "AND", "", false},
};

class DeepQuery : public ::testing::TestWithParam<QueryCase> {};

TEST_P(DeepQuery, EvaluatesWithoutExhaustingTheStack) {
  const QueryCase& c = GetParam();
  RunOnSmallStack([&c] {
    CStoreNode* query = MakeChain(NODE_KIND_QUERY_TERM, c.rootName, c.innerName, c.leafName);
    CEntryNode* entry = new (std::nothrow) CEntryNode("E\\S");
    entry->SetCategories(c.categories);
    EXPECT_EQ(c.expected, MatchesQuery(query, entry));
    CQueryMatcher matcher;
    EXPECT_EQ(c.expected, matcher.Matches(query, entry));
    EXPECT_FALSE(matcher.Failed());
    entry->Destroy(1);
    query->Destroy(1);
  });
}

INSTANTIATE_TEST_SUITE_P(Chains, DeepQuery, ::testing::ValuesIn(kQueryCases),
                         [](const auto& info) { return std::string(info.param.name); });

// __QuerySpec(OR(a, NOT(chain))): the rewrite copies the NOT term's whole
// subtree, 200,000 levels of it.
TEST(DeepChain, RewriteCopiesDeepTermsWithoutRecursion) {
  RunOnSmallStack([] {
    CStoreNode* spec = CreateNodeOfKind(NODE_KIND_QUERY_TERM, "__QuerySpec");
    CStoreNode* top = CreateNodeOfKind(NODE_KIND_QUERY_TERM, "OR");
    CStoreNode* plain = CreateNodeOfKind(NODE_KIND_QUERY_TERM, "a");
    CStoreNode* negation = CreateNodeOfKind(NODE_KIND_QUERY_TERM, "NOT");
    ASSERT_TRUE(spec->AppendChild(top));
    ASSERT_TRUE(top->AppendChild(plain));
    ASSERT_TRUE(top->AppendChild(negation));
    // AND(AND(...(x))): true exactly for entries carrying x.
    ASSERT_TRUE(negation->AppendChild(MakeChain(NODE_KIND_QUERY_TERM, "AND", "AND", "x")));

    CQueryTermNode* rewritten = RewriteQuerySpec(spec);
    ASSERT_NE(nullptr, rewritten);
    struct Case {
      const char* categories;
      bool expected;
    } cases[] = {{"a", true}, {"a,x", false}, {"x", false}, {"b", false}};
    for (const Case& c : cases) {
      SCOPED_TRACE(c.categories);
      CEntryNode* entry = new (std::nothrow) CEntryNode("E\\S");
      entry->SetCategories(c.categories);
      EXPECT_EQ(c.expected, MatchesQuery(rewritten, entry));
      entry->Destroy(1);
    }
    rewritten->Destroy(1);
    spec->Destroy(1);
  });
}

}  // namespace
