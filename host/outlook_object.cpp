#include "host/outlook_object.h"

#include "host/outlook_variant.h"

namespace outlook_sim {

namespace {

ArgRecord RecordArg(const VARIANT& v) {
  ArgRecord arg{v.vt, 0, 0.0, std::string()};
  switch (v.vt) {
    case VT_I2: arg.integer = v.iVal; break;
    case VT_I4: arg.integer = v.lVal; break;
    case VT_INT: arg.integer = v.intVal; break;
    case VT_I1: arg.integer = v.cVal; break;
    case VT_UI1: arg.integer = v.bVal; break;
    case VT_UI2: arg.integer = v.uiVal; break;
    case VT_UI4: arg.integer = v.ulVal; break;
    case VT_UINT: arg.integer = v.uintVal; break;
    case VT_I8: arg.integer = v.llVal; break;
    case VT_UI8: arg.integer = static_cast<int64_t>(v.ullVal); break;
    case VT_BOOL: arg.integer = v.boolVal; break;
    case VT_ERROR: arg.integer = v.scode; break;
    case VT_R4: arg.real = v.fltVal; break;
    case VT_R8: arg.real = v.dblVal; break;
    case VT_DATE: arg.real = v.date; break;
    case VT_BSTR: arg.text = BstrToUtf8(v.bstrVal); break;
    default: break;
  }
  return arg;
}

}  // namespace

SimObject::SimObject(OutlookSim* sim, const char* kind)
    : sim_(sim), kind_(kind) {}

SimObject::~SimObject() { Teardown(); }

void SimObject::Teardown() {
  for (Member& m : members_) {
    if (m.isValue) VariantClear(&m.value);
  }
  for (auto& entry : behaviours_) {
    if (entry.second.overridden) {
      VariantClear(&entry.second.override);
      entry.second.overridden = false;
    }
  }
}

std::string SimObject::Key(const std::string& name) {
  std::string key = name;
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

SimObject::Member* SimObject::FindMember(const std::string& name) {
  const std::string key = Key(name);
  for (Member& m : members_) {
    if (Key(m.name) == key) return &m;
  }
  return nullptr;
}

const SimObject::Member* SimObject::FindMember(const std::string& name) const {
  return const_cast<SimObject*>(this)->FindMember(name);
}

SimObject::Behaviour* SimObject::FindBehaviour(const std::string& name) {
  auto it = behaviours_.find(Key(name));
  return it == behaviours_.end() ? nullptr : &it->second;
}

SimObject::Behaviour& SimObject::BehaviourFor(const std::string& name) {
  return behaviours_[Key(name)];
}

void SimObject::FailQueryInterface(REFIID iid, HRESULT hr) {
  for (QueryFailure& f : queryFailures_) {
    if (IsEqualGUID(f.iid, iid)) {
      f.hr = hr;
      return;
    }
  }
  queryFailures_.push_back(QueryFailure{iid, hr});
}

void SimObject::DeclareMember(const std::string& name) {
  Member* m = FindMember(name);
  if (m != nullptr) {
    if (m->isValue) VariantClear(&m->value);
    m->present = true;
    m->isValue = false;
    return;
  }
  Member fresh;
  fresh.name = name;
  fresh.present = true;
  fresh.isValue = false;
  VariantInit(&fresh.value);
  members_.push_back(fresh);
}

void SimObject::SetProperty(const std::string& name, VARIANT value) {
  Member* m = FindMember(name);
  if (m == nullptr) {
    Member fresh;
    fresh.name = name;
    fresh.present = true;
    fresh.isValue = true;
    fresh.value = value;
    members_.push_back(fresh);
    return;
  }
  if (m->isValue) VariantClear(&m->value);
  m->present = true;
  m->isValue = true;
  m->value = value;
}

void SimObject::RemoveProperty(const std::string& name) {
  Member* m = FindMember(name);
  if (m == nullptr) return;
  if (m->isValue) VariantClear(&m->value);
  m->present = false;
  m->isValue = false;
}

bool SimObject::HasMember(const std::string& name) const {
  const Member* m = FindMember(name);
  return m != nullptr && m->present;
}

const VARIANT* SimObject::PropertyValue(const std::string& name) const {
  const Member* m = FindMember(name);
  return m != nullptr && m->present && m->isValue ? &m->value : nullptr;
}

void SimObject::FailMember(const std::string& name, HRESULT hr, FailAt at) {
  Behaviour& b = BehaviourFor(name);
  if (at == FailAt::kGetIDsOfNames) {
    b.failLookup = true;
    b.lookupHr = hr;
  } else {
    b.failInvoke = true;
    b.invokeHr = hr;
  }
}

void SimObject::ScriptInvokeResults(const std::string& name,
                                    const std::vector<HRESULT>& results) {
  Behaviour& b = BehaviourFor(name);
  b.script.insert(b.script.end(), results.begin(), results.end());
}

void SimObject::SetPropertyGetOnly(const std::string& name, bool on) {
  BehaviourFor(name).propertyGetOnly = on;
}

void SimObject::OverrideResult(const std::string& name, VARIANT value) {
  Behaviour& b = BehaviourFor(name);
  if (b.overridden) VariantClear(&b.override);
  b.override = value;
  b.overridden = true;
}

void SimObject::ClearFailures() {
  for (auto& entry : behaviours_) {
    if (entry.second.overridden) VariantClear(&entry.second.override);
  }
  behaviours_.clear();
  queryFailures_.clear();
}

int SimObject::GetIDsOfNamesCalls(const std::string& name) const {
  const std::string key = Key(name);
  int count = 0;
  for (const LookupRecord& r : lookups_) {
    if (!r.names.empty() && Key(r.names[0]) == key) ++count;
  }
  return count;
}

int SimObject::InvokeCalls(const std::string& name) const {
  const std::string key = Key(name);
  int count = 0;
  for (const InvokeRecord& r : invokes_) {
    if (Key(r.member) == key) ++count;
  }
  return count;
}

std::vector<InvokeRecord> SimObject::InvokesOf(const std::string& name) const {
  const std::string key = Key(name);
  std::vector<InvokeRecord> out;
  for (const InvokeRecord& r : invokes_) {
    if (Key(r.member) == key) out.push_back(r);
  }
  return out;
}

void SimObject::ClearRecords() {
  lookups_.clear();
  invokes_.clear();
  queried_.clear();
  typeInfoCalls_ = 0;
}

HRESULT SimObject::CallMember(const std::string&, WORD, DISPPARAMS*,
                              VARIANT*) {
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT SimObject::DoQueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  queried_.push_back(riid);
  for (const QueryFailure& f : queryFailures_) {
    if (IsEqualGUID(f.iid, riid)) return f.hr;
  }
  void* found = nullptr;
  if (IsEqualIID(riid, IID_IUnknown)) {
    found = Unknown();
  } else if (IsEqualIID(riid, IID_IDispatch)) {
    found = Dispatch();
  } else {
    found = FindInterface(riid);
  }
  if (found == nullptr) return E_NOINTERFACE;
  *ppv = found;
  DoAddRef();
  return S_OK;
}

ULONG SimObject::DoAddRef() {
  ++addRefCalls_;
  return static_cast<ULONG>(++refs_);
}

ULONG SimObject::DoRelease() {
  ++releaseCalls_;
  if (refs_ == 0) {
    ++underflows_;
    return 0;
  }
  if (--refs_ == 0) OnLastRelease();
  return static_cast<ULONG>(refs_);
}

HRESULT SimObject::DoGetTypeInfoCount(UINT* count) {
  ++typeInfoCalls_;
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT SimObject::DoGetTypeInfo(UINT, LCID, ITypeInfo** info) {
  ++typeInfoCalls_;
  if (info != nullptr) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT SimObject::DoGetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count,
                                   LCID lcid, DISPID* ids) {
  LookupRecord record{{}, IsEqualIID(riid, IID_NULL), lcid, S_OK};
  if (names == nullptr || ids == nullptr || count == 0) {
    record.result = E_INVALIDARG;
    lookups_.push_back(record);
    return record.result;
  }
  for (UINT i = 0; i < count; ++i) record.names.push_back(OleToUtf8(names[i]));

  HRESULT hr = S_OK;
  const Behaviour* b = FindBehaviour(record.names[0]);
  const Member* m = FindMember(record.names[0]);
  if (b != nullptr && b->failLookup) {
    hr = b->lookupHr;
    ids[0] = DISPID_UNKNOWN;
  } else if (m == nullptr || !m->present) {
    hr = DISP_E_UNKNOWNNAME;
    ids[0] = DISPID_UNKNOWN;
  } else {
    ids[0] = static_cast<DISPID>(m - members_.data()) + 1;
  }
  // The further names would be parameter names; no member here has named
  // parameters.
  for (UINT i = 1; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    if (SUCCEEDED(hr)) hr = DISP_E_UNKNOWNNAME;
  }
  record.result = hr;
  lookups_.push_back(record);
  return hr;
}

HRESULT SimObject::DoInvoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                            DISPPARAMS* params, VARIANT* result,
                            EXCEPINFO* excepInfo, UINT* argErr) {
  InvokeRecord record;
  record.dispid = id;
  record.flags = flags;
  record.argCount = params != nullptr ? params->cArgs : 0;
  record.namedArgCount = params != nullptr ? params->cNamedArgs : 0;
  if (params != nullptr && params->rgvarg != nullptr) {
    for (UINT i = 0; i < params->cArgs; ++i) {
      record.args.push_back(RecordArg(params->rgvarg[i]));
    }
  }
  record.nullIid = IsEqualIID(riid, IID_NULL);
  record.lcid = lcid;
  record.resultGiven = result != nullptr;
  record.excepInfoGiven = excepInfo != nullptr;
  record.argErrGiven = argErr != nullptr;
  record.result = S_OK;

  const bool known = id >= 1 && static_cast<size_t>(id) <= members_.size() &&
                     members_[id - 1].present;
  if (known) record.member = members_[id - 1].name;
  // Recorded before the member runs, so a member that calls back into the
  // sim (or fires events) leaves the records in call order.
  const size_t at = invokes_.size();
  invokes_.push_back(record);

  HRESULT hr = S_OK;
  if (!known) {
    hr = DISP_E_MEMBERNOTFOUND;
  } else if (!record.nullIid) {
    hr = kDispUnknownInterface;
  } else {
    const std::string name = record.member;
    Behaviour* b = FindBehaviour(name);
    HRESULT scripted = S_OK;
    if (b != nullptr && !b->script.empty()) {
      scripted = b->script.front();
      b->script.erase(b->script.begin());
    }
    if (FAILED(scripted)) {
      hr = scripted;
    } else if (b != nullptr && b->failInvoke) {
      hr = b->invokeHr;
    } else if ((flags & DISPATCH_PROPERTYPUT) != 0 ||
               (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0) {
      hr = DISP_E_MEMBERNOTFOUND;
    } else if (b != nullptr && b->propertyGetOnly &&
               (flags & DISPATCH_PROPERTYGET) == 0) {
      hr = DISP_E_MEMBERNOTFOUND;
    } else if (b != nullptr && b->overridden) {
      if (result != nullptr) CopyVariant(result, b->override);
    } else {
      // Look the member up again: CallMember may have grown members_.
      const Member* m = FindMember(name);
      if (m->isValue) {
        if (params != nullptr && params->cArgs != 0) {
          hr = DISP_E_BADPARAMCOUNT;
        } else if (result != nullptr) {
          CopyVariant(result, m->value);
        }
      } else {
        hr = CallMember(name, flags, params, result);
      }
    }
  }
  invokes_[at].result = hr;
  return hr;
}

}  // namespace outlook_sim
