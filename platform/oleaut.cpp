// BSTR, VARIANT and the OLE date conversion.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_set>

#include "platform/com.h"
#include "platform/emulation.h"
#include "platform/internal.h"

namespace {

// Every BSTR handed out and not yet freed, so that a leak shows in a count
// and a double or foreign free stops the program at once instead of quietly
// corrupting the heap as it would on Windows.
std::unordered_set<const OLECHAR*>& LiveBstrSet() {
  static std::unordered_set<const OLECHAR*> live;
  return live;
}

const size_t kPrefixBytes = sizeof(uint32_t);

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  // The byte count must fit the 32-bit prefix.
  if (length > (UINT32_MAX - kPrefixBytes - sizeof(OLECHAR)) / sizeof(OLECHAR)) {
    return nullptr;
  }
  const size_t bytes = static_cast<size_t>(length) * sizeof(OLECHAR);
  char* block =
      static_cast<char*>(std::malloc(kPrefixBytes + bytes + sizeof(OLECHAR)));
  if (block == nullptr) return nullptr;
  const uint32_t prefix = static_cast<uint32_t>(bytes);
  std::memcpy(block, &prefix, kPrefixBytes);
  BSTR result = reinterpret_cast<BSTR>(block + kPrefixBytes);
  if (text != nullptr) {
    std::memcpy(result, text, bytes);
  } else {
    std::memset(result, 0, bytes);
  }
  result[length] = 0;
  LiveBstrSet().insert(result);
  return result;
}

BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  UINT length = 0;
  while (text[length] != 0) ++length;
  return SysAllocStringLen(text, length);
}

void SysFreeString(BSTR text) {
  if (text == nullptr) return;
  if (LiveBstrSet().erase(text) == 0) {
    std::fprintf(stderr, "SysFreeString: %p is not a live BSTR\n",
                 static_cast<void*>(text));
    std::abort();
  }
  std::free(reinterpret_cast<char*>(text) - kPrefixBytes);
}

UINT SysStringLen(BSTR text) {
  if (text == nullptr) return 0;
  uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<const char*>(text) - kPrefixBytes,
              kPrefixBytes);
  return prefix / sizeof(OLECHAR);
}

void VariantInit(VARIANTARG* v) { v->vt = VT_EMPTY; }

namespace {

// The base types a by-reference variant may carry.
bool IsKnownByRefType(unsigned base) {
  switch (base) {
    case VT_I2: case VT_I4: case VT_R4: case VT_R8: case VT_CY:
    case VT_DATE: case VT_BSTR: case VT_DISPATCH: case VT_ERROR:
    case VT_BOOL: case VT_VARIANT: case VT_UNKNOWN: case VT_I1:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8:
    case VT_INT: case VT_UINT:
      return true;
    default:
      return false;
  }
}

// The last year VariantTimeToDosDateTime converts.  The DOS encoding holds
// dates up to 2107, but the system's conversion stops at the end of 2099.
const unsigned kLastVariantDosYear = 2099;

}  // namespace

HRESULT VariantClear(VARIANTARG* v) {
  if (v == nullptr) return E_INVALIDARG;
  if (v->vt & VT_BYREF) {
    // A reference points at the caller's storage; nothing here is owned.
    // Its base type must still be one Windows knows, or the variant is left
    // as it was.
    if (!IsKnownByRefType(v->vt & ~VT_BYREF)) return DISP_E_BADVARTYPE;
    v->vt = VT_EMPTY;
    return S_OK;
  }
  switch (v->vt) {
    case VT_EMPTY: case VT_NULL: case VT_I2: case VT_I4: case VT_R4:
    case VT_R8: case VT_CY: case VT_DATE: case VT_ERROR: case VT_BOOL:
    case VT_I1: case VT_UI1: case VT_UI2: case VT_UI4: case VT_I8:
    case VT_UI8: case VT_INT: case VT_UINT:
      break;
    case VT_BSTR:
      SysFreeString(v->bstrVal);
      break;
    case VT_UNKNOWN:
    case VT_DISPATCH:
      if (v->punkVal != nullptr) v->punkVal->Release();
      break;
    default:
      return DISP_E_BADVARTYPE;
  }
  v->vt = VT_EMPTY;
  return S_OK;
}

INT VariantTimeToDosDateTime(DATE time, USHORT* dosDate, USHORT* dosTime) {
  // Far enough outside 1980..2099 to fail whatever the rounding does, and
  // keeps the day count safely inside an integer.
  if (!(time > -1.0e7 && time < 1.0e7)) return FALSE;
  // The whole part counts days from 1899-12-30; the fraction is the time of
  // that day, taken by its absolute value for dates before the epoch.
  const double wholeDays = std::trunc(time);
  const double fraction = std::fabs(time - wholeDays);
  int64_t days = static_cast<int64_t>(wholeDays);
  int64_t seconds = static_cast<int64_t>(std::floor(fraction * 86400.0 + 0.5));
  if (seconds >= 86400) {
    seconds -= 86400;
    ++days;
  }
  const int64_t kOleEpochToUnixDays = 25569;
  const emu::internal::CivilDate date =
      emu::internal::CivilFromDays(days - kOleEpochToUnixDays);
  const unsigned hour = static_cast<unsigned>(seconds / 3600);
  const unsigned minute = static_cast<unsigned>(seconds / 60 % 60);
  const unsigned second = static_cast<unsigned>(seconds % 60);
  if (date.year > kLastVariantDosYear) return FALSE;
  WORD packedDate;
  WORD packedTime;
  if (!emu::internal::PackDosDateTime(date, hour, minute, second, &packedDate,
                                      &packedTime)) {
    return FALSE;
  }
  *dosDate = packedDate;
  *dosTime = packedTime;
  return TRUE;
}

namespace emu {

int LiveBstrs() { return static_cast<int>(LiveBstrSet().size()); }

namespace internal {

// Live BSTRs are not forgotten: they still belong to their holders, and
// freeing one after a reset must not be taken for a foreign free.
void ResetOleAut() {}

}  // namespace internal
}  // namespace emu
