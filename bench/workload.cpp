#include "bench/workload.h"

#include <cstdio>
#include <cstring>

namespace bench {
namespace {

// splitmix64: the same sequence on every platform and library, unlike the
// standard distributions.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, bound).
  uint32_t Below(uint32_t bound) {
    return static_cast<uint32_t>((Next() >> 11) % bound);
  }
  double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }

 private:
  uint64_t state_;
};

// In popularity order: the first is on about a third of the entries, the
// last on a few percent.
const char* const kUserCategoryNames[Workload::kUserCategories] = {
    "Work",     "Personal",  "Family",      "Projects",  "Finance",
    "Travel",   "Clients",   "Meetings",    "Follow Up", "Reading",
    "Newsletters", "Receipts", "Urgent",    "Home",      "Kids",
    "School",   "Health",    "Taxes",       "Bank",      "Insurance",
    "Car",      "Garden",    "Friends",     "Sports",    "Music",
    "Books",    "Recipes",   "Photos",      "Volunteering", "Church",
    "Holidays", "Flights",   "Hotels",      "Conferences", "Training",
    "Hiring",   "Legal",     "Suppliers",   "Board",     "Archive",
};

// In the order the categorizer's rules add them.
const char* const kBuiltInNames[] = {
    "Outlook Flag",           "Outlook Flag Complete",
    "Outlook Flag Purple",    "Outlook Flag Orange",
    "Outlook Flag Green",     "Outlook Flag Yellow",
    "Outlook Flag Blue",      "Outlook Flag Red",
    "Outlook Task Not Started", "Outlook Task In Progress",
    "Outlook Task Complete",  "Outlook Task Waiting",
    "Outlook Task Deferred",  "Outlook Task Active",
    "Outlook Task Inactive",  "Outlook Item",
    "Outlook Appt",           "Outlook Contact",
    "Outlook Mail",           "Outlook Note",
    "Outlook Task",           "Outlook Appt Today",
    "Outlook Appt Future",    "Outlook Appt Past",
};

const char* const kSubjectWords[] = {
    "Quarterly", "report", "lunch", "invoice", "meeting", "notes", "draft",
    "review",    "plan",   "budget", "trip",   "photos",  "school", "call",
    "agenda",    "update", "offer",  "renewal", "party",  "order",
};

const int kClassMail = 43;
const int kClassTask = 48;
const int kClassAppointment = 26;

// Ten folders, three nested; the comments give the share of entries each
// selects in this workload.
std::vector<QueryFolderSpec> MakeFolders() {
  return {
      // ~30%: a single leaf.
      {"Work", -1, "Work", {{"Work"}, {}, {}}},
      // ~3%, nested: AND.
      {"Urgent", 0, "AND(Work,Urgent)", {{"Work", "Urgent"}, {}, {}}},
      // ~25%: OR.
      {"Family", -1, "OR(Kids,School,Garden)", {{}, {"Kids", "School", "Garden"}, {}}},
      // ~25%: OR with NOT, rewritten to (Taxes|Bank|Insurance) & !Archive.
      {"Money", -1, "OR(Taxes,Bank,Insurance,NOT(Archive))",
       {{}, {"Taxes", "Bank", "Insurance"}, {"Archive"}}},
      // ~10%, nested: AND with NOT.
      {"Receipts", 3, "AND(Receipts,NOT(Taxes))", {{"Receipts"}, {}, {"Taxes"}}},
      // ~20%: OR with NOT, rewritten.
      {"Trips", -1, "OR(Travel,Flights,Hotels,NOT(Work))",
       {{}, {"Travel", "Flights", "Hotels"}, {"Work"}}},
      // ~1%: built-in and user category.
      {"Flagged", -1, "AND(Outlook Flag,Follow Up)",
       {{"Outlook Flag", "Follow Up"}, {}, {}}},
      // ~6%: two built-ins.
      {"Open tasks", -1, "AND(Outlook Task,Outlook Task Active)",
       {{"Outlook Task", "Outlook Task Active"}, {}, {}}},
      // ~5%: AND over an OR.
      {"Upcoming", -1, "AND(Outlook Appt Future,OR(Meetings,Conferences,Clients))",
       {{"Outlook Appt Future"}, {"Meetings", "Conferences", "Clients"}, {}}},
      // ~12%, nested.
      {"Other appointments", 8, "AND(Outlook Appt,NOT(Meetings))",
       {{"Outlook Appt"}, {}, {"Meetings"}}},
  };
}

}  // namespace

bool ListHasToken(const char* list, const char* name, size_t length) {
  const char* at = list;
  for (;;) {
    while (*at == ',') ++at;
    if (*at == '\0') return false;
    const char* start = at;
    while (*at != '\0' && *at != ',') ++at;
    if (static_cast<size_t>(at - start) == length &&
        std::memcmp(start, name, length) == 0) {
      return true;
    }
  }
}

bool PlainMatches(const PlainQuery& query, const char* list) {
  for (const std::string& name : query.all) {
    if (!ListHasToken(list, name.data(), name.size())) return false;
  }
  for (const std::string& name : query.none) {
    if (ListHasToken(list, name.data(), name.size())) return false;
  }
  if (query.any.empty()) return true;
  for (const std::string& name : query.any) {
    if (ListHasToken(list, name.data(), name.size())) return true;
  }
  return false;
}

Workload::Workload(int entries, uint64_t seed) : folders_(MakeFolders()) {
  Random random(seed);
  fileList_ = model_.Folder("FileList");
  queryTree_ = model_.Folder("QueryTree");

  // CategoryTree: the user's categories, then the built-ins.
  for (const char* name : kUserCategoryNames) {
    userCategories_.push_back(name);
    model_.AddCategory(name);
  }
  for (const char* name : kBuiltInNames) model_.AddCategory(name);

  // Popularity: weight 1 / (rank + 8).
  double weights[kUserCategories];
  for (int i = 0; i < kUserCategories; ++i) weights[i] = 1.0 / (i + 8);

  NodeCell* tail = fileList_->children.Head();
  while (tail->next) tail = tail->next;
  items_.reserve(static_cast<size_t>(entries));
  lists_.reserve(static_cast<size_t>(entries));
  for (int n = 0; n < entries; ++n) {
    WorkloadItem item;
    char entryId[49];
    std::snprintf(entryId, sizeof entryId, "00000000%016llX%016llX%08X",
                  static_cast<unsigned long long>(random.Next()),
                  static_cast<unsigned long long>(random.Next()),
                  static_cast<unsigned>(n));
    item.entryId = entryId;
    const size_t words = sizeof kSubjectWords / sizeof kSubjectWords[0];
    item.subject = std::string(kSubjectWords[random.Below(words)]) + " " +
                   kSubjectWords[random.Below(words)] + " " +
                   std::to_string(n);

    // 2 to 6 distinct user categories, drawn by weight.
    const int count = 2 + static_cast<int>(random.Below(5));
    bool chosen[kUserCategories] = {};
    double left = 0;
    for (double w : weights) left += w;
    for (int c = 0; c < count; ++c) {
      double pick = random.Unit() * left;
      int index = -1;  // the drawn category, or the last one left
      for (int i = 0; i < kUserCategories; ++i) {
        if (chosen[i]) continue;
        index = i;
        if (pick < weights[i]) break;
        pick -= weights[i];
      }
      chosen[index] = true;
      left -= weights[index];
    }

    // 70% mail (one in six of them flagged), 15% tasks, 15% appointments.
    const uint32_t kind = random.Below(100);
    item.itemClass = kind < 70 ? kClassMail : kind < 85 ? kClassTask
                                                        : kClassAppointment;
    item.flagStatus = 0;
    item.flagIcon = 0;
    item.taskStatus = -1;
    item.hasStart = item.itemClass == kClassAppointment;
    if (item.itemClass == kClassMail && random.Below(6) == 0) {
      item.flagStatus = 2;
      item.flagIcon = 1 + static_cast<int32_t>(random.Below(6));
    }
    if (item.itemClass == kClassTask) {
      item.taskStatus = static_cast<int32_t>(random.Below(5));
    }

    // The list an event leaves: the user categories in CategoryTree order,
    // then the built-ins in the order the rules add them.
    std::string list;
    auto add = [&list](const char* name) {
      if (!list.empty()) list += ',';
      list += name;
    };
    for (int i = 0; i < kUserCategories; ++i) {
      if (!chosen[i]) continue;
      if (!item.categories.empty()) item.categories += ", ";
      item.categories += kUserCategoryNames[i];
      add(kUserCategoryNames[i]);
    }
    if (item.flagStatus == 2) {
      add("Outlook Flag");
      add(kBuiltInNames[2 + item.flagIcon - 1]);
    }
    if (item.taskStatus >= 0) {
      add(kBuiltInNames[8 + item.taskStatus]);
      add(item.taskStatus <= 1 ? "Outlook Task Active" : "Outlook Task Inactive");
    }
    add("Outlook Item");
    if (item.itemClass == kClassMail) add("Outlook Mail");
    if (item.itemClass == kClassTask) add("Outlook Task");
    if (item.itemClass == kClassAppointment) {
      add("Outlook Appt");
      add("Outlook Appt Future");
    }

    // Linked after the last cell kept at hand: appending through the list
    // walks it from the front, which would make building 100,000 entries
    // quadratic.
    const std::string name = item.entryId + "\\" + item.subject;
    CEntryNode* entry = new (std::nothrow) CEntryNode(name.c_str());
    if (entry && fileList_->children.InsertAfter(tail, entry)) {
      tail = tail->next;
      entry->SetParent(fileList_);
      entry->SetCategories(list.c_str());
      entry->SetItemClass(item.itemClass);
    } else if (entry) {
      entry->Destroy(1);
    }
    items_.push_back(std::move(item));
    lists_.push_back(std::move(list));
  }

  model_.Handle()->InvalidatePositions();

  // QueryTree: the companion's own file first, then the folders.
  ShellStoreModel::Link(queryTree_, new (std::nothrow) CEntryNode("__Fs.dat"));
  std::vector<CStoreNode*> made;
  for (const QueryFolderSpec& folder : folders_) {
    CStoreNode* parent = folder.parent < 0 ? nullptr : made[folder.parent];
    made.push_back(model_.AddQueryFolder(parent, folder.name, folder.terms));
  }
}

std::vector<int64_t> Workload::MatchesPerFolder() const {
  std::vector<int64_t> matches;
  for (const QueryFolderSpec& folder : folders_) {
    int64_t count = 0;
    for (const std::string& list : lists_) {
      if (PlainMatches(folder.plain, list.c_str())) ++count;
    }
    matches.push_back(count);
  }
  return matches;
}

int64_t Workload::ResultNodes() const {
  int64_t total = 0;
  for (int64_t count : MatchesPerFolder()) total += count;
  return total;
}

std::vector<int> Workload::EventItems(int count) const {
  std::vector<int> indexes;
  const int entries = Entries();
  if (entries == 0) return indexes;
  for (int i = 0; i < count; ++i) {
    indexes.push_back(static_cast<int>((static_cast<int64_t>(2 * i + 1) *
                                        entries) / (2 * count)));
  }
  return indexes;
}

}  // namespace bench
