// Reads back what self-registration left in the registry and checks it,
// key by key: every value (name, type, data with its length) and every
// subkey, so that a value or key too many is caught as well as one missing.
#pragma once

#include "host/win/check_log.h"

// The add-in's entries after DllRegisterServer, with moduleDosPath the path
// the add-in DLL must have written under InprocServer32; the companion
// stand-in's class with ThreadingModel "Apartment".
void CheckRegistered(CheckLog* log, const char* moduleDosPath);
// The keys that were added by hand below the add-in's three keys exist.
void CheckAddedByHand(CheckLog* log);
// DllUnregisterServer removed the add-in's three key trees and nothing else.
void CheckUnregistered(CheckLog* log);
