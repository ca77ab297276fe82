#include "host/shell_store_stand_in.h"

#include <new>

#ifndef _WIN32
#include "platform/emulation.h"
#endif

HRESULT CShellStoreStandIn::Create(ShellStoreModel* model, REFIID riid,
                                   void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!model) return E_UNEXPECTED;
  if (FAILED(model->createFailure_)) return model->createFailure_;
  if (model->createNullObject_) return S_OK;

  CShellStoreStandIn* object = new (std::nothrow) CShellStoreStandIn(model);
  if (!object) return E_OUTOFMEMORY;
  // From a count of 0, QueryInterface takes the caller's reference; when it
  // fails the object is freed here.
  HRESULT hr = object->QueryInterface(riid, ppv);
  if (FAILED(hr)) {
    delete object;
    return hr;
  }
  ++model->creations_;
  return hr;
}

CShellStoreStandIn::CShellStoreStandIn(ShellStoreModel* model)
    : model_(model), references_(0) {
  ++model_->liveObjects_;
}

CShellStoreStandIn::~CShellStoreStandIn() { --model_->liveObjects_; }

HRESULT STDMETHODCALLTYPE CShellStoreStandIn::QueryInterface(REFIID riid,
                                                             void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  static const IID* const kInterfaces[] = {&IID_IUnknown, &IID_IShellFolder};
  for (const IID* iid : kInterfaces) {
    if (IsEqualIID(riid, *iid)) {
      *ppv = static_cast<IShellStoreFolder*>(this);
      AddRef();
      return S_OK;
    }
  }
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CShellStoreStandIn::AddRef() { return ++references_; }

ULONG STDMETHODCALLTYPE CShellStoreStandIn::Release() {
  ++model_->releaseCalls_;
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT CShellStoreStandIn::Unexpected() {
  ++model_->unexpectedCalls_;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CShellStoreStandIn::ParseDisplayName(void*, void*, void*,
                                                             void*, void*, void*) {
  return Unexpected();
}
HRESULT STDMETHODCALLTYPE CShellStoreStandIn::EnumObjects(void*, DWORD, void*) {
  return Unexpected();
}
HRESULT STDMETHODCALLTYPE CShellStoreStandIn::BindToObject(void*, void*, REFIID,
                                                         void** ppv) {
  if (ppv) *ppv = nullptr;
  return Unexpected();
}
HRESULT STDMETHODCALLTYPE CShellStoreStandIn::BindToStorage(void*, void*, REFIID,
                                                          void** ppv) {
  if (ppv) *ppv = nullptr;
  return Unexpected();
}
HRESULT STDMETHODCALLTYPE CShellStoreStandIn::CompareIDs(LPARAM, void*, void*) {
  return Unexpected();
}
HRESULT STDMETHODCALLTYPE CShellStoreStandIn::CreateViewObject(HWND, REFIID,
                                                             void** ppv) {
  if (ppv) *ppv = nullptr;
  return Unexpected();
}
HRESULT STDMETHODCALLTYPE CShellStoreStandIn::GetAttributesOf(UINT, void*, void*) {
  return Unexpected();
}
HRESULT STDMETHODCALLTYPE CShellStoreStandIn::GetUIObjectOf(HWND, UINT, void*,
                                                          REFIID, UINT*,
                                                          void** ppv) {
  if (ppv) *ppv = nullptr;
  return Unexpected();
}
HRESULT STDMETHODCALLTYPE CShellStoreStandIn::GetDisplayNameOf(void*, DWORD, void*) {
  return Unexpected();
}
HRESULT STDMETHODCALLTYPE CShellStoreStandIn::SetNameOf(HWND, void*, LPCOLESTR,
                                                      DWORD, void** out) {
  if (out) *out = nullptr;
  return Unexpected();
}
HRESULT STDMETHODCALLTYPE CShellStoreStandIn::CompanionMethod1() { return Unexpected(); }
HRESULT STDMETHODCALLTYPE CShellStoreStandIn::CompanionMethod2() { return Unexpected(); }
HRESULT STDMETHODCALLTYPE CShellStoreStandIn::CompanionMethod3() { return Unexpected(); }
HRESULT STDMETHODCALLTYPE CShellStoreStandIn::CompanionMethod4() { return Unexpected(); }
HRESULT STDMETHODCALLTYPE CShellStoreStandIn::CompanionMethod5() { return Unexpected(); }
HRESULT STDMETHODCALLTYPE CShellStoreStandIn::CompanionMethod6() { return Unexpected(); }
HRESULT STDMETHODCALLTYPE CShellStoreStandIn::CompanionMethod7() { return Unexpected(); }

StoreHandle* CShellStoreStandIn::OpenStore(SharedGlobals** globals) {
  return model_->Open(globals);
}

int32_t CShellStoreStandIn::CloseStore(StoreHandle* handle) {
  return model_->Close(handle);
}

#ifndef _WIN32
namespace {

// The emulation's class table holds plain functions; the model they serve
// is kept here.
ShellStoreModel* g_registeredModel = nullptr;

HRESULT CreateRegisteredStandIn(REFIID riid, void** ppv) {
  if (!g_registeredModel) {
    if (ppv) *ppv = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return CShellStoreStandIn::Create(g_registeredModel, riid, ppv);
}

}  // namespace

void RegisterShellStoreStandIn(ShellStoreModel* model) {
  g_registeredModel = model;
  emu::RegisterClassObject(CLSID_ShellStore, CreateRegisteredStandIn);
}

void UnregisterShellStoreStandIn() {
  emu::UnregisterClassObject(CLSID_ShellStore);
  g_registeredModel = nullptr;
}
#endif
