// Interface identifiers and CoCreateInstance over a table of classes that
// tests and stand-ins register.
#include <cstring>
#include <vector>

#include "platform/com.h"
#include "platform/emulation.h"
#include "platform/internal.h"

bool IsEqualGUID(REFGUID a, REFGUID b) {
  return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

const IID IID_NULL = {0x00000000, 0x0000, 0x0000,
                      {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}};
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000,
                          {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000,
    {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000,
                           {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IConnectionPoint = {
    0xB196B286, 0xBAB4, 0x101A,
    {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
const IID IID_IConnectionPointContainer = {
    0xB196B284, 0xBAB4, 0x101A,
    {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

namespace {

struct ClassEntry {
  CLSID clsid;
  emu::CreateFunction create;
};

struct ComState {
  std::vector<ClassEntry> classes;
  int createInstanceCalls = 0;
};

ComState& State() {
  static ComState state;
  return state;
}

ClassEntry* FindClass(REFCLSID clsid) {
  for (ClassEntry& entry : State().classes) {
    if (IsEqualGUID(entry.clsid, clsid)) return &entry;
  }
  return nullptr;
}

}  // namespace

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter,
                         DWORD dwClsContext, REFIID riid, void** ppv) {
  ++State().createInstanceCalls;
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  // Only in-process servers exist here; a request that excludes them finds
  // no server, as it would for a class registered only in-process.
  ClassEntry* entry = FindClass(rclsid);
  if (entry == nullptr || (dwClsContext & CLSCTX_INPROC_SERVER) == 0) {
    return REGDB_E_CLASSNOTREG;
  }
  if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
  const HRESULT hr = entry->create(riid, ppv);
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}

namespace emu {

void RegisterClassObject(REFCLSID clsid, CreateFunction create) {
  if (ClassEntry* entry = FindClass(clsid)) {
    entry->create = create;
    return;
  }
  State().classes.push_back(ClassEntry{clsid, create});
}

void UnregisterClassObject(REFCLSID clsid) {
  std::vector<ClassEntry>& classes = State().classes;
  for (size_t i = 0; i < classes.size(); ++i) {
    if (IsEqualGUID(classes[i].clsid, clsid)) {
      classes.erase(classes.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
  }
}

int CreateInstanceCalls() { return State().createInstanceCalls; }

namespace internal {

void ResetCom() { State() = ComState(); }

}  // namespace internal
}  // namespace emu
