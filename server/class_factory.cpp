#include "server/class_factory.h"

#include <new>

#include "addin/addin.h"
#include "server/module_counts.h"

HRESULT CAddinClassFactory::Create(REFIID riid, void** ppv) {
  CAddinClassFactory* factory = new (std::nothrow) CAddinClassFactory();
  if (factory == nullptr) return E_OUTOFMEMORY;
  HRESULT hr = factory->QueryInterface(riid, ppv);
  if (FAILED(hr)) {
    *ppv = nullptr;
    delete factory;
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE CAddinClassFactory::QueryInterface(REFIID riid,
                                                             void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  static const IID* const kOffered[] = {&IID_IUnknown, &IID_IClassFactory};
  for (const IID* offered : kOffered) {
    if (IsEqualIID(riid, *offered)) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
  }
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CAddinClassFactory::AddRef() {
  return static_cast<ULONG>(++count_);
}

ULONG STDMETHODCALLTYPE CAddinClassFactory::Release() {
  LONG count = --count_;
  if (count != 0) return static_cast<ULONG>(count);
  delete this;
  return 0;
}

HRESULT STDMETHODCALLTYPE CAddinClassFactory::CreateInstance(
    IUnknown* pUnkOuter, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
  CMyAddin* addin = new (std::nothrow) CMyAddin();
  if (addin == nullptr) return E_OUTOFMEMORY;
  HRESULT hr = addin->QueryInterface(riid, ppv);
  if (FAILED(hr)) {
    // Never counted, so it is destroyed here rather than by Release, which
    // would lower the object count.
    delete addin;
    return hr;
  }
  ++g_objectCount;
  return hr;
}

HRESULT STDMETHODCALLTYPE CAddinClassFactory::LockServer(BOOL fLock) {
  if (fLock) {
    ++g_lockCount;
  } else {
    --g_lockCount;
  }
  return S_OK;
}
