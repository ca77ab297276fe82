// ShellStoreStandIn.dll: the companion stand-in as a real in-process COM
// server, for the end-to-end run of the add-in under Windows (Wine).
//
// One ShellStoreModel lives as long as the module, so the store persists
// across the companion objects the add-in makes and releases per event.  The
// class registers with ThreadingModel "Apartment": created from the host's
// single-threaded apartment, the object is handed out directly, never
// through a proxy, which matters because OpenStore and CloseStore are plain
// virtual calls, not COM methods that a proxy could carry.
#include <windows.h>

#include <new>

#include "companion/shell_store.h"
#include "host/shell_store_model.h"
#include "host/shell_store_stand_in.h"
#include "host/win/stand_in_counts.h"

namespace {

HMODULE g_module = nullptr;
LONG g_locks = 0;  // plain: COM calls us on the apartment's one thread

ShellStoreModel& Model() {
  static ShellStoreModel model;
  return model;
}

const char kClassKey[] = "CLSID\\{6D2E8B40-917C-4F3A-B5E6-0A9C3D7E1F54}";

class CStandInFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
      return E_NOINTERFACE;
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid,
                                           void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return CShellStoreStandIn::Create(&Model(), riid, ppv);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    g_locks += lock ? 1 : -1;
    return S_OK;
  }

 private:
  ULONG references_ = 0;
};

// Creates or opens root\path and sets one REG_SZ value (null name: the
// default value).
bool WriteText(const char* path, const char* name, const char* text) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path, 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LONG result = RegSetValueExA(key, name, 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(text),
                               static_cast<DWORD>(lstrlenA(text) + 1));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = module;
    DisableThreadLibraryCalls(module);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(rclsid, CLSID_ShellStore)) return CLASS_E_CLASSNOTAVAILABLE;
  CStandInFactory* factory = new (std::nothrow) CStandInFactory();
  if (factory == nullptr) return E_OUTOFMEMORY;
  HRESULT hr = factory->QueryInterface(riid, ppv);
  if (FAILED(hr)) delete factory;
  return hr;
}

STDAPI DllCanUnloadNow() {
  return Model().LiveObjects() == 0 && g_locks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(g_module, path, sizeof path);
  if (length == 0 || length >= sizeof path) return E_FAIL;
  char serverKey[128];
  wsprintfA(serverKey, "%s\\InprocServer32", kClassKey);
  bool ok = WriteText(kClassKey, nullptr, "Brindle companion stand-in") &&
            WriteText(serverKey, nullptr, path) &&
            WriteText(serverKey, "ThreadingModel", "Apartment");
  return ok ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer() {
  char serverKey[128];
  wsprintfA(serverKey, "%s\\InprocServer32", kClassKey);
  RegDeleteKeyA(HKEY_CLASSES_ROOT, serverKey);
  RegDeleteKeyA(HKEY_CLASSES_ROOT, kClassKey);
  return S_OK;
}

extern "C" void WINAPI StandInCounts(StandInCountsRecord* counts) {
  ShellStoreModel& model = Model();
  counts->creations = model.Creations();
  counts->releaseCalls = model.ReleaseCalls();
  counts->liveObjects = model.LiveObjects();
  counts->openCalls = model.OpenCalls();
  counts->closeCalls = model.CloseCalls();
  counts->mismatchedCloses = model.MismatchedCloses();
  counts->nodeValueCalls = model.NodeValueCalls();
  counts->unexpectedCalls = model.UnexpectedCalls();
  counts->open = model.IsOpen() ? 1 : 0;
}
