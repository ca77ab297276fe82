#include "tools/scenario.h"

#include <gtest/gtest.h>

#include <string>

#include "store/node.h"
#include "tools/replay.h"

namespace replay {
namespace {

bool Read(const std::string& text, Scenario* scenario, std::string* error) {
  return ReadScenarioText(text, "s.json", scenario, error);
}

TEST(ScenarioTime, AcceptsOnlyRealTimesInTheExactForm) {
  struct Case {
    const char* text;
    bool ok;
  } cases[] = {
      {"2026-12-11T10:00:00", true},
      {"2024-02-29T23:59:59", true},
      {"1601-01-01T00:00:00", true},
      {"9999-12-31T23:59:59", true},
      {"2023-02-29T00:00:00", false},  // not a leap year
      {"1900-02-29T00:00:00", false},
      {"2000-02-29T00:00:00", true},
      {"2026-04-31T00:00:00", false},
      {"2026-13-01T00:00:00", false},
      {"2026-00-01T00:00:00", false},
      {"2026-01-00T00:00:00", false},
      {"2026-01-01T24:00:00", false},
      {"2026-01-01T00:60:00", false},
      {"2026-01-01T00:00:60", false},
      {"1600-12-31T23:59:59", false},
      {"2026-01-01 00:00:00", false},
      {"2026-01-01T00:00", false},
      {"2026-1-01T00:00:00", false},
      {"2026-01-01T00:00:00Z", false},
      {"+026-01-01T00:00:00", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    LocalTime time;
    EXPECT_EQ(c.ok, ParseLocalTime(c.text, &time));
    if (c.ok) {
      EXPECT_EQ(c.text, FormatLocalTime(time));
    }
  }
}

TEST(ScenarioTime, FileTimeTicksOfKnownInstants) {
  LocalTime t;
  ASSERT_TRUE(ParseLocalTime("1601-01-01T00:00:00", &t));
  EXPECT_EQ(0u, ToFileTimeTicks(t));
  // The Unix epoch is 11644473600 seconds after 1601.
  ASSERT_TRUE(ParseLocalTime("1970-01-01T00:00:00", &t));
  EXPECT_EQ(116444736000000000ull, ToFileTimeTicks(t));
  ASSERT_TRUE(ParseLocalTime("2000-03-01T00:00:01", &t));
  EXPECT_EQ((11644473600ull + 951868801ull) * 10000000ull, ToFileTimeTicks(t));
}

TEST(ScenarioRead, DefaultsForAnEmptyScenario) {
  Scenario s;
  std::string error;
  ASSERT_TRUE(Read("{}", &s, &error)) << error;
  EXPECT_FALSE(s.hasNow);
  EXPECT_TRUE(s.windows.empty());
  EXPECT_TRUE(s.events.empty());
  EXPECT_EQ("", s.store.name);
  EXPECT_EQ(NODE_KIND_BRANCH, s.store.kind);
  ASSERT_EQ(3u, s.store.children.size());
  const char* names[] = {"CategoryTree", "FileList", "QueryTree"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(names[i], s.store.children[i].name);
    EXPECT_EQ(NODE_KIND_BRANCH, s.store.children[i].kind);
    EXPECT_TRUE(s.store.children[i].children.empty());
  }
}

TEST(ScenarioRead, QueryShorthandBecomesAFirstQuerySpecChild) {
  Scenario s;
  std::string error;
  ASSERT_TRUE(Read(R"({"store": {"name": "q", "kind": "query_folder",
      "query": ["OR", "Work", ["NOT", "Private"]],
      "children": [{"name": "inner", "kind": "query_folder", "query": "A"}]}})",
                   &s, &error))
      << error;
  ASSERT_EQ(2u, s.store.children.size());
  const ScenarioNode& spec = s.store.children[0];
  EXPECT_EQ("__QuerySpec", spec.name);
  EXPECT_EQ(NODE_KIND_QUERY_TERM, spec.kind);
  ASSERT_EQ(1u, spec.children.size());
  const ScenarioNode& orNode = spec.children[0];
  EXPECT_EQ("OR", orNode.name);
  EXPECT_EQ(NODE_KIND_QUERY_TERM, orNode.kind);
  ASSERT_EQ(2u, orNode.children.size());
  EXPECT_EQ("Work", orNode.children[0].name);
  EXPECT_TRUE(orNode.children[0].children.empty());
  EXPECT_EQ("NOT", orNode.children[1].name);
  ASSERT_EQ(1u, orNode.children[1].children.size());
  EXPECT_EQ("Private", orNode.children[1].children[0].name);
  EXPECT_EQ(NODE_KIND_QUERY_TERM, orNode.children[1].children[0].kind);
  EXPECT_EQ("inner", s.store.children[1].name);
  EXPECT_EQ(NODE_KIND_QUERY_FOLDER, s.store.children[1].kind);
}

TEST(ScenarioRead, ItemPropertiesKeepTheirTypes) {
  Scenario s;
  std::string error;
  ASSERT_TRUE(Read(R"({"events": [
      {"event": "ItemChange", "item": {"Subject": "S", "FlagStatus": -1,
        "Start": "2026-12-11T09:30:05", "Categories": null}},
      {"event": "ItemAdd", "item": {"Start": "tomorrow"}},
      {"dispid": -7},
      {"event": "ItemRemove"}]})",
                   &s, &error))
      << error;
  ASSERT_EQ(4u, s.events.size());
  const ScenarioEvent& e = s.events[0];
  EXPECT_EQ(kDispidItemChange, e.dispid);
  ASSERT_TRUE(e.hasItem);
  ASSERT_EQ(4u, e.item.size());
  EXPECT_EQ(ItemProperty::Kind::kString, e.item[0].kind);
  EXPECT_EQ("S", e.item[0].text);
  EXPECT_EQ(ItemProperty::Kind::kInteger, e.item[1].kind);
  EXPECT_EQ(-1, e.item[1].integer);
  EXPECT_EQ(ItemProperty::Kind::kDate, e.item[2].kind);
  EXPECT_EQ("2026-12-11T09:30:05", FormatLocalTime(e.item[2].date));
  EXPECT_EQ(ItemProperty::Kind::kEmpty, e.item[3].kind);
  // A Start that is no date at all reaches the item as a string.
  EXPECT_EQ(ItemProperty::Kind::kString, s.events[1].item[0].kind);
  EXPECT_EQ(-7, s.events[2].dispid);
  EXPECT_FALSE(s.events[2].hasItem);
  EXPECT_EQ(kDispidItemRemove, s.events[3].dispid);
}

TEST(ScenarioRead, EveryFaultNamesItsPlace) {
  struct Case {
    const char* text;
    const char* message;  // the whole message must start with this
  } cases[] = {
      // malformed JSON
      {"{\"now\": }", "s.json:1:9: expected a value"},
      {"[", "s.json:1:2: expected a value"},
      // wrong types
      {"[]", "s.json: $: expected a scenario object, found an array"},
      {"{\"now\": 5}", "s.json: $.now: expected a time string, found an integer"},
      {"{\"events\": {}}", "s.json: $.events: expected an array of events"},
      {"{\"events\": [3]}", "s.json: $.events[0]: expected an event object"},
      {"{\"windows\": [{\"inUse\": \"1\", \"window\": 1}]}",
       "s.json: $.windows[0].inUse: expected an integer, found a string"},
      {"{\"store\": {\"name\": 1}}",
       "s.json: $.store.name: expected a string, found an integer"},
      {"{\"store\": {\"name\": \"r\", \"children\": {}}}",
       "s.json: $.store.children: expected an array of nodes"},
      {"{\"events\": [{\"event\": \"ItemAdd\", \"item\": {\"Class\": true}}]}",
       "s.json: $.events[0].item.Class: expected a string, an integer or null, "
       "found a boolean"},
      {"{\"events\": [{\"event\": \"ItemAdd\", \"item\": {\"Class\": 1.5}}]}",
       "s.json: $.events[0].item.Class: expected a string, an integer or null"},
      {"{\"events\": [{\"event\": \"ItemAdd\", \"item\": []}]}",
       "s.json: $.events[0].item: expected an item object"},
      {"{\"store\": {\"name\": \"q\", \"kind\": \"query_folder\", \"query\": 3}}",
       "s.json: $.store.query: expected a query term"},
      {"{\"store\": {\"name\": \"q\", \"kind\": \"query_folder\", \"query\": []}}",
       "s.json: $.store.query: a query term array needs its name first"},
      {"{\"store\": {\"name\": \"q\", \"kind\": \"query_folder\", "
       "\"query\": [\"AND\", [1]]}}",
       "s.json: $.store.query[1][0]: expected a string"},
      // unknown keys and kinds
      {"{\"Now\": \"2026-12-11T10:00:00\"}",
       "s.json: $.Now: unknown key \"Now\" (a scenario takes now, store, "
       "windows, events)"},
      {"{\"store\": {\"name\": \"r\", \"kind\": \"folder\"}}",
       "s.json: $.store.kind: unknown kind \"folder\""},
      {"{\"store\": {\"name\": \"r\", \"colour\": 1}}",
       "s.json: $.store.colour: unknown key \"colour\""},
      {"{\"events\": [{\"event\": \"ItemDelete\"}]}",
       "s.json: $.events[0].event: unknown event \"ItemDelete\""},
      {"{\"events\": [{\"event\": \"ItemAdd\", \"item\": {\"Body\": \"x\"}}]}",
       "s.json: $.events[0].item.Body: unknown key \"Body\""},
      {"{\"windows\": [{\"inUse\": 1, \"window\": 1, \"hwnd\": 2}]}",
       "s.json: $.windows[0].hwnd: unknown key"},
      // keys the node's kind does not take
      {"{\"store\": {\"name\": \"r\", \"categories\": \"Work\"}}",
       "s.json: $.store.categories: key \"categories\" is not taken by a node "
       "of kind \"branch\""},
      {"{\"store\": {\"name\": \"r\", \"kind\": \"category\", \"query\": \"A\"}}",
       "s.json: $.store.query: key \"query\" is not taken by a node of kind "
       "\"category\""},
      {"{\"store\": {\"name\": \"r\", \"kind\": \"query_folder\", "
       "\"itemClass\": 43}}",
       "s.json: $.store.itemClass: key \"itemClass\" is not taken"},
      // missing and conflicting keys
      {"{\"store\": {\"kind\": \"branch\"}}",
       "s.json: $.store: a node needs a \"name\""},
      {"{\"events\": [{\"item\": {}}]}",
       "s.json: $.events[0]: an event needs \"event\" or \"dispid\""},
      {"{\"events\": [{\"event\": \"ItemAdd\", \"dispid\": 1}]}",
       "s.json: $.events[0].dispid: give either"},
      {"{\"windows\": [{\"inUse\": 1}]}",
       "s.json: $.windows[0]: a window slot needs \"window\""},
      // bad dates
      {"{\"now\": \"2026-02-30T10:00:00\"}",
       "s.json: $.now: expected \"YYYY-MM-DDTHH:MM:SS\""},
      {"{\"events\": [{\"event\": \"ItemAdd\", \"item\": "
       "{\"Start\": \"2026-12-11 10:00\"}}]}",
       "s.json: $.events[0].item.Start: expected \"YYYY-MM-DDTHH:MM:SS\""},
      // ranges
      {"{\"events\": [{\"event\": \"ItemAdd\", \"item\": "
       "{\"Status\": 2147483648}}]}",
       "s.json: $.events[0].item.Status: integer 2147483648 is out of range"},
      {"{\"events\": [{\"dispid\": -2147483649}]}",
       "s.json: $.events[0].dispid: integer -2147483649 is out of range"},
      {"{\"windows\": [{\"inUse\": 1, \"window\": -1}]}",
       "s.json: $.windows[0].window: integer -1 is out of range 0 to "
       "4294967295"},
      {"{\"windows\": [{\"inUse\": 1, \"window\": 4294967296}]}",
       "s.json: $.windows[0].window: integer 4294967296 is out of range"},
      {"{\"store\": {\"name\": \"e\", \"kind\": \"entry\", "
       "\"nodeValue\": 2147483648}}",
       "s.json: $.store.nodeValue: integer 2147483648 is out of range"},
      // texts that can't be held
      {"{\"store\": {\"name\": \"a\\u0000b\"}}",
       "s.json: $.store.name: a text may not contain the NUL character"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Scenario s;
    std::string error;
    ASSERT_FALSE(Read(c.text, &s, &error));
    EXPECT_EQ(0u, error.find(c.message)) << error;
  }
}

TEST(ScenarioRead, WindowTableHoldsAtMost128Slots) {
  auto table = [](int count) {
    std::string text = "{\"windows\": [";
    for (int i = 0; i < count; ++i) {
      text += i ? "," : "";
      text += "{\"inUse\": 1, \"window\": " + std::to_string(i + 1) + "}";
    }
    return text + "]}";
  };
  Scenario s;
  std::string error;
  ASSERT_TRUE(Read(table(128), &s, &error)) << error;
  EXPECT_EQ(128u, s.windows.size());
  EXPECT_EQ(128u, s.windows[127].window);
  ASSERT_FALSE(Read(table(129), &s, &error));
  EXPECT_EQ("s.json: $.windows: the window table has 128 slots; 129 given",
            error);
}

TEST(ScenarioRead, TheBuiltInScenarioIsValid) {
  Scenario s;
  std::string error;
  ASSERT_TRUE(Read(BuiltInScenarioText(), &s, &error)) << error;
  EXPECT_TRUE(s.hasNow);
  EXPECT_EQ(2u, s.windows.size());
  EXPECT_FALSE(s.events.empty());
}

}  // namespace
}  // namespace replay
