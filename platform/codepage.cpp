// The ANSI code page (Windows-1252) and the locale's list separator.
#include <cstring>
#include <string>

#include "platform/emulation.h"
#include "platform/internal.h"
#include "platform/kernel.h"

namespace {

// Code points of the bytes 0x80..0x9F.  The five bytes 1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 controls of the same value.
const char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t ByteToWide(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return byte;
}

// The byte for a code point, or -1 when 1252 has none.
int WideToByte(char16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
  for (int i = 0; i < 32; ++i) {
    if (kHighControls[i] == c) return 0x80 + i;
  }
  return -1;
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

INT Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

struct LocaleState {
  std::string listSeparator = ",";
};

LocaleState& State() {
  static LocaleState state;
  return state;
}

}  // namespace

INT WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR wideText,
                        INT wideLength, LPSTR multiByte, INT multiByteSize,
                        LPCSTR defaultChar, BOOL* usedDefaultChar) {
  if (codePage != CP_ACP || wideText == nullptr || wideLength == 0 ||
      wideLength < -1 || multiByteSize < 0 ||
      (multiByteSize > 0 && multiByte == nullptr)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  size_t length;
  if (wideLength == -1) {
    length = 0;
    while (wideText[length] != 0) ++length;
    ++length;  // the terminator is converted and counted too
  } else {
    length = static_cast<size_t>(wideLength);
  }
  const char replacement = defaultChar != nullptr ? defaultChar[0] : '?';
  bool usedDefault = false;
  INT written = 0;
  for (size_t i = 0; i < length; ++i) {
    int byte = WideToByte(wideText[i]);
    if (byte < 0) {
      // A surrogate pair is one character and gets one replacement.
      if (IsHighSurrogate(wideText[i]) && i + 1 < length &&
          IsLowSurrogate(wideText[i + 1])) {
        ++i;
      }
      byte = static_cast<unsigned char>(replacement);
      usedDefault = true;
    }
    if (multiByteSize != 0) {
      if (written >= multiByteSize) return Fail(ERROR_INSUFFICIENT_BUFFER);
      multiByte[written] = static_cast<char>(byte);
    }
    ++written;
  }
  if (usedDefaultChar != nullptr) *usedDefaultChar = usedDefault ? TRUE : FALSE;
  return written;
}

INT MultiByteToWideChar(UINT codePage, DWORD, LPCSTR multiByte,
                        INT multiByteLength, LPWSTR wideText, INT wideSize) {
  if (codePage != CP_ACP || multiByte == nullptr || multiByteLength == 0 ||
      multiByteLength < -1 || wideSize < 0 ||
      (wideSize > 0 && wideText == nullptr)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const size_t length = multiByteLength == -1
                            ? std::strlen(multiByte) + 1
                            : static_cast<size_t>(multiByteLength);
  if (length > static_cast<size_t>(INT32_MAX)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if (wideSize == 0) return static_cast<INT>(length);
  if (length > static_cast<size_t>(wideSize)) {
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  for (size_t i = 0; i < length; ++i) {
    wideText[i] = ByteToWide(static_cast<unsigned char>(multiByte[i]));
  }
  return static_cast<INT>(length);
}

INT GetLocaleInfoA(LCID, DWORD type, LPSTR data, INT size) {
  if (type != LOCALE_SLIST || size < 0 || (size > 0 && data == nullptr)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  const std::string& separator = State().listSeparator;
  if (separator.empty()) return Fail(ERROR_INVALID_PARAMETER);
  const INT needed = static_cast<INT>(separator.size() + 1);
  if (size == 0) return needed;
  if (size < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(data, separator.c_str(), separator.size() + 1);
  return needed;
}

namespace emu {

void SetListSeparator(const std::string& separator) {
  State().listSeparator = separator;
}

namespace internal {

void ResetCodePage() { State() = LocaleState(); }

}  // namespace internal
}  // namespace emu
