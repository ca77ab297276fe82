#include "tools/report.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "host/shell_store_model.h"
#include "store/entry_node.h"
#include "store/heap.h"
#include "store/node.h"
#include "tools/replay.h"
#include "tools/text.h"

namespace replay {
namespace {

// A node of a kind this module does not know.
class CForeignNode : public CBranchNode {
 public:
  explicit CForeignNode(const char* name) : CBranchNode(name) {}
  uint32_t GetTypeId() override { return 0xE60100AAu; }
};

// Owns a detached tree and destroys it at the end of the test.
struct Tree {
  CStoreNode* root = nullptr;
  ~Tree() {
    if (root != nullptr) root->Destroy(1);
  }
};

uint8_t* HeapBytes(const uint8_t* bytes, size_t length) {
  uint8_t* data = static_cast<uint8_t*>(std::malloc(length + 1));
  std::memcpy(data, bytes, length);
  data[length] = 0;
  return data;
}

TEST(StoreToJson, EveryNodeWithItsKindAndAnEntryWithThePresentBlocksOnly) {
  Tree tree;
  tree.root = new (std::nothrow) CBranchNode("");
  CEntryNode* full = new (std::nothrow) CEntryNode("id\\Full");
  full->SetCategories("Work,Outlook Mail");
  full->SetUserData("C:\\x\\y");
  full->SetItemClass(-43);
  full->SetNodeValue(7);
  CEntryNode* emptyList = new (std::nothrow) CEntryNode("EmptyList");
  emptyList->SetCategories("");
  CEntryNode* bare = new (std::nothrow) CEntryNode("Bare");
  // A 12-byte attribute block holds the class word but no node value.
  CEntryNode* shortRecord = new (std::nothrow) CEntryNode("Short");
  const uint8_t twelve[12] = {32, 0, 0, 0, 0, 0, 0, 0, 0x2B, 0, 0, 0};
  shortRecord->block1.data = HeapBytes(twelve, sizeof twelve);
  shortRecord->block1.length = sizeof twelve;
  // A block with data but length 0 is absent.
  CEntryNode* zeroLength = new (std::nothrow) CEntryNode("ZeroLength");
  zeroLength->block2.data = HeapBytes(reinterpret_cast<const uint8_t*>("X"), 1);
  zeroLength->block2.length = 0;
  // Blocks of a node that is not an entry are not shown.
  CBranchNode* branchWithBlock = new (std::nothrow) CBranchNode("Branch");
  branchWithBlock->block2.data = HeapBytes(reinterpret_cast<const uint8_t*>("Y"), 1);
  branchWithBlock->block2.length = 2;

  CStoreNode* children[] = {
      full,
      emptyList,
      bare,
      shortRecord,
      zeroLength,
      branchWithBlock,
      new (std::nothrow) CNamedNode("Named"),
      new (std::nothrow) CCategoryNode("Category"),
      new (std::nothrow) CQueryTermNode("Term"),
      new (std::nothrow) CQueryFolderNode("Folder"),
      new (std::nothrow) CForeignNode("Foreign"),
  };
  for (CStoreNode* child : children) ASSERT_TRUE(tree.root->AppendChild(child));
  ASSERT_TRUE(bare->AppendChild(new (std::nothrow) CCategoryNode("Nested")));

  json::Value v = StoreToJson(tree.root);
  EXPECT_EQ(
      "{\n"
      "  \"name\": \"\",\n"
      "  \"kind\": \"branch\",\n"
      "  \"children\": [\n"
      "    {\n"
      "      \"name\": \"id\\\\Full\",\n"
      "      \"kind\": \"entry\",\n"
      "      \"categories\": \"Work,Outlook Mail\",\n"
      "      \"userData\": \"C:\\\\x\\\\y\",\n"
      "      \"itemClass\": -43,\n"
      "      \"nodeValue\": 7,\n"
      "      \"children\": []\n"
      "    },\n"
      "    {\"name\": \"EmptyList\", \"kind\": \"entry\", \"categories\": \"\", "
      "\"children\": []},\n"
      "    {\n"
      "      \"name\": \"Bare\",\n"
      "      \"kind\": \"entry\",\n"
      "      \"children\": [\n"
      "        {\"name\": \"Nested\", \"kind\": \"category\", \"children\": []}\n"
      "      ]\n"
      "    },\n"
      "    {\"name\": \"Short\", \"kind\": \"entry\", \"itemClass\": 43, "
      "\"nodeValue\": 0, \"children\": []},\n"
      "    {\"name\": \"ZeroLength\", \"kind\": \"entry\", \"children\": []},\n"
      "    {\"name\": \"Branch\", \"kind\": \"branch\", \"children\": []},\n"
      "    {\"name\": \"Named\", \"kind\": \"named\", \"children\": []},\n"
      "    {\"name\": \"Category\", \"kind\": \"category\", \"children\": []},\n"
      "    {\"name\": \"Term\", \"kind\": \"query_term\", \"children\": []},\n"
      "    {\"name\": \"Folder\", \"kind\": \"query_folder\", \"children\": []},\n"
      "    {\"name\": \"Foreign\", \"kind\": 3858825386, \"children\": []}\n"
      "  ]\n"
      "}\n",
      json::Write(v));
}

TEST(StoreToJson, TextsAreConvertedFromWindows1252) {
  Tree tree;
  tree.root = new (std::nothrow) CEntryNode("caf\xE9 \x80\x81\x8D\x8F\x90\x9D\x9F\xFF");
  static_cast<CEntryNode*>(tree.root)->SetCategories("\x96");
  json::Value v = StoreToJson(tree.root);
  EXPECT_EQ(
      "caf\xC3\xA9 \xE2\x82\xAC\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"
      "\xC5\xB8\xC3\xBF",
      v.Find("name")->AsString());
  EXPECT_EQ("\xE2\x80\x93", v.Find("categories")->AsString());
}

TEST(TextConversion, Windows1252ToUtf8CoversEveryByte) {
  struct Case {
    unsigned char byte;
    const char* utf8;
  } cases[] = {
      {0x41, "A"},          {0x7F, "\x7F"},         {0x80, "\xE2\x82\xAC"},
      {0x81, "\xC2\x81"},   {0x8A, "\xC5\xA0"},     {0x8D, "\xC2\x8D"},
      {0x8F, "\xC2\x8F"},   {0x90, "\xC2\x90"},     {0x99, "\xE2\x84\xA2"},
      {0x9D, "\xC2\x9D"},   {0x9F, "\xC5\xB8"},     {0xA0, "\xC2\xA0"},
      {0xE9, "\xC3\xA9"},   {0xFF, "\xC3\xBF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.byte));
    EXPECT_EQ(c.utf8, Windows1252ToUtf8(std::string(1, static_cast<char>(c.byte))));
  }
}

TEST(TextConversion, Utf8ToAnsiMapsWhatWindows1252HoldsAndMarksTheRest) {
  struct Case {
    const char* utf8;
    const char* ansi;
  } cases[] = {
      {"", ""},
      {"plain", "plain"},
      {"caf\xC3\xA9", "caf\xE9"},
      {"\xE2\x82\xAC \xE2\x80\x93", "\x80 \x96"},
      {"\xE4\xB8\xAD", "?"},
      {"\xF0\x9F\x98\x80", "?"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(c.ansi, Utf8ToAnsi(c.utf8));
  }
}

json::Value Node(const char* name, const char* kind,
                 std::vector<json::Value> children = {}) {
  json::Value node = json::Value::Object();
  node.Set("name", json::Value::String(name));
  node.Set("kind", json::Value::String(kind));
  json::Value& list = node.Set("children", json::Value::Array());
  for (json::Value& child : children) list.Push(std::move(child));
  return node;
}

json::Value With(json::Value node, const char* key, json::Value value) {
  node.Set(key, std::move(value));
  return node;
}

TEST(FormatText, ShowsTreeQueriesSourcesAndRefreshes) {
  Outcome outcome;
  json::Value entry = Node("m1\\Report", "entry");
  entry = With(entry, "categories", json::Value::String("Work,Outlook Mail"));
  entry = With(entry, "itemClass", json::Value::Integer(43));
  entry = With(entry, "nodeValue", json::Value::Integer(0));
  json::Value result = Node("Report", "entry");
  result = With(result, "userData", json::Value::String("m1\\Report"));
  result = With(result, "itemClass", json::Value::Integer(43));
  result = With(result, "nodeValue", json::Value::Integer(1));
  json::Value query = Node(
      "OR", "query_term",
      {Node("Work", "query_term"),
       Node("NOT", "query_term", {Node("Pay (late)", "query_term")})});
  outcome.store = Node(
      "", "branch",
      {Node("CategoryTree", "branch",
            {Node("Work", "category"), Node("A,B", "category")}),
       Node("FileList", "branch", {entry, Node("lonely", "entry")}),
       Node("QueryTree", "branch",
            {Node("Work only", "query_folder",
                  {Node("__QuerySpec", "query_term", {query}), result})})});

  outcome.events.push_back({0xF001, 0});
  outcome.events.push_back({0xF003, static_cast<int32_t>(0x80004005)});
  outcome.events.push_back({5, static_cast<int32_t>(0x80020003)});
  outcome.posts.push_back({0, 0x1001, 0x0111, 200, 0});
  outcome.posts.push_back({2, 0xFFFFFFFFu, 0x0010, 1, -1});

  Scenario scenario;
  std::string error;
  ASSERT_TRUE(ReadScenarioText(
      R"({"events": [{"event": "ItemAdd", "item": {"EntryID": "m1", "Subject": "Report"}},
                     {"event": "ItemRemove"}, {"dispid": 5}]})",
      "s.json", &scenario, &error))
      << error;

  EXPECT_EQ(
      "Store after 3 events (local time 2026-12-11T10:00:00):\n"
      "  \"\"\n"
      "    CategoryTree\n"
      "      categories: Work, \"A,B\"\n"
      "    FileList\n"
      "      m1\\Report  {Work,Outlook Mail}  mail\n"
      "      lonely  [entry]\n"
      "    QueryTree\n"
      "      Work only  [query folder]\n"
      "        query: OR(Work, NOT(\"Pay (late)\"))\n"
      "        Report  <- m1\\Report  mail\n"
      "\n"
      "Events:\n"
      "  event 0 ItemAdd m1 \"Report\" -> S_OK\n"
      "  event 1 ItemRemove -> E_FAIL\n"
      "  event 2 dispid 5 -> 0x80020003\n"
      "\n"
      "Refreshes posted:\n"
      "  event 0 ItemAdd -> window 0x1001: WM_COMMAND 200\n"
      "  event 2 dispid 5 -> window 0xFFFFFFFF: message 0x10 wParam 1 lParam -1\n",
      FormatText(outcome, scenario, "2026-12-11T10:00:00"));
}

TEST(FormatText, LongCategoryRunsWrapAndOtherNodesBreakTheRun) {
  Outcome outcome;
  std::vector<json::Value> children;
  for (const char* name :
       {"Outlook Task Not Started", "Outlook Task In Progress",
        "Outlook Task Complete", "Outlook Task Waiting"}) {
    children.push_back(Node(name, "category"));
  }
  children.push_back(
      Node("Parent", "category", {Node("Child", "category")}));
  children.push_back(Node("After", "category"));
  outcome.store = Node("CategoryTree", "branch", children);
  Scenario scenario;
  std::string text = FormatText(outcome, scenario, "");
  EXPECT_NE(std::string::npos,
            text.find("Store after 0 events (real clock):\n"
                      "  CategoryTree\n"
                      "    categories: Outlook Task Not Started, "
                      "Outlook Task In Progress,\n"
                      "                Outlook Task Complete, "
                      "Outlook Task Waiting\n"
                      "    Parent  [category]\n"
                      "      categories: Child\n"
                      "    categories: After\n"))
      << text;
  EXPECT_NE(std::string::npos, text.find("Events:\n  (none)\n"));
  EXPECT_NE(std::string::npos, text.find("Refreshes posted:\n  (none)\n"));
}

TEST(RunScenario, LeavesNoStoreMemoryBehind) {
  Scenario scenario;
  std::string error;
  ASSERT_TRUE(ReadScenarioText(BuiltInScenarioText(), "built-in", &scenario,
                               &error));
  // The first run may make what the rules keep for the life of the process;
  // the second must give back everything it takes.
  Outcome first;
  ASSERT_TRUE(RunScenario(scenario, &scenario.now, &first, &error)) << error;
  int64_t live = store_heap::Live();
  Outcome second;
  ASSERT_TRUE(RunScenario(scenario, &scenario.now, &second, &error)) << error;
  EXPECT_EQ(live, store_heap::Live());
  EXPECT_EQ(scenario.events.size(), second.events.size());
  EXPECT_EQ(json::Write(first.store), json::Write(second.store));
}

}  // namespace
}  // namespace replay
