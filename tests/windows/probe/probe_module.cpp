// A module with the four entry points and a C++ allocation, linked well or
// badly by check_pe_tables_selftest.sh to show that the table check tells
// the two apart.
#include <windows.h>

#include <new>

extern "C" HRESULT __stdcall DllGetClassObject(const GUID&, const GUID&,
                                               void** ppv) {
  int* cell = new (std::nothrow) int(0);
  *ppv = cell;
  delete cell;
  return E_FAIL;
}
extern "C" HRESULT __stdcall DllCanUnloadNow() { return S_OK; }
extern "C" HRESULT __stdcall DllRegisterServer() { return S_OK; }
extern "C" HRESULT __stdcall DllUnregisterServer() { return S_OK; }
