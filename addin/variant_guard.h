// VariantGuard: a VARIANT that is initialised on construction and cleared on
// every Clear and at the end of its scope, so that a string or an object
// reference the callee put into it can't be missed.
#pragma once

#include "platform/com.h"

class VariantGuard {
 public:
  VariantGuard() { VariantInit(&value_); }
  ~VariantGuard() { VariantClear(&value_); }
  VariantGuard(const VariantGuard&) = delete;
  VariantGuard& operator=(const VariantGuard&) = delete;

  VARIANT* Get() { return &value_; }
  const VARIANT& operator*() const { return value_; }
  const VARIANT* operator->() const { return &value_; }

  // Frees what the variant owns and leaves it VT_EMPTY.
  void Clear() { VariantClear(&value_); }

  // Takes over the object reference of a VT_DISPATCH value (null for any
  // other type, which is cleared) and leaves the variant VT_EMPTY.  The
  // caller owns the reference it gets.
  IDispatch* DetachDispatch() {
    IDispatch* object = nullptr;
    if (value_.vt == VT_DISPATCH) {
      object = value_.pdispVal;
      VariantInit(&value_);
    } else {
      VariantClear(&value_);
    }
    return object;
  }

 private:
  VARIANT value_;
};
