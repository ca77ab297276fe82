// The companion stand-in: the least ShellStore that serves the add-in.  An
// object with the companion's table over a ShellStoreModel, answering
// IUnknown and IShellFolder; its other companion operations answer
// E_NOTIMPL and count as unexpected calls.  Reference counts start at 0 and
// are plain; the object is freed by its last Release.
#pragma once

#include "companion/shell_store.h"
#include "host/shell_store_model.h"
#include "platform/com.h"

class CShellStoreStandIn final : public IShellStoreFolder {
 public:
  // Makes an object over model and asks it for riid, as a class factory's
  // CreateInstance would: *ppv cleared first; the model's creation controls
  // apply (a configured failure, or S_OK with no object); E_OUTOFMEMORY
  // without memory; a failed QueryInterface frees the object again.
  static HRESULT Create(ShellStoreModel* model, REFIID riid, void** ppv);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE ParseDisplayName(void*, void*, void*, void*,
                                             void*, void*) override;
  HRESULT STDMETHODCALLTYPE EnumObjects(void*, DWORD, void*) override;
  HRESULT STDMETHODCALLTYPE BindToObject(void*, void*, REFIID,
                                         void**) override;
  HRESULT STDMETHODCALLTYPE BindToStorage(void*, void*, REFIID,
                                          void**) override;
  HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM, void*, void*) override;
  HRESULT STDMETHODCALLTYPE CreateViewObject(HWND, REFIID, void**) override;
  HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT, void*, void*) override;
  HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND, UINT, void*, REFIID, UINT*,
                                          void**) override;
  HRESULT STDMETHODCALLTYPE GetDisplayNameOf(void*, DWORD, void*) override;
  HRESULT STDMETHODCALLTYPE SetNameOf(HWND, void*, LPCOLESTR, DWORD,
                                      void**) override;
  HRESULT STDMETHODCALLTYPE CompanionMethod1() override;
  HRESULT STDMETHODCALLTYPE CompanionMethod2() override;
  HRESULT STDMETHODCALLTYPE CompanionMethod3() override;
  HRESULT STDMETHODCALLTYPE CompanionMethod4() override;
  HRESULT STDMETHODCALLTYPE CompanionMethod5() override;
  HRESULT STDMETHODCALLTYPE CompanionMethod6() override;
  HRESULT STDMETHODCALLTYPE CompanionMethod7() override;

  StoreHandle* OpenStore(SharedGlobals** globals) override;
  int32_t CloseStore(StoreHandle* handle) override;

 private:
  explicit CShellStoreStandIn(ShellStoreModel* model);
  ~CShellStoreStandIn();
  CShellStoreStandIn(const CShellStoreStandIn&) = delete;
  CShellStoreStandIn& operator=(const CShellStoreStandIn&) = delete;

  HRESULT Unexpected();

  ShellStoreModel* model_;
  ULONG references_;
};

#ifndef _WIN32
// Makes CoCreateInstance(CLSID_ShellStore, ...) create stand-ins over model
// (which must outlive them); Unregister takes the class away again.
void RegisterShellStoreStandIn(ShellStoreModel* model);
void UnregisterShellStoreStandIn();
#endif
