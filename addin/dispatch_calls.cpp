#include "addin/dispatch_calls.h"

namespace {

HRESULT LookUp(IDispatch* object, const OLECHAR* name, DISPID* dispid) {
  // GetIDsOfNames takes non-const names but doesn't write them.
  LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
  return object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT,
                               dispid);
}

}  // namespace

HRESULT GetProperty(IDispatch* object, const OLECHAR* name, VARIANT* result) {
  if (object == nullptr) return E_POINTER;
  DISPID dispid = 0;
  HRESULT hr = LookUp(object, name, &dispid);
  if (FAILED(hr)) return hr;
  DISPPARAMS params = {nullptr, nullptr, 0, 0};
  return object->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT,
                        DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params,
                        result, nullptr, nullptr);
}

HRESULT CallMethod(IDispatch* object, const OLECHAR* name, VARIANT* result,
                   UINT argCount, VARIANTARG* args) {
  if (object == nullptr) return E_POINTER;
  DISPID dispid = 0;
  HRESULT hr = LookUp(object, name, &dispid);
  if (FAILED(hr)) return hr;
  DISPPARAMS params = {args, nullptr, argCount, 0};
  hr = object->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                      &params, result, nullptr, nullptr);
  if (SUCCEEDED(hr)) return hr;
  // Some members answer only as a property get.
  return object->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT,
                        DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params,
                        result, nullptr, nullptr);
}
