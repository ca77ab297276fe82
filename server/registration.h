// Self-registration: the COM class with its ProgID under HKEY_CLASSES_ROOT,
// and the current user's Outlook add-in key.  The exports DllRegisterServer
// and DllUnregisterServer are declared in server/module.h.
#pragma once

#include "platform/registry.h"
#include "platform/types.h"

// Creates or opens root\keyPath, or root\keyPath\subkey when subkey is not
// null, and sets its default value to text (REG_SZ, with its terminating
// zero) when text is not null.  True when the key could be created or
// opened; a value that can't be set is not reported.
bool WriteKeyDefault(HKEY root, LPCSTR keyPath, LPCSTR subkey, LPCSTR text);

// Writes the key "Software\Microsoft\Office\<application>\Addins\<progId>"
// under HKEY_CURRENT_USER: LoadBehavior and CommandLineSafe 0 (REG_DWORD),
// and FriendlyName and Description (REG_SZ) when description is not null.
// E_ACCESSDENIED when the key can't be created or opened (nothing written),
// else S_OK.
HRESULT WriteAddinKey(LPCSTR application, LPCSTR progId, LPCSTR description,
                      DWORD loadBehavior);

// Deletes the key tree written by WriteAddinKey; answers DeleteKeyRecursive's
// code.
LONG DeleteAddinKey(LPCSTR application, LPCSTR progId);

// Deletes root\subkey with every key below it, depth first.  Answers 0, or
// the first Win32 error met (the tree may then be partly deleted).
LONG DeleteKeyRecursive(HKEY root, LPCSTR subkey);
