// Late-bound calls into the host's objects by member name.
//
// Every call looks the name up afresh (one GetIDsOfNames with IID_NULL and
// LOCALE_USER_DEFAULT); no DISPID is cached.  Neither call initialises or
// clears result: the caller VariantInit's it before and VariantClear's it
// after.  No exception information, argument-error index or named
// arguments are asked for or passed.
#pragma once

#include "platform/com.h"

// Reads a property (or calls a method without arguments): Invoke with
// DISPATCH_METHOD | DISPATCH_PROPERTYGET.  E_POINTER for a null object
// (nothing called); otherwise the failing GetIDsOfNames' code or Invoke's.
HRESULT GetProperty(IDispatch* object, const OLECHAR* name, VARIANT* result);

// Calls a method with argCount positional arguments, the last one first as
// DISPPARAMS orders them (args may be null when argCount is 0; result may be
// null).  Tries DISPATCH_METHOD, and when that fails once more with
// DISPATCH_METHOD | DISPATCH_PROPERTYGET, answering the second code.
HRESULT CallMethod(IDispatch* object, const OLECHAR* name, VARIANT* result,
                   UINT argCount, VARIANTARG* args);
