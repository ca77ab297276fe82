#include "tools/scenario.h"

#include <cstdio>

#include "store/node.h"

namespace replay {

namespace {

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && IsLeapYear(year)) return 29;
  return kDays[month - 1];
}

bool ReadDigits(const std::string& text, size_t at, size_t count, int* out) {
  int value = 0;
  for (size_t k = 0; k < count; ++k) {
    char c = text[at + k];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  *out = value;
  return true;
}

constexpr const char* kTimeFormat = "\"YYYY-MM-DDTHH:MM:SS\"";

}  // namespace

bool ParseLocalTime(const std::string& text, LocalTime* time) {
  // YYYY-MM-DDTHH:MM:SS
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' ||
      text[10] != 'T' || text[13] != ':' || text[16] != ':') {
    return false;
  }
  LocalTime t;
  if (!ReadDigits(text, 0, 4, &t.year) || !ReadDigits(text, 5, 2, &t.month) ||
      !ReadDigits(text, 8, 2, &t.day) || !ReadDigits(text, 11, 2, &t.hour) ||
      !ReadDigits(text, 14, 2, &t.minute) ||
      !ReadDigits(text, 17, 2, &t.second)) {
    return false;
  }
  if (t.year < 1601 || t.month < 1 || t.month > 12 || t.day < 1 ||
      t.day > DaysInMonth(t.year, t.month) || t.hour > 23 || t.minute > 59 ||
      t.second > 59) {
    return false;
  }
  *time = t;
  return true;
}

std::string FormatLocalTime(const LocalTime& time) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d",
                time.year, time.month, time.day, time.hour, time.minute,
                time.second);
  return buffer;
}

int64_t DaysSince1601(const LocalTime& time) {
  // Days from the civil date, counted in 400-year eras from 0000-03-01.
  int64_t y = time.year - (time.month <= 2 ? 1 : 0);
  int64_t era = y / 400;
  int64_t yearOfEra = y - era * 400;
  int64_t m = time.month;
  int64_t dayOfYear = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + time.day - 1;
  int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  int64_t days = era * 146097 + dayOfEra;
  // The same count for 1601-01-01.
  constexpr int64_t k1601 = 584694;
  return days - k1601;
}

uint64_t ToFileTimeTicks(const LocalTime& time) {
  uint64_t seconds = static_cast<uint64_t>(DaysSince1601(time)) * 86400 +
                     time.hour * 3600 + time.minute * 60 + time.second;
  return seconds * 10000000ull;
}

const std::vector<KindName>& KindNames() {
  static const std::vector<KindName> kNames = {
      {"named", NODE_KIND_NAMED},
      {"branch", NODE_KIND_BRANCH},
      {"entry", NODE_KIND_ENTRY},
      {"category", NODE_KIND_CATEGORY},
      {"query_term", NODE_KIND_QUERY_TERM},
      {"query_folder", NODE_KIND_QUERY_FOLDER},
  };
  return kNames;
}

std::string KindNameOf(uint32_t typeId) {
  for (const KindName& kind : KindNames()) {
    if (kind.typeId == typeId) return kind.name;
  }
  return std::to_string(typeId);
}

std::string EventName(int32_t dispid) {
  switch (dispid) {
    case kDispidItemAdd: return "ItemAdd";
    case kDispidItemChange: return "ItemChange";
    case kDispidItemRemove: return "ItemRemove";
    default: return "dispid " + std::to_string(dispid);
  }
}

ScenarioNode DefaultStore() {
  ScenarioNode root;
  root.kind = NODE_KIND_BRANCH;
  for (const char* name : {"CategoryTree", "FileList", "QueryTree"}) {
    ScenarioNode folder;
    folder.name = name;
    folder.kind = NODE_KIND_BRANCH;
    root.children.push_back(folder);
  }
  return root;
}

namespace {

// Checks one document against the scenario format; the first fault found
// ends the reading.
class Loader {
 public:
  explicit Loader(std::string* error) : error_(error) {}

  bool Load(const json::Value& document, Scenario* scenario) {
    if (!Expect(document, json::Type::kObject, "a scenario object")) return false;
    if (!OnlyKeys(document, {"now", "store", "windows", "events"},
                  "a scenario")) {
      return false;
    }
    if (const json::Value* now = document.Find("now")) {
      if (!ReadTime(*now, &scenario->now)) return false;
      scenario->hasNow = true;
    }
    if (const json::Value* store = document.Find("store")) {
      if (!ReadNode(*store, &scenario->store)) return false;
    } else {
      scenario->store = DefaultStore();
    }
    if (const json::Value* windows = document.Find("windows")) {
      if (!ReadWindows(*windows, &scenario->windows)) return false;
    }
    if (const json::Value* events = document.Find("events")) {
      if (!Expect(*events, json::Type::kArray, "an array of events")) return false;
      for (const json::Value& item : events->Items()) {
        scenario->events.emplace_back();
        if (!ReadEvent(item, &scenario->events.back())) return false;
      }
    }
    return true;
  }

 private:
  bool Fail(const json::Value& at, const std::string& message) {
    *error_ = at.path() + ": " + message;
    return false;
  }

  bool Expect(const json::Value& value, json::Type type, const char* what) {
    if (value.type() == type) return true;
    return Fail(value, std::string("expected ") + what + ", found " +
                           json::TypeDescription(value.type()));
  }

  bool OnlyKeys(const json::Value& object,
                std::initializer_list<const char*> allowed, const char* what) {
    for (const json::Member& member : object.Members()) {
      bool known = false;
      for (const char* key : allowed) known = known || member.first == key;
      if (known) continue;
      std::string list;
      for (const char* key : allowed) {
        if (!list.empty()) list += ", ";
        list += key;
      }
      return Fail(member.second, "unknown key " + json::Quote(member.first) +
                                     " (" + what + " takes " + list + ")");
    }
    return true;
  }

  // Texts end up zero-terminated, so a NUL inside one would cut it short.
  bool ReadText(const json::Value& value, std::string* out) {
    if (!Expect(value, json::Type::kString, "a string")) return false;
    if (value.AsString().find('\0') != std::string::npos) {
      return Fail(value, "a text may not contain the NUL character");
    }
    *out = value.AsString();
    return true;
  }

  bool ReadInteger(const json::Value& value, int64_t min, int64_t max,
                   int64_t* out) {
    if (!Expect(value, json::Type::kInteger, "an integer")) return false;
    if (value.AsInteger() < min || value.AsInteger() > max) {
      return Fail(value, "integer " + std::to_string(value.AsInteger()) +
                             " is out of range " + std::to_string(min) +
                             " to " + std::to_string(max));
    }
    *out = value.AsInteger();
    return true;
  }

  bool ReadInt32(const json::Value& value, int32_t* out) {
    int64_t wide;
    if (!ReadInteger(value, INT32_MIN, INT32_MAX, &wide)) return false;
    *out = static_cast<int32_t>(wide);
    return true;
  }

  bool ReadTime(const json::Value& value, LocalTime* time) {
    if (!Expect(value, json::Type::kString, "a time string")) return false;
    if (!ParseLocalTime(value.AsString(), time)) {
      return Fail(value, std::string("expected ") + kTimeFormat +
                             " (a real date and time, years 1601 to 9999)");
    }
    return true;
  }

  // Nesting is bounded by the reader's depth limit.
  bool ReadNode(const json::Value& value, ScenarioNode* node) {
    if (!Expect(value, json::Type::kObject, "a node object")) return false;
    const json::Value* name = value.Find("name");
    if (name == nullptr) return Fail(value, "a node needs a \"name\"");
    if (!ReadText(*name, &node->name)) return false;

    node->kind = NODE_KIND_BRANCH;
    if (const json::Value* kind = value.Find("kind")) {
      if (!Expect(*kind, json::Type::kString, "a kind name")) return false;
      bool known = false;
      std::string list;
      for (const KindName& candidate : KindNames()) {
        if (kind->AsString() == candidate.name) {
          node->kind = candidate.typeId;
          known = true;
        }
        list += list.empty() ? "" : ", ";
        list += candidate.name;
      }
      if (!known) {
        return Fail(*kind, "unknown kind " + json::Quote(kind->AsString()) +
                               " (one of " + list + ")");
      }
    }

    static const char* const kCommon[] = {"name", "kind", "children"};
    static const char* const kEntry[] = {"categories", "userData", "itemClass",
                                         "nodeValue"};
    for (const json::Member& member : value.Members()) {
      bool common = false;
      for (const char* key : kCommon) common = common || member.first == key;
      if (common) continue;
      bool entryKey = false;
      for (const char* key : kEntry) entryKey = entryKey || member.first == key;
      bool takes = (entryKey && node->kind == NODE_KIND_ENTRY) ||
                   (member.first == "query" &&
                    node->kind == NODE_KIND_QUERY_FOLDER);
      if (takes) continue;
      if (entryKey || member.first == "query") {
        return Fail(member.second,
                    "key " + json::Quote(member.first) +
                        " is not taken by a node of kind " +
                        json::Quote(KindNameOf(node->kind)) +
                        (entryKey ? " (only by \"entry\")"
                                  : " (only by \"query_folder\")"));
      }
      return Fail(member.second,
                  "unknown key " + json::Quote(member.first) +
                      " (a node takes name, kind, children; an entry also "
                      "categories, userData, itemClass, nodeValue; a "
                      "query_folder also query)");
    }

    if (const json::Value* v = value.Find("categories")) {
      if (!ReadText(*v, &node->categories)) return false;
      node->hasCategories = true;
    }
    if (const json::Value* v = value.Find("userData")) {
      if (!ReadText(*v, &node->userData)) return false;
      node->hasUserData = true;
    }
    if (const json::Value* v = value.Find("itemClass")) {
      if (!ReadInt32(*v, &node->itemClass)) return false;
      node->hasItemClass = true;
    }
    if (const json::Value* v = value.Find("nodeValue")) {
      if (!ReadInt32(*v, &node->nodeValue)) return false;
      node->hasNodeValue = true;
    }
    if (const json::Value* query = value.Find("query")) {
      ScenarioNode spec;
      spec.name = "__QuerySpec";
      spec.kind = NODE_KIND_QUERY_TERM;
      spec.children.emplace_back();
      if (!ReadTerm(*query, &spec.children.back())) return false;
      node->children.push_back(std::move(spec));
    }
    if (const json::Value* children = value.Find("children")) {
      if (!Expect(*children, json::Type::kArray, "an array of nodes")) {
        return false;
      }
      for (const json::Value& child : children->Items()) {
        node->children.emplace_back();
        if (!ReadNode(child, &node->children.back())) return false;
      }
    }
    return true;
  }

  // A term: "name", or ["name", term, ...].
  bool ReadTerm(const json::Value& value, ScenarioNode* term) {
    term->kind = NODE_KIND_QUERY_TERM;
    if (value.IsString()) return ReadText(value, &term->name);
    if (!value.IsArray()) {
      return Fail(value, std::string("expected a query term (a name, or an "
                                     "array [name, term, ...]), found ") +
                             json::TypeDescription(value.type()));
    }
    if (value.Items().empty()) {
      return Fail(value, "a query term array needs its name first");
    }
    if (!ReadText(value.Items()[0], &term->name)) return false;
    for (size_t i = 1; i < value.Items().size(); ++i) {
      term->children.emplace_back();
      if (!ReadTerm(value.Items()[i], &term->children.back())) return false;
    }
    return true;
  }

  bool ReadWindows(const json::Value& value, std::vector<ScenarioWindow>* out) {
    if (!Expect(value, json::Type::kArray, "an array of window slots")) {
      return false;
    }
    if (value.Items().size() > kMaxWindows) {
      return Fail(value, "the window table has " + std::to_string(kMaxWindows) +
                             " slots; " + std::to_string(value.Items().size()) +
                             " given");
    }
    for (const json::Value& slot : value.Items()) {
      if (!Expect(slot, json::Type::kObject, "a window slot object")) {
        return false;
      }
      if (!OnlyKeys(slot, {"inUse", "window"}, "a window slot")) return false;
      ScenarioWindow window;
      const json::Value* inUse = slot.Find("inUse");
      const json::Value* handle = slot.Find("window");
      if (inUse == nullptr) return Fail(slot, "a window slot needs \"inUse\"");
      if (handle == nullptr) return Fail(slot, "a window slot needs \"window\"");
      if (!ReadInt32(*inUse, &window.inUse)) return false;
      int64_t wide;
      if (!ReadInteger(*handle, 0, UINT32_MAX, &wide)) return false;
      window.window = static_cast<uint32_t>(wide);
      out->push_back(window);
    }
    return true;
  }

  bool ReadEvent(const json::Value& value, ScenarioEvent* event) {
    if (!Expect(value, json::Type::kObject, "an event object")) return false;
    if (!OnlyKeys(value, {"event", "dispid", "item"}, "an event")) return false;
    const json::Value* name = value.Find("event");
    const json::Value* dispid = value.Find("dispid");
    if (name != nullptr && dispid != nullptr) {
      return Fail(*dispid, "give either \"event\" or \"dispid\", not both");
    }
    if (name != nullptr) {
      if (!Expect(*name, json::Type::kString, "an event name")) return false;
      const std::string& text = name->AsString();
      if (text == "ItemAdd") {
        event->dispid = kDispidItemAdd;
      } else if (text == "ItemChange") {
        event->dispid = kDispidItemChange;
      } else if (text == "ItemRemove") {
        event->dispid = kDispidItemRemove;
      } else {
        return Fail(*name, "unknown event " + json::Quote(text) +
                               " (one of ItemAdd, ItemChange, ItemRemove; "
                               "or give \"dispid\")");
      }
    } else if (dispid != nullptr) {
      if (!ReadInt32(*dispid, &event->dispid)) return false;
    } else {
      return Fail(value, "an event needs \"event\" or \"dispid\"");
    }
    if (const json::Value* item = value.Find("item")) {
      if (!Expect(*item, json::Type::kObject, "an item object")) return false;
      if (!OnlyKeys(*item,
                    {"EntryID", "Subject", "Categories", "FlagStatus",
                     "FlagIcon", "Status", "Class", "Start"},
                    "an item")) {
        return false;
      }
      event->hasItem = true;
      for (const json::Member& member : item->Members()) {
        ItemProperty property;
        property.name = member.first;
        if (!ReadProperty(member.second, &property)) return false;
        event->item.push_back(std::move(property));
      }
    }
    return true;
  }

  bool ReadProperty(const json::Value& value, ItemProperty* property) {
    switch (value.type()) {
      case json::Type::kNull:
        property->kind = ItemProperty::Kind::kEmpty;
        return true;
      case json::Type::kInteger:
        property->kind = ItemProperty::Kind::kInteger;
        return ReadInt32(value, &property->integer);
      case json::Type::kString:
        if (property->name == "Start" && LooksLikeDate(value.AsString())) {
          property->kind = ItemProperty::Kind::kDate;
          return ReadTime(value, &property->date);
        }
        property->kind = ItemProperty::Kind::kString;
        return ReadText(value, &property->text);
      default:
        return Fail(value, std::string("expected a string, an integer or "
                                       "null, found ") +
                               json::TypeDescription(value.type()));
    }
  }

  // A Start text that begins like a date ("2026-") is meant as one and must
  // be a valid one; any other text reaches the item as a plain string.
  static bool LooksLikeDate(const std::string& text) {
    if (text.size() < 5 || text[4] != '-') return false;
    for (int k = 0; k < 4; ++k) {
      if (text[k] < '0' || text[k] > '9') return false;
    }
    return true;
  }

  std::string* error_;
};

}  // namespace

bool LoadScenario(const json::Value& document, Scenario* scenario,
                  std::string* error) {
  *scenario = Scenario();
  Loader loader(error);
  return loader.Load(document, scenario);
}

}  // namespace replay
