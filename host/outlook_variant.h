// VARIANT and text helpers for the simulated Outlook and the tests that
// drive it.
//
// Every VariantFrom* answers a VARIANT that owns its value: a BSTR freshly
// allocated, or an interface with one reference added for the variant.  The
// caller (or whoever the variant is handed to, e.g. SimObject::SetProperty)
// frees it with VariantClear.
#pragma once

#include <cstdint>
#include <string>

#include "platform/com.h"

namespace outlook_sim {

typedef std::basic_string<OLECHAR> OleString;

// UTF-8 <-> UTF-16.  Ill-formed input bytes become U+FFFD; unpaired
// surrogates become U+FFFD on the way back.
OleString Utf8ToOle(const std::string& text);
std::string OleToUtf8(const OLECHAR* text, size_t length);
std::string OleToUtf8(const OLECHAR* text);  // zero-terminated; null is ""
// The whole BSTR, embedded zeros included; a null BSTR is "".
std::string BstrToUtf8(BSTR text);

VARIANT VariantEmpty();
// VT_BSTR; a null text gives a VT_BSTR holding a null BSTR (Outlook's way of
// answering an empty string property).
VARIANT VariantFromString(const OLECHAR* text);
VARIANT VariantFromUtf8(const std::string& text);
VARIANT VariantFromI4(LONG value);
VARIANT VariantFromInt(INT value);
VARIANT VariantFromBool(bool value);  // VT_BOOL, VARIANT_TRUE is -1
// VT_DATE from a calendar date and wall-clock time, no time zone.
VARIANT VariantFromDate(int year, int month, int day, int hour = 0,
                        int minute = 0, int second = 0);
// VT_DISPATCH; adds a reference to object (a null object is allowed and
// gives a VT_DISPATCH holding null).
VARIANT VariantFromDispatch(IDispatch* object);

// The OLE automation date: days since 1899-12-30, the time of day as the
// fraction.  Before that day the whole part is negative and the fraction
// still counts forward from midnight (-1.25 is 1899-12-29 06:00).
DATE DateFromParts(int year, int month, int day, int hour = 0, int minute = 0,
                   int second = 0);

// Deep copy into an uninitialised *to (its old content is not freed): a BSTR
// is copied with SysAllocStringLen, an interface gets a reference.  Other
// types are copied bit for bit.
void CopyVariant(VARIANT* to, const VARIANT& from);

// The 32-bit integer member and the type, for reading recorded results.
inline LONG VariantI4(const VARIANT& v) { return v.lVal; }

// Owns one VARIANT and clears it on destruction.  Not copyable.
class ScopedVariant {
 public:
  ScopedVariant() { VariantInit(&value_); }
  explicit ScopedVariant(VARIANT owned) : value_(owned) {}
  ~ScopedVariant() { VariantClear(&value_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;

  VARIANT* get() { return &value_; }
  const VARIANT& operator*() const { return value_; }
  const VARIANT* operator->() const { return &value_; }
  // Clears the current value, then answers its address for an out-parameter.
  VARIANT* Reset() {
    VariantClear(&value_);
    return &value_;
  }

 private:
  VARIANT value_;
};

}  // namespace outlook_sim
