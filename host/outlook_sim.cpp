#include "host/outlook_sim.h"

#include <new>

namespace outlook_sim {

const IID kItemsEventsIid = {
    0x00063077, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {

struct DefaultFolder {
  LONG number;
  const char* name;
};

const DefaultFolder kDefaultFolders[] = {
    {kFolderDeletedItems, "Deleted Items"},
    {kFolderOutbox, "Outbox"},
    {kFolderSentMail, "Sent Items"},
    {kFolderInbox, "Inbox"},
    {kFolderCalendar, "Calendar"},
    {kFolderContacts, "Contacts"},
    {kFolderJournal, "Journal"},
    {kFolderNotes, "Notes"},
    {kFolderTasks, "Tasks"},
    {kFolderDrafts, "Drafts"},
    {18, "All Public Folders"},
    {19, "Conflicts"},
    {20, "Sync Issues"},
    {21, "Local Failures"},
    {22, "Server Failures"},
    {23, "Junk E-mail"},
    {25, "RSS Feeds"},
    {28, "To-Do List"},
    {30, "Suggested Contacts"},
};

const char* DefaultFolderName(LONG number) {
  for (const DefaultFolder& f : kDefaultFolders) {
    if (f.number == number) return f.name;
  }
  return nullptr;
}

// The one positional argument of a method, checked as Outlook's dispatch
// layer does before the method runs.
HRESULT OneArgument(DISPPARAMS* params, VARIANT** arg) {
  *arg = nullptr;
  if (params == nullptr) return DISP_E_BADPARAMCOUNT;
  if (params->cNamedArgs != 0) return kDispNoNamedArgs;
  if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
  if (params->rgvarg == nullptr) return E_INVALIDARG;
  *arg = &params->rgvarg[0];
  return S_OK;
}

bool NoArguments(DISPPARAMS* params) {
  return params == nullptr || params->cArgs == 0;
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != 0; ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return i == a.size() && b[i] == 0;
}

// Answers object with a reference for the caller; a null result discards it.
void GiveObject(VARIANT* result, IDispatch* object) {
  if (result == nullptr) return;
  result->vt = VT_DISPATCH;
  result->pdispVal = object;
  object->AddRef();
}

}  // namespace

// --- Application ---

SimApplication::SimApplication(OutlookSim* sim)
    : SimDispatch(sim, "Application") {
  SetProperty("Name", VariantFromString(BRINDLE_OLESTR("Outlook")));
  DeclareMember("GetNameSpace");
}

HRESULT SimApplication::CallMember(const std::string& name, WORD,
                                   DISPPARAMS* params, VARIANT* result) {
  if (name != "GetNameSpace") return DISP_E_MEMBERNOTFOUND;
  VARIANT* arg = nullptr;
  HRESULT hr = OneArgument(params, &arg);
  if (FAILED(hr)) return hr;
  if (arg->vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
  if (!EqualsIgnoringCase(BstrToUtf8(arg->bstrVal), "MAPI")) {
    return E_INVALIDARG;
  }
  SimNameSpace* ns = Sim()->NameSpace();
  if (ns == nullptr) return E_OUTOFMEMORY;
  GiveObject(result, ns);
  return S_OK;
}

// --- NameSpace ---

SimNameSpace::SimNameSpace(OutlookSim* sim) : SimDispatch(sim, "NameSpace") {
  SetProperty("Name", VariantFromString(BRINDLE_OLESTR("MAPI")));
  DeclareMember("GetDefaultFolder");
}

HRESULT SimNameSpace::CallMember(const std::string& name, WORD,
                                 DISPPARAMS* params, VARIANT* result) {
  if (name != "GetDefaultFolder") return DISP_E_MEMBERNOTFOUND;
  VARIANT* arg = nullptr;
  HRESULT hr = OneArgument(params, &arg);
  if (FAILED(hr)) return hr;
  LONG number;
  if (arg->vt == VT_INT) {
    number = arg->intVal;
  } else if (arg->vt == VT_I4) {
    number = arg->lVal;
  } else {
    return DISP_E_TYPEMISMATCH;
  }
  hr = Sim()->FolderFailure(number);
  if (FAILED(hr)) return hr;
  SimFolder* folder = Sim()->Folder(number);
  if (folder == nullptr) return E_INVALIDARG;
  GiveObject(result, folder);
  return S_OK;
}

// --- Folder ---

SimFolder::SimFolder(OutlookSim* sim, LONG number, const char* name)
    : SimDispatch(sim, "Folder"), number_(number) {
  SetProperty("Name", VariantFromUtf8(name));
  DeclareMember("Items");
}

HRESULT SimFolder::CallMember(const std::string& name, WORD,
                              DISPPARAMS* params, VARIANT* result) {
  if (name != "Items") return DISP_E_MEMBERNOTFOUND;
  if (!NoArguments(params)) return DISP_E_BADPARAMCOUNT;
  if (result == nullptr) return S_OK;
  SimItems* items = Sim()->NewItems(this);
  if (items == nullptr) return E_OUTOFMEMORY;
  items_.push_back(items);
  GiveObject(result, items);
  return S_OK;
}

int SimFolder::LiveItemsCount() const {
  int count = 0;
  for (const SimItems* items : items_) {
    if (!items->IsReleased()) ++count;
  }
  return count;
}

std::vector<HRESULT> SimFolder::FireItemAdd(SimItem* item) {
  return FireWithItem(kDispidItemAdd, item);
}

std::vector<HRESULT> SimFolder::FireItemChange(SimItem* item) {
  return FireWithItem(kDispidItemChange, item);
}

std::vector<HRESULT> SimFolder::FireWithItem(DISPID id, SimItem* item) {
  std::vector<HRESULT> results;
  // Firing may make new Items objects (a sink reading the folder); only the
  // ones present now receive this event.
  const std::vector<SimItems*> targets = items_;
  for (SimItems* items : targets) {
    const std::vector<HRESULT> r = items->FireWithItem(id, item);
    results.insert(results.end(), r.begin(), r.end());
  }
  return results;
}

std::vector<HRESULT> SimFolder::FireItemRemove() {
  std::vector<HRESULT> results;
  const std::vector<SimItems*> targets = items_;
  for (SimItems* items : targets) {
    const std::vector<HRESULT> r = items->FireItemRemove();
    results.insert(results.end(), r.begin(), r.end());
  }
  return results;
}

std::vector<HRESULT> SimFolder::Fire(DISPID id, DISPPARAMS* params) {
  std::vector<HRESULT> results;
  const std::vector<SimItems*> targets = items_;
  for (SimItems* items : targets) {
    const std::vector<HRESULT> r = items->Fire(id, params);
    results.insert(results.end(), r.begin(), r.end());
  }
  return results;
}

int SimFolder::AdvisedSinkCount() const {
  int count = 0;
  for (const SimItems* items : items_) count += items->AdvisedSinkCount();
  return count;
}

int SimFolder::AdviseCount(IUnknown* sink) const {
  int count = 0;
  for (const SimItems* items : items_) count += items->AdviseCount(sink);
  return count;
}

// --- Items ---

SimItems::SimItems(OutlookSim* sim, SimFolder* folder)
    : SimDispatch(sim, "Items"), folder_(folder) {}

void* SimItems::FindInterface(REFIID iid) {
  if (IsEqualIID(iid, IID_IConnectionPointContainer)) {
    return static_cast<IConnectionPointContainer*>(this);
  }
  return nullptr;
}

void SimItems::OnLastRelease() {
  // Outlook destroys the Items object here, and its subscriptions with it.
  released_ = true;
  if (point_ != nullptr) point_->DropAll();
}

SimConnectionPoint* SimItems::ConnectionPoint() {
  if (point_ == nullptr) {
    point_ = Sim()->Adopt(new (std::nothrow) SimConnectionPoint(Sim(), this));
  }
  return point_;
}

void SimItems::FailFindConnectionPoint(HRESULT hr) {
  failFind_ = true;
  findHr_ = hr;
}

HRESULT SimItems::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
  if (ppEnum != nullptr) *ppEnum = nullptr;
  return E_NOTIMPL;
}

HRESULT SimItems::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
  ++findCalls_;
  if (ppCP == nullptr) return E_POINTER;
  *ppCP = nullptr;
  if (failFind_) return findHr_;
  if (!IsEqualIID(riid, kItemsEventsIid)) return CONNECT_E_NOCONNECTION;
  SimConnectionPoint* point = ConnectionPoint();
  if (point == nullptr) return E_OUTOFMEMORY;
  *ppCP = point;
  point->AddRef();
  return S_OK;
}

std::vector<HRESULT> SimItems::FireItemAdd(SimItem* item) {
  return FireWithItem(kDispidItemAdd, item);
}

std::vector<HRESULT> SimItems::FireItemChange(SimItem* item) {
  return FireWithItem(kDispidItemChange, item);
}

std::vector<HRESULT> SimItems::FireWithItem(DISPID id, SimItem* item) {
  VARIANT arg;
  VariantInit(&arg);
  arg.vt = VT_DISPATCH;
  arg.pdispVal = item;
  DISPPARAMS params = {&arg, nullptr, 1, 0};
  item->AddRef();
  std::vector<HRESULT> results = Fire(id, &params);
  item->Release();
  return results;
}

std::vector<HRESULT> SimItems::FireItemRemove() {
  DISPPARAMS params = {nullptr, nullptr, 0, 0};
  return Fire(kDispidItemRemove, &params);
}

std::vector<HRESULT> SimItems::Fire(DISPID id, DISPPARAMS* params) {
  if (released_ || point_ == nullptr) return std::vector<HRESULT>();
  return point_->Fire(id, params);
}

int SimItems::AdvisedSinkCount() const {
  return point_ == nullptr ? 0
                           : static_cast<int>(point_->Connections().size());
}

int SimItems::AdviseCount(IUnknown* sink) const {
  return point_ == nullptr ? 0 : point_->AdviseCount(sink);
}

// --- Connection point ---

SimConnectionPoint::SimConnectionPoint(OutlookSim* sim, SimItems* items)
    : SimObject(sim, "ConnectionPoint"), items_(items) {}

void* SimConnectionPoint::FindInterface(REFIID iid) {
  if (IsEqualIID(iid, IID_IConnectionPoint)) {
    return static_cast<IConnectionPoint*>(this);
  }
  return nullptr;
}

void SimConnectionPoint::FailAdvise(HRESULT hr) {
  failAdvise_ = true;
  adviseHr_ = hr;
}

void SimConnectionPoint::DropAll() {
  // Releasing a sink may run its destructor, which may call back into us.
  std::vector<Connection> dropped;
  dropped.swap(connections_);
  for (const Connection& c : dropped) c.sink->Release();
}

void SimConnectionPoint::Teardown() {
  DropAll();
  SimObject::Teardown();
}

HRESULT SimConnectionPoint::GetConnectionInterface(IID* pIID) {
  if (pIID == nullptr) return E_POINTER;
  *pIID = kItemsEventsIid;
  return S_OK;
}

HRESULT SimConnectionPoint::GetConnectionPointContainer(
    IConnectionPointContainer** ppCPC) {
  if (ppCPC == nullptr) return E_POINTER;
  *ppCPC = items_;
  items_->AddRef();
  return S_OK;
}

HRESULT SimConnectionPoint::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
  ++adviseCalls_;
  if (pdwCookie != nullptr) *pdwCookie = 0;
  if (pUnkSink == nullptr || pdwCookie == nullptr) return E_POINTER;
  if (failAdvise_) return adviseHr_;
  if (items_->IsReleased()) return E_UNEXPECTED;
  void* events = nullptr;
  if (FAILED(pUnkSink->QueryInterface(kItemsEventsIid, &events)) ||
      events == nullptr) {
    return CONNECT_E_CANNOTCONNECT;
  }
  const DWORD cookie = nextCookie_++;
  connections_.push_back(
      Connection{cookie, pUnkSink, static_cast<IDispatch*>(events)});
  Sim()->RecordAdvise(
      AdviseRecord{items_->Folder()->Number(), items_, pUnkSink, cookie});
  *pdwCookie = cookie;
  return S_OK;
}

HRESULT SimConnectionPoint::Unadvise(DWORD dwCookie) {
  ++unadviseCalls_;
  for (size_t i = 0; i < connections_.size(); ++i) {
    if (connections_[i].cookie != dwCookie) continue;
    IDispatch* sink = connections_[i].sink;
    connections_.erase(connections_.begin() + static_cast<ptrdiff_t>(i));
    sink->Release();
    return S_OK;
  }
  return CONNECT_E_NOCONNECTION;
}

HRESULT SimConnectionPoint::EnumConnections(IEnumConnections** ppEnum) {
  if (ppEnum != nullptr) *ppEnum = nullptr;
  return E_NOTIMPL;
}

std::vector<HRESULT> SimConnectionPoint::Fire(DISPID id, DISPPARAMS* params) {
  std::vector<HRESULT> results;
  // A sink may unadvise (itself or others) while it handles the event; each
  // connection is checked again before its call.
  const std::vector<Connection> snapshot = connections_;
  for (const Connection& c : snapshot) {
    bool still = false;
    for (const Connection& now : connections_) {
      if (now.cookie == c.cookie) still = true;
    }
    if (!still) continue;
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO excep = {};
    UINT argErr = 0;
    results.push_back(c.sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT,
                                     DISPATCH_METHOD, params, &result, &excep,
                                     &argErr));
    VariantClear(&result);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
  }
  return results;
}

int SimConnectionPoint::AdviseCount(IUnknown* sink) const {
  int count = 0;
  for (const Connection& c : connections_) {
    if (c.given == sink || static_cast<IUnknown*>(c.sink) == sink) ++count;
  }
  return count;
}

// --- OutlookSim ---

OutlookSim::OutlookSim() {
  app_ = Adopt(new (std::nothrow) SimApplication(this));
  namespace_ = Adopt(new (std::nothrow) SimNameSpace(this));
}

OutlookSim::~OutlookSim() {
  // First let go of everything that may point at other objects (sinks,
  // stored values), while every object still exists; then free them all.
  // Teardown may adopt nothing new, but a sink's destructor may release sim
  // objects, so objects_ is walked by index.
  for (size_t i = 0; i < objects_.size(); ++i) objects_[i]->Teardown();
  for (size_t i = objects_.size(); i > 0; --i) delete objects_[i - 1];
}

IDispatch* OutlookSim::Application() { return app_; }

SimFolder* OutlookSim::Folder(LONG number) {
  for (SimFolder* f : folders_) {
    if (f->Number() == number) return f;
  }
  const char* name = DefaultFolderName(number);
  if (name == nullptr) return nullptr;
  SimFolder* folder = Adopt(new (std::nothrow) SimFolder(this, number, name));
  if (folder != nullptr) folders_.push_back(folder);
  return folder;
}

SimItem* OutlookSim::NewItem() { return Adopt(new (std::nothrow) SimItem(this)); }

SimItems* OutlookSim::NewItems(SimFolder* folder) {
  return Adopt(new (std::nothrow) SimItems(this, folder));
}

SimObject* OutlookSim::Find(IUnknown* object) const {
  if (object == nullptr) return nullptr;
  for (SimObject* o : objects_) {
    if (o->Unknown() == object ||
        static_cast<IUnknown*>(o->Dispatch()) == object) {
      return o;
    }
    SimItems* items = dynamic_cast<SimItems*>(o);
    if (items != nullptr &&
        static_cast<IUnknown*>(
            static_cast<IConnectionPointContainer*>(items)) == object) {
      return o;
    }
  }
  return nullptr;
}

bool OutlookSim::FailMember(IUnknown* object, const std::string& name,
                            HRESULT hr, FailAt at) {
  SimObject* found = Find(object);
  if (found == nullptr) return false;
  found->FailMember(name, hr, at);
  return true;
}

void OutlookSim::FailFolder(LONG number, HRESULT hr) {
  for (FolderFailureEntry& f : folderFailures_) {
    if (f.number == number) {
      f.hr = hr;
      return;
    }
  }
  folderFailures_.push_back(FolderFailureEntry{number, hr});
}

HRESULT OutlookSim::FolderFailure(LONG number) const {
  for (const FolderFailureEntry& f : folderFailures_) {
    if (f.number == number) return f.hr;
  }
  return S_OK;
}

std::vector<LONG> OutlookSim::FoldersAdvised(IUnknown* sink) const {
  std::vector<LONG> folders;
  for (const AdviseRecord& r : advises_) {
    if (r.sink == sink) folders.push_back(r.folder);
  }
  return folders;
}

int OutlookSim::TotalUnderflows() const {
  int total = 0;
  for (const SimObject* o : objects_) total += o->Underflows();
  return total;
}

}  // namespace outlook_sim
