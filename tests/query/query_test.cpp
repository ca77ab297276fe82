// Query evaluation and the rewrite of a top-level OR.
#include "query/query.h"

#include <gtest/gtest.h>

#include <string>

#include "host/shell_store_model.h"

namespace {

// A detached "__QuerySpec" holding the terms written in text.
CStoreNode* Spec(const char* text) {
  CStoreNode* spec = new (std::nothrow) CQueryTermNode("__QuerySpec");
  ShellStoreModel::BuildTerms(spec, text);
  return spec;
}

// A detached entry with the given list (null: no list).
CEntryNode* Entry(const char* categories) {
  CEntryNode* entry = new (std::nothrow) CEntryNode("id\\s");
  if (categories) entry->SetCategories(categories);
  return entry;
}

TEST(MatchesQueryTest, Semantics) {
  struct Case {
    const char* query;
    const char* categories;  // null: no list
    bool matches;
  };
  const Case cases[] = {
      {"", "a", false},                 // spec without children
      {"a,b", "b", false},              // decided by the first child alone
      {"a,b", "a", true},
      {"AND()", nullptr, true},
      {"OR()", "a", false},
      {"NOT()", nullptr, false},
      {"NOT(Work,Home)", "Home", true},
      {"NOT(Work,Home)", "Work,Home", false},
      {"Work", "Home,Work", true},
      {"Work", "Home, Work", false},
      {"Work", "work", false},
      {"Work", ",,Work,", true},
      {"Work", "Workshop", false},
      {"Workshop", "Work", false},      // the token ends before the name
      {"Work", "Wor,Workshop,Work", true},
      {"ANDY", "ANDY", true},           // near operators are plain leaves
      {"ORE", "ORE", true},
      {"NOTE", "NOTE", true},
      {"A", "A", true},
      {"_x", "_x", true},
      {"Outlook Item", "Outlook Mail,Outlook Item", true},
      {"Work", nullptr, false},
      {"NOT(Work)", nullptr, true},
      {"NOT(AND)", "AND", false},       // "AND" is the operator, never a leaf
      {"OR(AND)", nullptr, true},
      {"AND(a,b)", "b,a", true},
      {"AND(a,b)", "a", false},
      {"OR(x,AND(a,NOT(b)))", "a", true},
      {"OR(x,AND(a,NOT(b)))", "a,b", false},
      {"AND(__QuerySpec(a),b)", "a,b", true},
      {"__QuerySpec()", "a", false},
      {"NOT(NOT(a))", "a", true},
  };
  CQueryMatcher matcher;  // reused across queries, as a refresh does
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.query << " on "
                                    << (c.categories ? c.categories : "<no list>"));
    CStoreNode* spec = Spec(c.query);
    CEntryNode* entry = Entry(c.categories);
    EXPECT_EQ(c.matches, MatchesQuery(spec, entry));
    EXPECT_EQ(c.matches, matcher.Matches(spec, entry));
    EXPECT_FALSE(matcher.Failed());
    spec->Destroy(1);
    entry->Destroy(1);
  }
  EXPECT_FALSE(MatchesQuery(nullptr, nullptr));

  // Any node of a query can be asked, not only its root.
  CStoreNode* spec = Spec("NOT(Work)");
  CEntryNode* entry = Entry("Work");
  EXPECT_FALSE(MatchesQuery(spec->GetFirstChild(), entry));
  EXPECT_TRUE(MatchesQuery(spec->GetFirstChild()->GetFirstChild(), entry));
  spec->Destroy(1);
  entry->Destroy(1);
}

// Chains of operators far deeper than the call stack could hold.
TEST(MatchesQueryTest, DeepQueries) {
  const int kDepth = 200000;
  struct Case {
    const char* op;
    int depth;
    const char* categories;
    bool matches;
  };
  const Case cases[] = {
      {"NOT", kDepth, "leaf", true},       // even count of negations
      {"NOT", kDepth + 1, "leaf", false},
      {"AND", kDepth, "leaf", true},
      {"OR", kDepth, "other", false},
      {"__QuerySpec", kDepth, "leaf", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.op << " x " << c.depth);
    CStoreNode* spec = Spec("");
    CStoreNode* at = spec;
    for (int i = 0; i < c.depth; ++i) {
      at = ShellStoreModel::Link(at, new (std::nothrow) CQueryTermNode(c.op));
      ASSERT_NE(nullptr, at);
    }
    ShellStoreModel::Link(at, new (std::nothrow) CQueryTermNode("leaf"));
    CEntryNode* entry = Entry(c.categories);
    EXPECT_EQ(c.matches, MatchesQuery(spec, entry));
    spec->Destroy(1);
    entry->Destroy(1);
  }
}

TEST(RewriteQuerySpecTest, Shapes) {
  struct Case {
    const char* query;
    const char* rewritten;  // null: no rewrite
  };
  const Case cases[] = {
      {"OR(a,NOT(x))", "__QuerySpec{AND{OR{a},NOT{x}}}"},
      {"OR(a,NOT(x,y))", "__QuerySpec{AND{OR{a},NOT{x}}}"},
      {"OR(NOT(x),a,NOT(y),b)", "__QuerySpec{AND{OR{a,b},NOT{x},NOT{y}}}"},
      // Compound terms keep their whole subtree.
      {"OR(AND(p,q),NOT(x))", "__QuerySpec{AND{OR{AND{p,q}},NOT{x}}}"},
      {"OR(a,NOT(OR(x,AND(y,z))))", "__QuerySpec{AND{OR{a},NOT{OR{x,AND{y,z}}}}}"},
      {"OR(a,NOT(),NOT(x))", "__QuerySpec{AND{OR{a},NOT{x}}}"},
      {"OR(a,b)", nullptr},
      {"OR(NOT(x),NOT(y))", nullptr},
      {"OR(a,NOT())", nullptr},
      {"OR()", nullptr},
      {"AND(a,NOT(x))", nullptr},
      {"a", nullptr},
      {"", nullptr},
      {"or(a,NOT(x))", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    CStoreNode* spec = Spec(c.query);
    const std::string before = ShellStoreModel::Describe(spec);
    bool outOfMemory = true;
    CQueryTermNode* rewritten = RewriteQuerySpec(spec, &outOfMemory);
    EXPECT_FALSE(outOfMemory);
    EXPECT_EQ(before, ShellStoreModel::Describe(spec));
    if (!c.rewritten) {
      EXPECT_EQ(nullptr, rewritten);
    } else {
      ASSERT_NE(nullptr, rewritten);
      EXPECT_EQ(c.rewritten, ShellStoreModel::Describe(rewritten));
      EXPECT_EQ(nullptr, rewritten->GetParent());
      EXPECT_EQ(NODE_KIND_QUERY_TERM, rewritten->GetTypeId());
      CStoreNode* andNode = rewritten->GetFirstChild();
      EXPECT_EQ(rewritten, andNode->GetParent());
      EXPECT_EQ(NODE_KIND_QUERY_TERM, AsNamed(andNode->GetFirstChild())->GetTypeId());
      EXPECT_EQ(andNode, andNode->GetFirstChild()->GetParent());
      rewritten->Destroy(1);
    }
    spec->Destroy(1);
  }
}

TEST(RewriteQuerySpecTest, RewrittenQueriesSelect) {
  struct Case {
    const char* query;
    const char* categories;
    bool original;
    bool rewritten;
  };
  const Case cases[] = {
      {"OR(a,NOT(x))", "a,x", true, false},
      {"OR(a,NOT(x))", "a", true, true},
      {"OR(a,NOT(x))", "b", true, false},
      {"OR(AND(p,q),NOT(x))", "p", true, false},
      {"OR(AND(p,q),NOT(x))", "p,q", true, true},
      {"OR(AND(p,q),NOT(x))", "p,q,x", true, false},
      {"OR(AND(p,q),NOT(x))", "x", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.query << " on " << c.categories);
    CStoreNode* spec = Spec(c.query);
    CEntryNode* entry = Entry(c.categories);
    CQueryTermNode* rewritten = RewriteQuerySpec(spec);
    ASSERT_NE(nullptr, rewritten);
    EXPECT_EQ(c.original, MatchesQuery(spec, entry));
    EXPECT_EQ(c.rewritten, MatchesQuery(rewritten, entry));
    rewritten->Destroy(1);
    spec->Destroy(1);
    entry->Destroy(1);
  }
}

TEST(RewriteQuerySpecTest, DeepTermsAreCopiedWhole) {
  const int kDepth = 200000;
  CStoreNode* spec = Spec("OR(a,NOT)");
  CStoreNode* at = spec->GetFirstChild()->GetFirstChild()->GetNextSibling();
  for (int i = 0; i < kDepth; ++i) {
    at = ShellStoreModel::Link(at, new (std::nothrow) CQueryTermNode("AND"));
  }
  ShellStoreModel::Link(at, new (std::nothrow) CQueryTermNode("x"));
  CQueryTermNode* rewritten = RewriteQuerySpec(spec);
  ASSERT_NE(nullptr, rewritten);
  CEntryNode* withX = Entry("a,x");
  CEntryNode* withoutX = Entry("a");
  EXPECT_FALSE(MatchesQuery(rewritten, withX));
  EXPECT_TRUE(MatchesQuery(rewritten, withoutX));
  int depth = 0;
  for (CStoreNode* n = rewritten->GetFirstChild()->GetFirstChild()->GetNextSibling();
       n; n = n->GetFirstChild()) {
    ++depth;
  }
  EXPECT_EQ(kDepth + 2, depth);  // NOT, the ANDs, x
  rewritten->Destroy(1);
  spec->Destroy(1);
  withX->Destroy(1);
  withoutX->Destroy(1);
}

}  // namespace
