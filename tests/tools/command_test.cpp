// Runs the built brindle-replay command as a user would: scenario files in,
// text or JSON out, exit status and messages on bad input.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/json.h"

namespace {

const std::string kCommand = BRINDLE_REPLAY_COMMAND;
const std::string kScenarios = BRINDLE_SCENARIO_DIR;

struct Result {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string Shell(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// Per process, so that two builds' tests can run side by side.
std::string TempPath(const std::string& name) {
  return testing::TempDir() + "brindle_replay_" + std::to_string(getpid()) +
         "_" + name;
}

// A file under the test's temporary directory, removed with the object.
struct TempFile {
  explicit TempFile(const std::string& name) : path(TempPath(name)) {}
  ~TempFile() { std::remove(path.c_str()); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string path;
};

Result RunReplay(const std::vector<std::string>& args) {
  std::string command = Shell(kCommand);
  for (const std::string& arg : args) command += " " + Shell(arg);
  TempFile out("stdout");
  TempFile err("stderr");
  command += " </dev/null >" + Shell(out.path) + " 2>" + Shell(err.path);
  int raw = std::system(command.c_str());
  Result result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = ReadFile(out.path);
  result.err = ReadFile(err.path);
  return result;
}

json::Value ParseOutput(const Result& result) {
  json::Value value;
  json::ParseError error;
  EXPECT_TRUE(json::Parse(result.out, &value, &error))
      << error.line << ":" << error.column << " " << error.message << "\n"
      << result.out;
  return value;
}

// Runs a scenario file with --json and answers the parsed output.
json::Value RunJson(const std::vector<std::string>& args) {
  std::vector<std::string> all = args;
  all.push_back("--json");
  Result result = RunReplay(all);
  EXPECT_EQ(0, result.status) << result.err;
  EXPECT_EQ("", result.err);
  return ParseOutput(result);
}

// The node reached from root by child names, or null.
const json::Value* Node(const json::Value& root,
                        const std::vector<std::string>& path) {
  const json::Value* node = &root;
  for (const std::string& name : path) {
    const json::Value* found = nullptr;
    for (const json::Value& child : node->Find("children")->Items()) {
      if (child.Find("name")->AsString() == name) {
        found = &child;
        break;
      }
    }
    if (found == nullptr) return nullptr;
    node = found;
  }
  return node;
}

std::string Categories(const json::Value& store, const std::string& entry) {
  const json::Value* node = Node(store, {"FileList", entry});
  if (node == nullptr) return "(no entry " + entry + ")";
  const json::Value* categories = node->Find("categories");
  return categories != nullptr ? categories->AsString() : "(no list)";
}

std::vector<std::string> ChildNames(const json::Value* node) {
  std::vector<std::string> names;
  if (node == nullptr) return names;
  for (const json::Value& child : node->Find("children")->Items()) {
    names.push_back(child.Find("name")->AsString());
  }
  return names;
}

struct Post {
  int64_t event, window, message, wParam, lParam;
  bool operator==(const Post& o) const {
    return event == o.event && window == o.window && message == o.message &&
           wParam == o.wParam && lParam == o.lParam;
  }
};

std::vector<Post> Posts(const json::Value& output) {
  std::vector<Post> posts;
  for (const json::Value& p : output.Find("posts")->Items()) {
    posts.push_back({p.Find("event")->AsInteger(), p.Find("window")->AsInteger(),
                     p.Find("message")->AsInteger(), p.Find("wParam")->AsInteger(),
                     p.Find("lParam")->AsInteger()});
  }
  return posts;
}

std::vector<std::pair<int64_t, int64_t>> Events(const json::Value& output) {
  std::vector<std::pair<int64_t, int64_t>> events;
  for (const json::Value& e : output.Find("events")->Items()) {
    events.emplace_back(e.Find("dispid")->AsInteger(),
                        e.Find("hresult")->AsInteger());
  }
  return events;
}

constexpr int64_t kSok = 0;
constexpr int64_t kEfail = -2147467259;  // 0x80004005

TEST(ReplayCommand, FlagAndClassRules) {
  json::Value out = RunJson({kScenarios + "/flags_and_classes.json"});
  const json::Value& store = *out.Find("store");
  struct Case {
    const char* entry;
    const char* categories;
    int64_t itemClass;
  } cases[] = {
      // The cleared flag takes "Outlook Flag" and the colour with it.
      {"m1\\Red", "Work,Outlook Item,Outlook Mail", 43},
      {"m2\\Purple", "Outlook Flag,Outlook Flag Purple,Outlook Item,Outlook Mail", 43},
      // A completed flag has no colour, whatever the icon says.
      {"m3\\Done", "Outlook Flag Complete,Outlook Item,Outlook Mail", 43},
      {"m4\\Odd icon", "Outlook Flag,Outlook Item,Outlook Mail", 43},
      {"c1\\Contact", "Outlook Item,Outlook Contact", 40},
      {"n1\\Note", "Outlook Item,Outlook Note", 44},
      {"a1\\Appointment", "Outlook Item,Outlook Appt", 26},
      {"t1\\Task", "Outlook Item,Outlook Task", 48},
      {"x1\\Post", "Outlook Item", 45},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    EXPECT_EQ(c.categories, Categories(store, c.entry));
    const json::Value* node = Node(store, {"FileList", c.entry});
    ASSERT_NE(nullptr, node);
    EXPECT_EQ("entry", node->Find("kind")->AsString());
    EXPECT_EQ(c.itemClass, node->Find("itemClass")->AsInteger());
  }
  EXPECT_EQ(9u, ChildNames(Node(store, {"FileList"})).size());
  EXPECT_EQ(10u, out.Find("posts")->Items().size());
}

TEST(ReplayCommand, TaskStatusAndDateRules) {
  json::Value out = RunJson({kScenarios + "/tasks_and_dates.json"});
  const json::Value& store = *out.Find("store");
  struct Case {
    const char* entry;
    const char* categories;
  } cases[] = {
      // t0 changed from status 0 to 2 after it was added.
      {"t0\\Not started", "Outlook Task Complete,Outlook Task Inactive"},
      {"t1\\In progress", "Outlook Task In Progress,Outlook Task Active"},
      {"t2\\Complete", "Outlook Task Complete,Outlook Task Inactive"},
      {"t3\\Waiting", "Outlook Task Waiting,Outlook Task Inactive"},
      {"t4\\Deferred", "Outlook Task Deferred,Outlook Task Inactive"},
      {"t5\\Unknown status", "Home"},
      {"t6\\No status", "Home"},
      {"a1\\Earlier today", "Outlook Appt Today,Outlook Appt Past"},
      {"a2\\Later today", "Outlook Appt Today,Outlook Appt Future"},
      {"a3\\Right now", "Outlook Appt Today,Outlook Appt Future"},
      {"a4\\Tomorrow", "Outlook Appt Future"},
      {"a5\\Yesterday", "Outlook Appt Past"},
      {"a6\\Empty start", "Home"},
      {"a7\\Text start", "Home"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    EXPECT_EQ(c.categories, Categories(store, c.entry));
  }
  // An item that gets no category leaves no entry behind.
  EXPECT_EQ(nullptr, Node(store, {"FileList", "a8\\Nothing applies"}));
  EXPECT_EQ(14u, ChildNames(Node(store, {"FileList"})).size());
}

TEST(ReplayCommand, NowOnTheCommandLineOverridesTheScenario) {
  json::Value out = RunJson(
      {kScenarios + "/tasks_and_dates.json", "--now", "2026-06-16T12:00:00"});
  const json::Value& store = *out.Find("store");
  EXPECT_EQ("Outlook Appt Today,Outlook Appt Past",
            Categories(store, "a4\\Tomorrow"));
  EXPECT_EQ("Outlook Appt Past", Categories(store, "a2\\Later today"));

  json::Value before = RunJson(
      {"--now=2026-06-14T00:00:00", kScenarios + "/tasks_and_dates.json"});
  EXPECT_EQ("Outlook Appt Future",
            Categories(*before.Find("store"), "a1\\Earlier today"));
}

TEST(ReplayCommand, QueryFoldersEventResultsAndWindows) {
  json::Value out = RunJson({kScenarios + "/queries_and_windows.json"});
  const json::Value& store = *out.Find("store");

  const std::vector<std::pair<int64_t, int64_t>> events = {
      {0xF001, kSok}, {0xF001, kSok}, {0xF001, kSok}, {0xF003, kEfail},
      {0, kEfail},    {0xF001, kSok}, {0xF002, kSok}};
  EXPECT_EQ(events, Events(out));

  // Slots 1 (not in use) and 2 (no window) get nothing; 0 and 3 get one
  // refresh per handled event with an item.
  std::vector<Post> posts;
  for (int64_t event : {0, 1, 2, 6}) {
    posts.push_back({event, 4097, 0x0111, 200, 0});
    posts.push_back({event, 4099, 0x0111, 200, 0});
  }
  EXPECT_EQ(posts, Posts(out));

  typedef std::vector<std::string> Names;
  EXPECT_EQ((Names{"__Fs.dat", "Work", "Work not private", "No query",
                   "Everything"}),
            ChildNames(Node(store, {"QueryTree"})));
  // Old results go, a nested folder is kept before the new results.
  EXPECT_EQ((Names{"__QuerySpec", "Work and Home", "Kept", "Alpha", "Beta",
                   "Gamma"}),
            ChildNames(Node(store, {"QueryTree", "Work"})));
  EXPECT_EQ((Names{"__QuerySpec", "Gamma"}),
            ChildNames(Node(store, {"QueryTree", "Work", "Work and Home"})));
  // OR(Work, NOT(Private)) keeps Work items that are not private.
  EXPECT_EQ((Names{"__QuerySpec", "Kept", "Alpha", "Gamma"}),
            ChildNames(Node(store, {"QueryTree", "Work not private"})));
  EXPECT_EQ(Names{}, ChildNames(Node(store, {"QueryTree", "No query"})));
  EXPECT_EQ((Names{"__QuerySpec", "Kept", "Alpha", "Beta", "Gamma", "Delta"}),
            ChildNames(Node(store, {"QueryTree", "Everything"})));

  const json::Value* result = Node(store, {"QueryTree", "Work", "Gamma"});
  ASSERT_NE(nullptr, result);
  EXPECT_EQ("entry", result->Find("kind")->AsString());
  EXPECT_EQ("e3\\Gamma", result->Find("userData")->AsString());
  EXPECT_EQ(48, result->Find("itemClass")->AsInteger());
  ASSERT_NE(nullptr, result->Find("nodeValue"));
  EXPECT_EQ(nullptr, result->Find("categories"));

  // The scenario's own entry keeps the record it was given.
  const json::Value* kept = Node(store, {"FileList", "old\\Kept"});
  ASSERT_NE(nullptr, kept);
  EXPECT_EQ(43, kept->Find("itemClass")->AsInteger());
  EXPECT_EQ(99, kept->Find("nodeValue")->AsInteger());
  EXPECT_EQ("Work", kept->Find("categories")->AsString());
  EXPECT_EQ("index", Node(store, {"QueryTree", "__Fs.dat"})->Find("userData")->AsString());
}

TEST(ReplayCommand, TextsReachTheStoreInWindows1252AndComeBackAsUtf8) {
  json::Value out = RunJson({kScenarios + "/texts.json"});
  const json::Value& store = *out.Find("store");
  typedef std::vector<std::string> Names;
  EXPECT_EQ((Names{"Caf\xC3\xA9", "\xC3\x9Cn\xC3\xAF" "code ?", "\xC2\x81odd"}),
            ChildNames(Node(store, {"CategoryTree"})));
  EXPECT_EQ("Caf\xC3\xA9",
            Categories(store, "\xC3\xA9" "1\\Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9" "e "
                              "\xE2\x80\x93 5\xE2\x82\xAC"));
  // What Windows-1252 cannot hold arrives as "?", in the item's texts and
  // the store's names alike, so the two still match.
  EXPECT_EQ("\xC3\x9Cn\xC3\xAF" "code ?", Categories(store, "x\\??"));
  // A 255-character subject arrives whole.
  EXPECT_EQ("Caf\xC3\xA9", Categories(store, "long\\" + std::string(255, 'a')));
}

TEST(ReplayCommand, TheBuiltInScenarioShowsAWorkingMailbox) {
  json::Value out = RunJson({});
  const json::Value& store = *out.Find("store");

  std::vector<std::pair<int64_t, int64_t>> events = Events(out);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(std::make_pair(int64_t{0xF003}, kEfail), events.back());
  // One refresh per handled event, to the one window in use.
  std::vector<Post> posts = Posts(out);
  size_t handled = 0;
  for (size_t i = 0; i < events.size(); ++i) {
    if (events[i].first == 0xF001 || events[i].first == 0xF002) {
      ASSERT_LT(handled, posts.size());
      EXPECT_EQ((Post{static_cast<int64_t>(i), 4097, 0x0111, 200, 0}),
                posts[handled]);
      ++handled;
    }
  }
  EXPECT_EQ(handled, posts.size());

  const char* builtIns[] = {
      "Outlook Flag", "Outlook Flag Complete", "Outlook Flag Purple",
      "Outlook Flag Orange", "Outlook Flag Green", "Outlook Flag Yellow",
      "Outlook Flag Blue", "Outlook Flag Red", "Outlook Task Not Started",
      "Outlook Task In Progress", "Outlook Task Complete",
      "Outlook Task Waiting", "Outlook Task Deferred", "Outlook Task Active",
      "Outlook Task Inactive", "Outlook Item", "Outlook Appt",
      "Outlook Contact", "Outlook Mail", "Outlook Note", "Outlook Task",
      "Outlook Appt Today", "Outlook Appt Future", "Outlook Appt Past"};
  for (const char* name : builtIns) {
    SCOPED_TRACE(name);
    const json::Value* node = Node(store, {"CategoryTree", name});
    ASSERT_NE(nullptr, node);
    EXPECT_EQ("category", node->Find("kind")->AsString());
  }
  ASSERT_NE(nullptr, Node(store, {"CategoryTree", "Work"}));
  ASSERT_NE(nullptr, Node(store, {"CategoryTree", "Homework"}));

  // Every item is an "Outlook Item"; flags, tasks and dates are tagged.
  for (const std::string& entry : ChildNames(Node(store, {"FileList"}))) {
    SCOPED_TRACE(entry);
    EXPECT_NE(std::string::npos,
              ("," + Categories(store, entry) + ",").find(",Outlook Item,"));
  }
  auto has = [&](const std::string& entry, const std::string& category) {
    return ("," + Categories(store, entry) + ",").find("," + category + ",") !=
           std::string::npos;
  };
  EXPECT_TRUE(has("mail-1\\Quarterly report", "Outlook Flag Red"));
  EXPECT_TRUE(has("mail-3\\Maths homework for Tom", "Homework"));
  EXPECT_FALSE(has("mail-3\\Maths homework for Tom", "Work"));
  EXPECT_TRUE(has("appt-1\\Team stand-up", "Outlook Appt Today"));
  EXPECT_TRUE(has("appt-1\\Team stand-up", "Outlook Appt Past"));
  EXPECT_TRUE(has("appt-2\\Dentist", "Outlook Appt Future"));
  EXPECT_FALSE(has("appt-3\\Flight to Lisbon", "Outlook Appt Today"));
  EXPECT_TRUE(has("appt-4\\Project kickoff", "Outlook Appt Past"));
  EXPECT_TRUE(has("task-1\\Draft budget", "Outlook Task Complete"));
  EXPECT_TRUE(has("contact-1\\Zo\xC3\xAB Brand\xC3\xA3o", "Outlook Contact"));
  EXPECT_TRUE(has("note-1\\Gate code \xE2\x80\x93 4711", "Outlook Note"));
  // Tasks in every status (the first was completed by a later change).
  EXPECT_TRUE(has("task-1\\Draft budget", "Outlook Task Inactive"));
  EXPECT_TRUE(has("task-2\\Review slides", "Outlook Task In Progress"));
  EXPECT_TRUE(has("task-3\\Book flights", "Outlook Task Complete"));
  EXPECT_TRUE(has("task-4\\Wait for the invoice", "Outlook Task Waiting"));
  EXPECT_TRUE(has("task-5\\Renew passport", "Outlook Task Deferred"));

  typedef std::vector<std::string> Names;
  EXPECT_EQ((Names{"__QuerySpec", "Quarterly report"}),
            ChildNames(Node(store, {"QueryTree", "Flagged work mail"})));
  EXPECT_EQ((Names{"__QuerySpec", "Review slides"}),
            ChildNames(Node(store, {"QueryTree", "Open tasks"})));
  EXPECT_EQ((Names{"__QuerySpec", "Team stand-up", "Dentist"}),
            ChildNames(Node(store, {"QueryTree", "Today's appointments"})));
  Names workNotPrivate =
      ChildNames(Node(store, {"QueryTree", "Work but not private"}));
  auto contains = [](const Names& names, const std::string& name) {
    for (const std::string& n : names) {
      if (n == name) return true;
    }
    return false;
  };
  EXPECT_TRUE(contains(workNotPrivate, "Quarterly report"));
  EXPECT_FALSE(contains(workNotPrivate, "Offsite agenda"));  // Work, Private
  EXPECT_FALSE(contains(workNotPrivate, "Dentist"));         // Private only
  ASSERT_NE(nullptr, Node(store, {"QueryTree", "Travel", "Still to do"}));
}

TEST(ReplayCommand, TheTextFormReadsAtAGlance) {
  Result result = RunReplay({});
  ASSERT_EQ(0, result.status) << result.err;
  EXPECT_EQ("", result.err);
  const char* lines[] = {
      "\n    CategoryTree\n      categories: Work, Homework,",
      "\n      mail-1\\Quarterly report  {Work,Outlook Flag,Outlook Flag Red,",
      "\n      Flagged work mail  [query folder]\n"
      "        query: AND(Work, Outlook Flag, Outlook Mail)\n"
      "        Quarterly report  <- mail-1\\Quarterly report  mail\n",
      "\n        query: OR(Work, NOT(Private))\n",
      "\nEvents:\n  event 0 ItemAdd mail-1 \"Quarterly report\" -> S_OK\n",
      "ItemRemove -> E_FAIL\n",
      "\nRefreshes posted:\n  event 0 ItemAdd -> window 0x1001: WM_COMMAND 200\n",
  };
  for (const char* line : lines) {
    SCOPED_TRACE(line);
    EXPECT_NE(std::string::npos, result.out.find(line)) << result.out;
  }
  // The slot that is not in use is never posted to.
  EXPECT_EQ(std::string::npos, result.out.find("0x1002"));
}

TEST(ReplayCommand, TheReadmeScenarioGivesWhatTheReadmeShows) {
  Result result = RunReplay({kScenarios + "/readme.json"});
  ASSERT_EQ(0, result.status) << result.err;
  for (const char* line :
       {"      m1\\Budget  {Work,Outlook Flag,Outlook Mail}  mail\n",
        "      m2\\Lunch?  {Outlook Mail}  mail\n",
        "        query: AND(Work, Outlook Flag)\n"
        "        Budget  <- m1\\Budget  mail\n\n",
        "  event 1 ItemAdd -> window 0x1001: WM_COMMAND 200\n"}) {
    SCOPED_TRACE(line);
    EXPECT_NE(std::string::npos, result.out.find(line)) << result.out;
  }
}

TEST(ReplayCommand, JsonStoreChainsIntoTheNextRun) {
  json::Value first = RunJson({});
  const std::string firstStore = json::Write(*first.Find("store"));

  // The same store with no events comes back unchanged.
  TempFile same("chain_same.json");
  WriteFile(same.path,
            "{\"now\": \"2026-12-11T10:00:00\", \"store\": " + firstStore + "}");
  json::Value second = RunJson({same.path});
  EXPECT_EQ(firstStore, json::Write(*second.Find("store")));
  EXPECT_TRUE(second.Find("events")->Items().empty());
  EXPECT_TRUE(second.Find("posts")->Items().empty());

  // An event on the chained store works on what the first run left.
  TempFile next("chain_next.json");
  WriteFile(next.path,
            "{\"now\": \"2026-12-11T10:00:00\", \"windows\": [{\"inUse\": 1, "
            "\"window\": 9}], \"store\": " + firstStore +
                ", \"events\": [{\"event\": \"ItemChange\", \"item\": "
                "{\"EntryID\": \"task-2\", \"Subject\": \"Review slides\", "
                "\"Categories\": \"Work\", \"Status\": 2, \"Class\": 48}}]}");
  json::Value third = RunJson({next.path});
  const json::Value& store = *third.Find("store");
  EXPECT_EQ(std::vector<std::string>{"__QuerySpec"},
            ChildNames(Node(store, {"QueryTree", "Open tasks"})));
  EXPECT_EQ(ChildNames(Node(*first.Find("store"), {"FileList"})),
            ChildNames(Node(store, {"FileList"})));
  EXPECT_EQ((std::vector<Post>{{0, 9, 0x0111, 200, 0}}), Posts(third));
}

TEST(ReplayCommand, BadInputExitsWithStatus2AndNamesThePlace) {
  struct Case {
    const char* name;
    const char* scenario;
    const char* message;  // the start of the one line after "<file>"
  } cases[] = {
      {"malformed", "{\n  \"events\": [\n    {\"event\": \"ItemAdd\"\n  ]\n}",
       ":4:3: expected ',' or '}', found ']'"},
      {"not_utf8", "{\"store\": {\"name\": \"caf\xE9\"}}",
       ":1:24: invalid UTF-8 in a string"},
      {"unknown_key", "{\"event\": []}",
       ": $.event: unknown key \"event\" (a scenario takes now, store, "
       "windows, events)"},
      {"unknown_kind",
       "{\"store\": {\"name\": \"\", \"children\": [{\"name\": \"x\", \"kind\": "
       "\"folder\"}]}}",
       ": $.store.children[0].kind: unknown kind \"folder\""},
      {"wrong_type", "{\"windows\": [{\"inUse\": true, \"window\": 1}]}",
       ": $.windows[0].inUse: expected an integer, found a boolean"},
      {"key_not_taken",
       "{\"store\": {\"name\": \"\", \"kind\": \"category\", \"userData\": "
       "\"x\"}}",
       ": $.store.userData: key \"userData\" is not taken by a node of kind "
       "\"category\""},
      {"bad_date",
       "{\"events\": [{\"event\": \"ItemAdd\"}, {\"dispid\": 5}, "
       "{\"event\": \"ItemAdd\", \"item\": {\"Start\": "
       "\"2026-12-32T10:00:00\"}}]}",
       ": $.events[2].item.Start: expected \"YYYY-MM-DDTHH:MM:SS\""},
      {"bad_start_form",
       "{\"events\": [{\"event\": \"ItemAdd\", \"item\": {\"Start\": "
       "\"2026-12-11 10:00\"}}]}",
       ": $.events[0].item.Start: expected \"YYYY-MM-DDTHH:MM:SS\""},
      {"bad_now", "{\"now\": \"tomorrow\"}",
       ": $.now: expected \"YYYY-MM-DDTHH:MM:SS\""},
      {"empty", "", ":1:1: expected a value, found the end of the text"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile file(std::string(c.name) + ".json");
    const std::string& path = file.path;
    WriteFile(path, c.scenario);
    Result result = RunReplay({path});
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("", result.out);
    EXPECT_EQ(0u, result.err.find(path + c.message)) << result.err;
    EXPECT_EQ(result.err.size() - 1, result.err.find('\n')) << result.err;
  }
}

TEST(ReplayCommand, BadArgumentsAndUnreadableFilesExitWithStatus2) {
  const std::string missing = TempPath("does_not_exist.json");
  std::remove(missing.c_str());
  struct Case {
    std::vector<std::string> args;
    std::string message;  // the start of the first line
  } cases[] = {
      {{missing}, missing + ": cannot read: No such file or directory"},
      {{kScenarios}, kScenarios + ": cannot read: Is a directory"},
      {{"--now", "2026-12-11"},
       "brindle-replay: --now: expected \"YYYY-MM-DDTHH:MM:SS\", got "
       "\"2026-12-11\""},
      {{"--now"}, "brindle-replay: --now needs a time"},
      {{"--jsn"}, "brindle-replay: unknown option --jsn"},
      {{kScenarios + "/texts.json", kScenarios + "/texts.json"},
       "brindle-replay: one scenario at a time"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    Result result = RunReplay(c.args);
    EXPECT_EQ(2, result.status);
    EXPECT_EQ("", result.out);
    EXPECT_EQ(0u, result.err.find(c.message)) << result.err;
  }
}

TEST(ReplayCommand, HelpExplainsBothFormsAndTheScenario) {
  Result result = RunReplay({"--help"});
  EXPECT_EQ(0, result.status);
  for (const char* text :
       {"usage: brindle-replay [SCENARIO.json] [--json] [--now", "--json",
        "\"store\"", "\"windows\"", "\"events\"", "query_folder", "\"posts\"",
        "exit status 2"}) {
    SCOPED_TRACE(text);
    EXPECT_NE(std::string::npos, result.out.find(text));
  }
}

}  // namespace
