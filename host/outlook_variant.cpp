#include "host/outlook_variant.h"

namespace outlook_sim {

namespace {

const char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string* out, char32_t c) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

void AppendUtf16(OleString* out, char32_t c) {
  if (c < 0x10000) {
    out->push_back(static_cast<OLECHAR>(c));
    return;
  }
  c -= 0x10000;
  out->push_back(static_cast<OLECHAR>(0xD800 + (c >> 10)));
  out->push_back(static_cast<OLECHAR>(0xDC00 + (c & 0x3FF)));
}

// Days from 1970-01-01 to a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace

OleString Utf8ToOle(const std::string& text) {
  OleString out;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    int extra;
    char32_t c;
    char32_t min;
    if (b < 0x80) {
      extra = 0, c = b, min = 0;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1, c = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, c = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, c = b & 0x07, min = 0x10000;
    } else {
      AppendUtf16(&out, kReplacement);
      ++i;
      continue;
    }
    size_t j = i + 1;
    bool ok = true;
    for (int k = 0; k < extra; ++k, ++j) {
      if (j >= n || (static_cast<unsigned char>(text[j]) & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (static_cast<unsigned char>(text[j]) & 0x3F);
    }
    if (!ok || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      AppendUtf16(&out, kReplacement);
      i = j;  // a broken sequence resumes at the byte that broke it
      continue;
    }
    AppendUtf16(&out, c);
    i = j;
  }
  return out;
}

std::string OleToUtf8(const OLECHAR* text, size_t length) {
  std::string out;
  if (text == nullptr) return out;
  for (size_t i = 0; i < length; ++i) {
    char32_t c = static_cast<uint16_t>(text[i]);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length) {
      const char32_t low = static_cast<uint16_t>(text[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(&out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    if (c >= 0xD800 && c <= 0xDFFF) c = kReplacement;
    AppendUtf8(&out, c);
  }
  return out;
}

std::string OleToUtf8(const OLECHAR* text) {
  if (text == nullptr) return std::string();
  size_t length = 0;
  while (text[length] != 0) ++length;
  return OleToUtf8(text, length);
}

std::string BstrToUtf8(BSTR text) {
  if (text == nullptr) return std::string();
  return OleToUtf8(text, SysStringLen(text));
}

VARIANT VariantEmpty() {
  VARIANT v;
  VariantInit(&v);
  return v;
}

VARIANT VariantFromString(const OLECHAR* text) {
  VARIANT v = VariantEmpty();
  v.vt = VT_BSTR;
  v.bstrVal = text == nullptr ? nullptr : SysAllocString(text);
  return v;
}

VARIANT VariantFromUtf8(const std::string& text) {
  const OleString wide = Utf8ToOle(text);
  VARIANT v = VariantEmpty();
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocStringLen(wide.c_str(), static_cast<UINT>(wide.size()));
  return v;
}

VARIANT VariantFromI4(LONG value) {
  VARIANT v = VariantEmpty();
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

VARIANT VariantFromInt(INT value) {
  VARIANT v = VariantEmpty();
  v.vt = VT_INT;
  v.intVal = value;
  return v;
}

VARIANT VariantFromBool(bool value) {
  VARIANT v = VariantEmpty();
  v.vt = VT_BOOL;
  v.boolVal = static_cast<VARIANT_BOOL>(value ? -1 : 0);
  return v;
}

DATE DateFromParts(int year, int month, int day, int hour, int minute,
                   int second) {
  const int64_t days =
      DaysFromCivil(year, month, day) - DaysFromCivil(1899, 12, 30);
  const double fraction = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  return days >= 0 ? static_cast<double>(days) + fraction
                   : static_cast<double>(days) - fraction;
}

VARIANT VariantFromDate(int year, int month, int day, int hour, int minute,
                        int second) {
  VARIANT v = VariantEmpty();
  v.vt = VT_DATE;
  v.date = DateFromParts(year, month, day, hour, minute, second);
  return v;
}

VARIANT VariantFromDispatch(IDispatch* object) {
  VARIANT v = VariantEmpty();
  v.vt = VT_DISPATCH;
  v.pdispVal = object;
  if (object != nullptr) object->AddRef();
  return v;
}

void CopyVariant(VARIANT* to, const VARIANT& from) {
  *to = from;
  switch (from.vt) {
    case VT_BSTR:
      to->bstrVal = from.bstrVal == nullptr
                        ? nullptr
                        : SysAllocStringLen(from.bstrVal,
                                            SysStringLen(from.bstrVal));
      break;
    case VT_DISPATCH:
    case VT_UNKNOWN:
      if (from.punkVal != nullptr) from.punkVal->AddRef();
      break;
    default:
      break;
  }
}

}  // namespace outlook_sim
