// The event benchmark.  Cases, each taking N (FileList entries) with Q = 10
// query folders:
//   Event       one ItemChange end to end through the add-in's Invoke, with
//               a simulated item and the stand-in companion
//   Categorize  CategorizeItem alone
//   Refresh     RefreshQueryFolders alone (inside OpenStore/CloseStore)
//   Floor       the unavoidable work, written plainly (see BenchCases)
// Counters: N, Q, nodes (result nodes built per event), allocs (C heap
// blocks made per operation, everything in the process) and store_allocs
// (of those, the ones made through the store's heap).
//
//   brindle_bench [google benchmark flags]       the usual output or JSON
//   brindle_bench --table [flags]                one table of medians
//   brindle_bench --instructions CASE N COUNT    runs CASE COUNT times
//       inside bench_measured_operations, for callgrind's toggle-collect

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/alloc_count.h"
#include "bench/cases.h"
#include "store/heap.h"

namespace bench {
namespace {

const int kQueryFolders = Workload::kQueryFolders;

enum class Case { kEvent, kCategorize, kRefresh, kFloor };

void RunOnce(BenchCases& cases, Case which) {
  switch (which) {
    case Case::kEvent: cases.Event(); break;
    case Case::kCategorize: cases.Categorize(); break;
    case Case::kRefresh: cases.Refresh(); break;
    case Case::kFloor: cases.Floor(); break;
  }
}

// Blocks one operation makes, counted on a warm store.
void CountAllocations(benchmark::State& state, BenchCases& cases, Case which) {
  RunOnce(cases, which);
  const HeapCounts before = CurrentHeapCounts();
  const int64_t storeBefore = store_heap::Allocations();
  RunOnce(cases, which);
  const HeapCounts after = CurrentHeapCounts();
  if (HeapCountsAvailable()) {
    state.counters["allocs"] =
        static_cast<double>(after.allocations - before.allocations);
  }
  state.counters["store_allocs"] =
      static_cast<double>(store_heap::Allocations() - storeBefore);
}

void RunCase(benchmark::State& state, Case which) {
  const int entries = static_cast<int>(state.range(0));
  BenchCases& cases = CasesFor(entries);
  cases.Activate();
  CountAllocations(state, cases, which);
  for (auto _ : state) RunOnce(cases, which);
  state.counters["N"] = entries;
  state.counters["Q"] = kQueryFolders;
  state.counters["nodes"] = which == Case::kCategorize
                                ? 0.0
                                : static_cast<double>(cases.ResultNodes());
}

void BM_Event(benchmark::State& state) { RunCase(state, Case::kEvent); }
void BM_Categorize(benchmark::State& state) { RunCase(state, Case::kCategorize); }
void BM_Refresh(benchmark::State& state) { RunCase(state, Case::kRefresh); }
void BM_Floor(benchmark::State& state) { RunCase(state, Case::kFloor); }

void Sizes(benchmark::internal::Benchmark* b) {
  // Processor time: the machines these run on are shared, and one thread
  // does all the work.
  b->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
}

}  // namespace
}  // namespace bench

BENCHMARK(bench::BM_Event)->Name("Event")->Apply(bench::Sizes);
BENCHMARK(bench::BM_Categorize)->Name("Categorize")->Apply(bench::Sizes);
BENCHMARK(bench::BM_Refresh)->Name("Refresh")->Apply(bench::Sizes);
BENCHMARK(bench::BM_Floor)->Name("Floor")->Apply(bench::Sizes);

namespace bench {
namespace {

// Collects every run and prints one table at the end: the median when
// repetitions were asked for, the single run otherwise.
class TableReporter : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context&) override { return true; }

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate &&
                          run.aggregate_name == "median";
      if (run.run_type == Run::RT_Aggregate && !median) continue;
      const std::string key =
          run.run_name.function_name + "/" + run.run_name.args;
      Row& row = rows_[key];
      if (row.fromMedian && !median) continue;
      row.name = run.run_name.function_name;
      row.fromMedian = median;
      row.ms = run.GetAdjustedCPUTime() *
               (run.time_unit == benchmark::kMillisecond ? 1.0
                : run.time_unit == benchmark::kMicrosecond ? 1e-3
                : run.time_unit == benchmark::kNanosecond ? 1e-6 : 1e3);
      row.entries = Counter(run, "N");
      row.queries = Counter(run, "Q");
      row.nodes = Counter(run, "nodes");
      row.allocs = run.counters.count("allocs") ? Counter(run, "allocs") : -1;
      if (std::find(order_.begin(), order_.end(), key) == order_.end()) {
        order_.push_back(key);
      }
    }
  }

  void Finalize() override {
    // Cases in their fixed order, sizes ascending, however the runs were
    // interleaved.
    const char* const caseOrder[] = {"Event", "Categorize", "Refresh", "Floor"};
    auto rank = [&](const std::string& key) {
      const std::string name = key.substr(0, key.find('/'));
      int index = 0;
      while (index < 4 && name != caseOrder[index]) ++index;
      return std::make_pair(index, std::atof(key.c_str() + key.find('/') + 1));
    };
    std::sort(order_.begin(), order_.end(),
              [&](const std::string& a, const std::string& b) {
                return rank(a) < rank(b);
              });
    std::printf("%-11s %7s %3s %12s %11s %9s %11s %9s\n", "case", "N", "Q",
                "median ms", "events/s", "nodes", "allocs", "x floor");
    for (const std::string& key : order_) {
      const Row& row = rows_[key];
      const auto floor = rows_.find("Floor/" + key.substr(key.find('/') + 1));
      char ratio[32] = "";
      if (floor != rows_.end() && floor->second.ms > 0) {
        std::snprintf(ratio, sizeof ratio, "%.2f", row.ms / floor->second.ms);
      }
      char allocs[32] = "n/a";
      if (row.allocs >= 0) std::snprintf(allocs, sizeof allocs, "%.0f", row.allocs);
      std::printf("%-11s %7.0f %3.0f %12.3f %11.1f %9.0f %11s %9s\n",
                  row.name.c_str(), row.entries, row.queries, row.ms,
                  row.ms > 0 ? 1000.0 / row.ms : 0.0, row.nodes, allocs,
                  ratio);
    }
  }

 private:
  struct Row {
    std::string name;
    bool fromMedian = false;
    double ms = 0;
    double entries = 0;
    double queries = 0;
    double nodes = 0;
    double allocs = -1;
  };
  static double Counter(const Run& run, const char* name) {
    auto found = run.counters.find(name);
    return found == run.counters.end() ? 0.0 : found->second.value;
  }
  std::map<std::string, Row> rows_;
  std::vector<std::string> order_;
};

}  // namespace
}  // namespace bench

// callgrind counts only inside this function (--toggle-collect).
extern "C" __attribute__((noinline)) void bench_measured_operations(
    bench::BenchCases* cases, int which, int count) {
  for (int i = 0; i < count; ++i) {
    bench::RunOnce(*cases, static_cast<bench::Case>(which));
  }
}

namespace {

int RunInstructionMode(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s --instructions CASE N COUNT\n", argv[0]);
    return 2;
  }
  const char* const names[] = {"Event", "Categorize", "Refresh", "Floor"};
  int which = -1;
  for (int i = 0; i < 4; ++i) {
    if (std::strcmp(argv[2], names[i]) == 0) which = i;
  }
  const int entries = std::atoi(argv[3]);
  const int count = std::atoi(argv[4]);
  if (which < 0 || entries <= 0 || count <= 0) {
    std::fprintf(stderr, "unknown case or bad N/COUNT\n");
    return 2;
  }
  bench::BenchCases& cases = bench::CasesFor(entries);
  cases.Activate();
  // Warm: the store's results exist and every buffer has its size.
  bench::RunOnce(cases, static_cast<bench::Case>(which));
  bench_measured_operations(&cases, which, count);
  std::printf("%s N=%d Q=%d operations=%d nodes=%lld\n", names[which], entries,
              bench::Workload::kQueryFolders, count,
              static_cast<long long>(cases.ResultNodes()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--instructions") == 0) {
    return RunInstructionMode(argc, argv);
  }
  bool table = false;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (i > 0 && std::strcmp(argv[i], "--table") == 0) {
      table = true;
      continue;
    }
    args.push_back(argv[i]);
  }
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  if (table) {
    bench::TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
  } else {
    benchmark::RunSpecifiedBenchmarks();
  }
  benchmark::Shutdown();
  return 0;
}
