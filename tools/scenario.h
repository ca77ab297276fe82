// The replay scenario: a store to start from, the companion's window table,
// the local time the add-in sees and the item events to send, read from a
// JSON document and checked in full before anything runs.
//
// Every check names the place of the fault by its JSON path.  Texts stay
// UTF-8 here; the runner converts them as they reach the store or an item.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/json.h"

namespace replay {

// A local wall-clock time, whole seconds.
struct LocalTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Accepts exactly "YYYY-MM-DDTHH:MM:SS" naming a real instant in years
// 1601 to 9999.
bool ParseLocalTime(const std::string& text, LocalTime* time);
std::string FormatLocalTime(const LocalTime& time);
// Days from 1601-01-01 (the file-time epoch) to the date.
int64_t DaysSince1601(const LocalTime& time);
// 100-ns ticks since 1601-01-01, the time taken as UTC.
uint64_t ToFileTimeTicks(const LocalTime& time);

// The node kinds a scenario names, by the type id each stands for.
struct KindName {
  const char* name;
  uint32_t typeId;
};
const std::vector<KindName>& KindNames();
// The kind's name for a type id; the id's decimal number when unknown.
std::string KindNameOf(uint32_t typeId);

struct ScenarioNode {
  std::string name;
  uint32_t kind = 0;
  std::vector<ScenarioNode> children;
  // Entries only; each flag says the key was given.
  bool hasCategories = false;
  std::string categories;
  bool hasUserData = false;
  std::string userData;
  bool hasItemClass = false;
  int32_t itemClass = 0;
  bool hasNodeValue = false;
  int32_t nodeValue = 0;
};

struct ScenarioWindow {
  int32_t inUse = 0;
  uint32_t window = 0;
};

// One Outlook property of an item: a missing property is simply absent.
struct ItemProperty {
  enum class Kind { kEmpty, kString, kInteger, kDate };
  std::string name;
  Kind kind = Kind::kEmpty;
  std::string text;     // kString
  int32_t integer = 0;  // kInteger
  LocalTime date;       // kDate
};

struct ScenarioEvent {
  int32_t dispid = 0;
  bool hasItem = false;
  std::vector<ItemProperty> item;
};

constexpr int32_t kDispidItemAdd = 0xF001;
constexpr int32_t kDispidItemChange = 0xF002;
constexpr int32_t kDispidItemRemove = 0xF003;
constexpr size_t kMaxWindows = 128;

// "ItemAdd" and its kin for the three item events, else "dispid N".
std::string EventName(int32_t dispid);

struct Scenario {
  bool hasNow = false;
  LocalTime now;
  ScenarioNode store;
  std::vector<ScenarioWindow> windows;
  std::vector<ScenarioEvent> events;
};

// The store a scenario without "store" starts from: a root "" with the
// empty branches CategoryTree, FileList and QueryTree.
ScenarioNode DefaultStore();

// Reads a parsed scenario document.  On failure answers false with error
// set to "JSON-PATH: what is wrong".
bool LoadScenario(const json::Value& document, Scenario* scenario,
                  std::string* error);

// The scenario compiled into the command, as JSON text.
const char* BuiltInScenarioText();

}  // namespace replay
