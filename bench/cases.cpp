#include "bench/cases.h"

#include <cstdlib>
#include <cstring>
#include <map>

#include "addin/addin.h"
#include "categorize/categorize.h"
#include "categorize/item_snapshot.h"
#include "host/outlook_variant.h"
#include "host/shell_store_stand_in.h"
#include "query/refresh.h"
#include "server/module.h"
#include "store/entry_node.h"
#include "store/node.h"

namespace bench {

SnapshotValues::SnapshotValues(const WorkloadItem& item)
    : entryId(item.entryId.c_str()),
      subject(item.subject.c_str()),
      categories(item.categories.c_str()),
      flagStatus(item.flagStatus),
      flagIcon(item.flagIcon),
      itemClass(item.itemClass),
      taskStatus(item.taskStatus),
      startDate(0),
      startTime(0) {
  if (item.hasStart) {
    USHORT date = 0;
    USHORT time = 0;
    VariantTimeToDosDateTime(outlook_sim::DateFromParts(2031, 6, 15, 10, 30),
                             &date, &time);
    startDate = date;
    startTime = time;
  }
}

BenchCases::BenchCases(int entries)
    : workload_(entries), resultNodes_(workload_.ResultNodes()) {
  for (int index : workload_.EventItems(kEventItems)) {
    items_.emplace_back(new EventItem());
    items_.back()->Show(workload_.Item(index));
    snapshots_.emplace_back(new SnapshotValues(workload_.Item(index)));
  }
  // Five blocks per result node, held between the floor's allocating and
  // freeing; reserved here so the floor allocates nothing else.
  floorBlocks_.reserve(static_cast<size_t>(resultNodes_) * 5);
}

BenchCases::~BenchCases() {
  if (addin_ != nullptr) addin_->Release();
}

void BenchCases::Activate() {
  RegisterShellStoreStandIn(&workload_.Model());
  if (addin_ != nullptr) return;
  void* factory = nullptr;
  if (FAILED(DllGetClassObject(CLSID_MyAddin, IID_IClassFactory, &factory))) {
    std::abort();
  }
  IClassFactory* classFactory = static_cast<IClassFactory*>(factory);
  void* object = nullptr;
  const HRESULT hr =
      classFactory->CreateInstance(nullptr, IID_IDispatch, &object);
  classFactory->Release();
  if (FAILED(hr) || object == nullptr) std::abort();
  addin_ = static_cast<IDispatch*>(object);
}

HRESULT BenchCases::Event() {
  EventItem* item = items_[next_].get();
  next_ = (next_ + 1) % kEventItems;
  EventParams params(item);
  return addin_->Invoke(0xF002 /* ItemChange */, IID_NULL, LOCALE_USER_DEFAULT,
                        DISPATCH_METHOD, params.Get(), nullptr, nullptr,
                        nullptr);
}

void BenchCases::Categorize() {
  SnapshotValues& values = *snapshots_[next_];
  next_ = (next_ + 1) % kEventItems;
  const ItemSnapshot snapshot = {
      workload_.Handle(), values.entryId,    values.subject,
      values.categories,  values.flagStatus, values.flagIcon,
      values.itemClass,   values.taskStatus, values.startDate,
      values.startTime};
  CategorizeItem(snapshot);
}

void BenchCases::Refresh() {
  void* object = nullptr;
  if (FAILED(CShellStoreStandIn::Create(&workload_.Model(), IID_IShellFolder,
                                        &object))) {
    std::abort();
  }
  IShellStoreFolder* companion = static_cast<IShellStoreFolder*>(object);
  SharedGlobals* globals = nullptr;
  StoreHandle* store = companion->OpenStore(&globals);
  RefreshQueryFolders(store);
  companion->CloseStore(store);
  companion->Release();
}

int64_t BenchCases::Floor() {
  int64_t built = 0;
  for (const QueryFolderSpec& folder : workload_.Folders()) {
    const PlainQuery& query = folder.plain;
    for (NodeCell* cell = workload_.FileList()->children.First(); cell;
         cell = cell->next) {
      CEntryNode* source = static_cast<CEntryNode*>(AsNamed(cell->node));
      const char* list = reinterpret_cast<const char*>(source->block2.data);
      if (list == nullptr || !PlainMatches(query, list)) continue;

      // A result: the node, its name (the text after the source name's
      // last backslash), its user data (the source's name), its attribute
      // record and the cell that links it.
      const char* sourceName = source->GetName();
      const size_t sourceLength = std::strlen(sourceName);
      const char* slash = std::strrchr(sourceName, '\\');
      const char* shown = slash ? slash + 1 : sourceName;
      const size_t shownLength = sourceLength - (shown - sourceName);

      void* node = std::malloc(sizeof(CEntryNode));
      std::memset(node, 0, sizeof(CEntryNode));
      char* name = static_cast<char*>(std::malloc(shownLength + 1));
      std::memcpy(name, shown, shownLength + 1);
      char* userData = static_cast<char*>(std::malloc(sourceLength + 2));
      std::memcpy(userData, sourceName, sourceLength + 1);
      userData[sourceLength + 1] = '\0';
      void* record = std::calloc(1, sizeof(EntryAttributes) + 1);
      void* linkCell = std::malloc(sizeof(NodeCell));
      std::memset(linkCell, 0, sizeof(NodeCell));
      floorBlocks_.push_back(node);
      floorBlocks_.push_back(name);
      floorBlocks_.push_back(userData);
      floorBlocks_.push_back(record);
      floorBlocks_.push_back(linkCell);
      ++built;
    }
  }
  // The next refresh purges them.
  for (void* block : floorBlocks_) std::free(block);
  floorBlocks_.clear();
  return built;
}

BenchCases& CasesFor(int entries) {
  // Kept to the end of the process, never destroyed: the add-in and the
  // companion registration must not outlive the module's globals.
  static auto* made = new std::map<int, std::unique_ptr<BenchCases>>();
  std::unique_ptr<BenchCases>& cases = (*made)[entries];
  if (!cases) cases.reset(new BenchCases(entries));
  return *cases;
}

}  // namespace bench
