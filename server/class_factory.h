// CAddinClassFactory: the class object for CMyAddin.
//
// Every DllGetClassObject call creates its own factory.  A factory doesn't
// keep the module loaded; only add-in objects and server locks do.
#pragma once

#include "platform/com.h"

class CAddinClassFactory final : public IClassFactory {
 public:
  // Creates a factory (count 0) and hands it out for riid; a factory that
  // doesn't offer riid is destroyed and *ppv stays null.  E_OUTOFMEMORY when
  // no memory was had.
  static HRESULT Create(REFIID riid, void** ppv);

  CAddinClassFactory(const CAddinClassFactory&) = delete;
  CAddinClassFactory& operator=(const CAddinClassFactory&) = delete;

  // IUnknown and IClassFactory only.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  // Destroys the factory at zero; the module counts are not touched.
  ULONG STDMETHODCALLTYPE Release() override;
  // A new CMyAddin for riid; the object count rises only on success.
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                           void** ppv) override;
  // Non-zero locks, zero unlocks; always S_OK.
  HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override;

 private:
  CAddinClassFactory() : count_(0) {}
  ~CAddinClassFactory() = default;

  LONG count_;
};
