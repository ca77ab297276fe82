// The module's entry point and its exported functions.
//
// The four exports are extern "C" and exported by name with the ordinals of
// BrindleAddin.def: DllGetClassObject 2, DllCanUnloadNow 3,
// DllRegisterServer 4, DllUnregisterServer 5.
#pragma once

#include "platform/com.h"
#include "platform/types.h"

// Keeps the module handle and switches off thread notifications at process
// attach; every other reason does nothing.  Always TRUE.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason,
                               LPVOID reserved);

// A new CAddinClassFactory per call, handed out for riid.
// E_POINTER for a null ppv; CLASS_E_CLASSNOTAVAILABLE for any class but the
// add-in's; E_OUTOFMEMORY; or the factory's QueryInterface failure (the
// factory is then destroyed and *ppv is null).
STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
// S_OK when no add-in object is alive and no lock is held, else S_FALSE.
// Live factories don't count.
STDAPI DllCanUnloadNow(void);

// Writes the class, its ProgID and the current user's Outlook add-in key.
// E_FAIL (nothing written) when the module path can't be read whole;
// E_ACCESSDENIED when the add-in key can't be created; otherwise S_OK.
STDAPI DllRegisterServer(void);
// Deletes the three key trees; always S_OK.
STDAPI DllUnregisterServer(void);
