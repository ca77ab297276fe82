#include "server/module.h"

#include "addin/addin.h"
#include "platform/kernel.h"
#include "server/class_factory.h"
#include "server/module_counts.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason,
                               LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_moduleHandle = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(rclsid, CLSID_MyAddin)) return CLASS_E_CLASSNOTAVAILABLE;
  return CAddinClassFactory::Create(riid, ppv);
}

STDAPI DllCanUnloadNow(void) {
  // Only allow unloading after every add-in object is gone and every lock
  // released.
  return (g_objectCount == 0 && g_lockCount == 0) ? S_OK : S_FALSE;
}
