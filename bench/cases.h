// The benchmark's cases over one workload, shared by the Google Benchmark
// runs and the instruction-count mode: one ItemChange end to end through the
// add-in, CategorizeItem alone, RefreshQueryFolders alone, and the floor.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "bench/event_item.h"
#include "bench/workload.h"
#include "platform/com.h"
#include "store/str_buf.h"

namespace bench {

// One item's snapshot texts and values, as the event handler reads them.
struct SnapshotValues {
  explicit SnapshotValues(const WorkloadItem& item);
  CStrBuf entryId;
  CStrBuf subject;
  CStrBuf categories;
  int32_t flagStatus;
  int32_t flagIcon;
  int32_t itemClass;
  int32_t taskStatus;
  uint32_t startDate;
  uint32_t startTime;
};

class BenchCases {
 public:
  // Items the events are replayed for, spread over FileList.
  static const int kEventItems = 64;

  explicit BenchCases(int entries);
  ~BenchCases();
  BenchCases(const BenchCases&) = delete;
  BenchCases& operator=(const BenchCases&) = delete;

  Workload& GetWorkload() { return workload_; }
  // Result nodes one refresh builds.
  int64_t ResultNodes() const { return resultNodes_; }

  // Makes the add-in through the module's class factory and points the
  // companion's class at this workload's store.  Call before Event.
  void Activate();

  // One ItemChange for the next item, through the add-in's Invoke.
  HRESULT Event();
  // CategorizeItem alone for the next item, on the store as it stands.
  void Categorize();
  // RefreshQueryFolders alone, inside one OpenStore/CloseStore of the
  // companion (so its node values are asked as an event asks them).
  void Refresh();
  // The work no implementation can avoid: for each query folder one pass
  // over every FileList entry's category list with the same leaf tests, and
  // allocating, filling and freeing the result nodes (node, name, user data,
  // attribute record, list cell) that a refresh builds.  Answers the
  // number of result nodes.
  int64_t Floor();

 private:
  Workload workload_;
  int64_t resultNodes_;
  std::vector<std::unique_ptr<EventItem>> items_;
  std::vector<std::unique_ptr<SnapshotValues>> snapshots_;
  std::vector<void*> floorBlocks_;
  IDispatch* addin_ = nullptr;
  int next_ = 0;
};

// The cases of one size, made on first use and kept for the process.
BenchCases& CasesFor(int entries);

}  // namespace bench
