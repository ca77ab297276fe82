// Events on a steady store: the store stays as it was, the heap does not
// grow from one event to the next, and an event allocates what its results
// keep and hardly anything else.  Counts, never times.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/alloc_count.h"
#include "bench/cases.h"
#include "host/shell_store_stand_in.h"
#include "platform/emulation.h"
#include "store/entry_node.h"
#include "store/heap.h"
#include "store/node.h"

namespace {

using bench::BenchCases;
using bench::Workload;

const int kEntries = 1000;

// Live bytes are kept from the start, before any block the tests compare.
const bool kBytesTracked = (bench::TrackHeapBytes(true), true);

// The names of the children of node that are entries, in order.
std::vector<std::string> ResultNames(CStoreNode* folder) {
  std::vector<std::string> names;
  for (NodeCell* cell = folder->children.First(); cell; cell = cell->next) {
    CNamedNode* child = AsNamed(cell->node);
    if (child->GetTypeId() == NODE_KIND_ENTRY) names.push_back(child->GetName());
  }
  return names;
}

// The query folders of the workload, in the order they were made (pre-order).
std::vector<CStoreNode*> QueryFolders(CStoreNode* queryTree) {
  std::vector<CStoreNode*> folders;
  std::vector<CStoreNode*> pending = {queryTree};
  while (!pending.empty()) {
    CStoreNode* node = pending.back();
    pending.pop_back();
    if (node != queryTree &&
        AsNamed(node)->GetTypeId() == NODE_KIND_QUERY_FOLDER) {
      folders.push_back(node);
    }
    std::vector<CStoreNode*> children;
    for (NodeCell* cell = node->children.First(); cell; cell = cell->next) {
      children.push_back(cell->node);
    }
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      pending.push_back(*it);
    }
  }
  return folders;
}

class EventGrowthTest : public ::testing::Test {
 protected:
  void SetUp() override {
    emu::Reset();
    cases_.reset(new BenchCases(kEntries));
    cases_->Activate();
  }
  void TearDown() override {
    Workload& workload = cases_->GetWorkload();
    EXPECT_EQ(0, workload.Model().LiveObjects());
    EXPECT_EQ(0, workload.Model().MismatchedCloses());
    EXPECT_EQ(0, workload.Model().UnexpectedCalls());
    EXPECT_FALSE(workload.Model().IsOpen());
    cases_.reset();
    UnregisterShellStoreStandIn();
  }

  // FileList holds every entry with the list its item gives, and every
  // folder exactly the entries its query selects, by display name, in
  // FileList order.
  void ExpectSteadyStore() {
    Workload& workload = cases_->GetWorkload();
    int index = 0;
    for (NodeCell* cell = workload.FileList()->children.First(); cell;
         cell = cell->next, ++index) {
      ASSERT_LT(index, workload.Entries());
      CEntryNode* entry = static_cast<CEntryNode*>(AsNamed(cell->node));
      const bench::WorkloadItem& item = workload.Item(index);
      ASSERT_EQ(item.entryId + "\\" + item.subject, entry->GetName());
      ASSERT_EQ(workload.EntryList(index), entry->GetCategories());
    }
    EXPECT_EQ(workload.Entries(), index);

    const std::vector<CStoreNode*> folders = QueryFolders(workload.QueryTree());
    ASSERT_EQ(workload.Folders().size(), folders.size());
    int64_t results = 0;
    for (size_t f = 0; f < folders.size(); ++f) {
      const bench::QueryFolderSpec& spec = workload.Folders()[f];
      SCOPED_TRACE(spec.name);
      EXPECT_STREQ(spec.name, AsNamed(folders[f])->GetName());
      std::vector<std::string> expected;
      for (int i = 0; i < workload.Entries(); ++i) {
        if (bench::PlainMatches(spec.plain, workload.EntryList(i).c_str())) {
          expected.push_back(workload.Item(i).subject);
        }
      }
      EXPECT_EQ(expected, ResultNames(folders[f]));
      results += static_cast<int64_t>(expected.size());
    }
    EXPECT_EQ(cases_->ResultNodes(), results);
  }

  std::unique_ptr<BenchCases> cases_;
};

// The workload is what its description promises: every folder selects
// between 1% and 30% of the entries, and the rewritten OR-with-NOT queries
// select what their plain form says (checked with the store below).
TEST_F(EventGrowthTest, WorkloadSelectsOneToThirtyPercent) {
  const std::vector<int64_t> matches = cases_->GetWorkload().MatchesPerFolder();
  ASSERT_EQ(static_cast<size_t>(Workload::kQueryFolders), matches.size());
  for (size_t f = 0; f < matches.size(); ++f) {
    SCOPED_TRACE(cases_->GetWorkload().Folders()[f].name);
    EXPECT_GE(matches[f], kEntries / 100);
    EXPECT_LE(matches[f], kEntries * 30 / 100);
  }
}

// The events cycle over BenchCases::kEventItems items.  A category list is
// rewritten into a block sized by the list it replaced, so an entry's first
// event may leave a block of another size than the generator made; after one
// round every replayed entry has its steady block, and from then on each
// event must leave the heap exactly as the one before it did.
TEST_F(EventGrowthTest, AThousandEventsLeaveStoreAndHeapAsTheFirstDid) {
  for (int i = 0; i < BenchCases::kEventItems; ++i) {
    ASSERT_EQ(S_OK, cases_->Event());
  }
  ASSERT_EQ(S_OK, cases_->Event());
  ExpectSteadyStore();
  const int64_t storeLive = store_heap::Live();
  const bench::HeapCounts heap = bench::CurrentHeapCounts();

  for (int i = 1; i < 1000; ++i) ASSERT_EQ(S_OK, cases_->Event());

  EXPECT_EQ(storeLive, store_heap::Live());
  if (bench::HeapCountsAvailable()) {
    const bench::HeapCounts after = bench::CurrentHeapCounts();
    EXPECT_EQ(heap.liveBlocks, after.liveBlocks);
    // Usable sizes: the C library may hand out a free chunk somewhat larger
    // than asked rather than split it, so the same blocks can differ by a
    // few chunks' worth of bytes from one event to the next (80 bytes seen).
    // Growth is another matter: usable sizes step by 16 bytes, so even a
    // buffer that grew by one byte per event would be at least 999 bytes
    // further off after these 999 events.
    EXPECT_NEAR(heap.liveBytes, after.liveBytes, 512);
  }
  ExpectSteadyStore();
  const int events = BenchCases::kEventItems + 1000;
  EXPECT_EQ(events, cases_->GetWorkload().Model().Creations());
  EXPECT_EQ(events, cases_->GetWorkload().Model().CloseCalls());
}

// An event allocates its result nodes (node, name, user data, attribute
// record, list cell: five blocks each) and, besides them, a bounded number
// of blocks for the changed item's categories -- nothing per entry, per
// category token or per query leaf.
TEST_F(EventGrowthTest, AnEventAllocatesItsResultNodesAndLittleElse) {
  ASSERT_EQ(S_OK, cases_->Event());
  const int64_t nodes = cases_->ResultNodes();
  // Every category of the tree (64) may be added or removed once, and the
  // rules remove a dozen built-ins again; the rewritten queries are small.
  const int64_t kCategorizeAndQueries = 3 * 64;

  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    const int64_t storeBefore = store_heap::Allocations();
    const bench::HeapCounts before = bench::CurrentHeapCounts();
    ASSERT_EQ(S_OK, cases_->Event());
    const int64_t store = store_heap::Allocations() - storeBefore;
    EXPECT_GE(store, 5 * nodes);
    EXPECT_LE(store, 5 * nodes + kCategorizeAndQueries);
    if (bench::HeapCountsAvailable()) {
      const bench::HeapCounts after = bench::CurrentHeapCounts();
      // Outside the store: the item's texts and strings, the companion
      // object; nothing that grows with FileList.
      EXPECT_LE(after.allocations - before.allocations - store, 32);
    }
  }
}

}  // namespace
