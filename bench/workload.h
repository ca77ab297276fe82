// The benchmark's workload: a deterministic store of the size a heavy user
// has, and items whose events replay it without changing it.
//
// The store: CategoryTree with 40 user categories and all twenty-four
// built-in "Outlook ..." categories; FileList with N entries, each carrying
// 2 to 6 user categories (some categories are much more popular than
// others) followed by the built-ins its item's class and state give, and
// the item's class in its attribute record; QueryTree with an "__Fs.dat"
// entry and ten query folders (three of them nested) whose queries mix AND,
// OR, NOT and the OR-with-NOT form that is rewritten, each selecting about
// 1% to 30% of the entries.
//
// Every entry is exactly what an event for its item leaves behind, so
// replaying the items' events keeps the store steady: same entries, same
// lists, same results.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/shell_store_model.h"
#include "store/entry_node.h"

namespace bench {

// One Outlook item behind a FileList entry, as the host shows it.
struct WorkloadItem {
  std::string entryId;
  std::string subject;
  std::string categories;  // the user categories, joined by ", "
  int32_t itemClass;       // 43 mail, 48 task, 26 appointment
  int32_t flagStatus;      // 0 or 2 (olFlagMarked)
  int32_t flagIcon;        // 1..6 when flagged
  int32_t taskStatus;      // 0..4 for a task; -1: the item has no Status
  bool hasStart;           // an appointment's Start, in the far future
};

// A query in the plain form the floor evaluates: every name of `all`, at
// least one name of `any` (when `any` is not empty) and no name of `none`
// must be a token of the entry's category list.
struct PlainQuery {
  std::vector<std::string> all;
  std::vector<std::string> any;
  std::vector<std::string> none;
};

struct QueryFolderSpec {
  const char* name;
  int parent;         // index of the enclosing folder; -1: under QueryTree
  const char* terms;  // the __QuerySpec's terms as BuildTerms reads them
  PlainQuery plain;   // what the same query selects, written plainly
};

// True when list (a comma-separated category list) has a token equal to the
// length bytes at name: the leaf test, written plainly.
bool ListHasToken(const char* list, const char* name, size_t length);

// Whether list satisfies query.
bool PlainMatches(const PlainQuery& query, const char* list);

class Workload {
 public:
  static const int kUserCategories = 40;
  static const int kQueryFolders = 10;

  explicit Workload(int entries, uint64_t seed = 20261211);
  Workload(const Workload&) = delete;
  Workload& operator=(const Workload&) = delete;

  ShellStoreModel& Model() { return model_; }
  // The handle as the companion's OpenStore gives it.
  StoreHandle* Handle() { return model_.Handle(); }
  CStoreNode* FileList() { return fileList_; }
  CStoreNode* QueryTree() { return queryTree_; }

  int Entries() const { return static_cast<int>(items_.size()); }
  // The item behind FileList entry index.
  const WorkloadItem& Item(int index) const { return items_[index]; }
  // The category list its entry carries.
  const std::string& EntryList(int index) const { return lists_[index]; }
  const std::vector<QueryFolderSpec>& Folders() const { return folders_; }
  const std::vector<std::string>& UserCategories() const {
    return userCategories_;
  }

  // How many FileList entries each folder's query selects (plain form).
  std::vector<int64_t> MatchesPerFolder() const;
  // Their sum: the result nodes every refresh builds.
  int64_t ResultNodes() const;

  // The items events are replayed for: `count` items spread evenly over
  // FileList (so an event's FindEntry walks half the list on average).
  std::vector<int> EventItems(int count) const;

 private:
  ShellStoreModel model_;
  CStoreNode* fileList_;
  CStoreNode* queryTree_;
  std::vector<std::string> userCategories_;
  std::vector<WorkloadItem> items_;
  std::vector<std::string> lists_;
  std::vector<QueryFolderSpec> folders_;
};

}  // namespace bench
