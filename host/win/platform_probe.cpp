// platform_probe: asks the platform the questions whose answers the add-in
// depends on at the edges (buffer limits, error codes, date ranges) and
// prints one "name = answer" line each.  Built twice, against our emulation
// and for Windows, and run under Wine; the two outputs must be the same, so
// any line that differs is a place where the emulation is not the system.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/com.h"
#include "platform/kernel.h"
#include "platform/registry.h"
#include "platform/types.h"
#include "platform/user.h"

#ifndef _WIN32
#include "platform/emulation.h"
#endif

namespace {

void Print(const char* name, long long value) {
  std::printf("%s = %lld\n", name, value);
}

void PrintHex(const char* name, unsigned long long value) {
  std::printf("%s = 0x%llX\n", name, value);
}

void PrintBytes(const char* name, const char* bytes, int count) {
  std::printf("%s =", name);
  for (int i = 0; i < count; ++i)
    std::printf(" %02X", static_cast<unsigned>(static_cast<unsigned char>(bytes[i])));
  std::printf("\n");
}

const char kProbeKey[] = "Software\\BrindlePlatformProbe";

void Registry() {
  HKEY key = nullptr;
  DWORD disposition = 0;
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\BrindlePlatformProbe\\Sub");
  RegDeleteKeyA(HKEY_CURRENT_USER, kProbeKey);

  Print("reg.open_missing", RegOpenKeyExA(HKEY_CURRENT_USER, kProbeKey, 0,
                                          KEY_ALL_ACCESS, &key));
  Print("reg.delete_missing", RegDeleteKeyA(HKEY_CURRENT_USER, kProbeKey));
  Print("reg.create_new", RegCreateKeyExA(HKEY_CURRENT_USER, kProbeKey, 0, nullptr,
                                          REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                          nullptr, &key, &disposition));
  Print("reg.create_new.disposition", disposition);
  HKEY sub = nullptr;
  Print("reg.create_sub", RegCreateKeyExA(key, "Sub", 0, nullptr,
                                          REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                          nullptr, &sub, &disposition));
  RegCloseKey(sub);
  HKEY again = nullptr;
  Print("reg.create_existing", RegCreateKeyExA(HKEY_CURRENT_USER, kProbeKey, 0, nullptr,
                                               REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                               nullptr, &again, &disposition));
  Print("reg.create_existing.disposition", disposition);
  RegCloseKey(again);
  const BYTE text[] = "abc";
  Print("reg.set_sz", RegSetValueExA(key, "Text", 0, REG_SZ, text, 4));
  Print("reg.set_sz_unterminated", RegSetValueExA(key, "Raw", 0, REG_SZ, text, 3));

  char name[256];
  DWORD size = sizeof name;
  Print("reg.enum0", RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr,
                                   nullptr));
  Print("reg.enum0.size", size);
  size = 2;
  std::memset(name, 'x', sizeof name);
  Print("reg.enum0_small", RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr,
                                         nullptr, nullptr));
  Print("reg.enum0_small.size", size);
  size = sizeof name;
  Print("reg.enum1", RegEnumKeyExA(key, 1, name, &size, nullptr, nullptr, nullptr,
                                   nullptr));
  Print("reg.delete_with_child", RegDeleteKeyA(HKEY_CURRENT_USER, kProbeKey));
  Print("reg.delete_child_relative", RegDeleteKeyA(key, "Sub"));
  Print("reg.delete_open_key", RegDeleteKeyA(HKEY_CURRENT_USER, kProbeKey));
  Print("reg.set_on_deleted", RegSetValueExA(key, "Late", 0, REG_SZ, text, 4));
  Print("reg.close", RegCloseKey(key));
}

void ModuleName() {
#ifndef _WIN32
  emu::SetModulePath("C:\\Probe\\probe.exe");
#endif
  char path[8];
  std::memset(path, 'x', sizeof path);
  SetLastError(0);
  DWORD length = GetModuleFileNameA(nullptr, path, 4);
  Print("module.short.result", length);
  Print("module.short.error", GetLastError());
  Print("module.short.terminated", path[3] == '\0');
}

void Conversion() {
  WCHAR wide[300];
  char narrow[260];
  for (int length : {255, 256}) {
    for (int i = 0; i < length; ++i) wide[i] = 'a';
    wide[length] = 0;
    std::memset(narrow, 'x', sizeof narrow);
    SetLastError(0);
    int result = WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, 256, nullptr, nullptr);
    std::string prefix = "wctomb." + std::to_string(length);
    Print((prefix + ".result").c_str(), result);
    Print((prefix + ".error").c_str(), GetLastError());
    PrintBytes((prefix + ".edges").c_str(), narrow + 254, 3);
    Print((prefix + ".first").c_str(), narrow[0]);
  }
  const WCHAR special[] = {0x20AC, 0x00E9, 0x4E2D, 0x0041, 0};
  std::memset(narrow, 0, sizeof narrow);
  int result = WideCharToMultiByte(CP_ACP, 0, special, -1, narrow, 256, nullptr, nullptr);
  Print("wctomb.special.result", result);
  PrintBytes("wctomb.special.bytes", narrow, 5);
  Print("wctomb.size_only", WideCharToMultiByte(CP_ACP, 0, special, -1, nullptr, 0,
                                                nullptr, nullptr));

  char separator[8] = {};
  Print("locale.slist.size", GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SLIST, nullptr, 0));
  SetLastError(0);
  Print("locale.slist.short", GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SLIST, separator, 1));
  Print("locale.slist.short.error", GetLastError());
}

DATE Date(int year, int month, int day, int hour, int minute, double second) {
  // Days from 1899-12-30 by the proleptic Gregorian calendar.
  auto days = [](int y, int m, int d) {
    y -= m <= 2;
    int era = (y >= 0 ? y : y - 399) / 400;
    int yoe = y - era * 400;
    int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
  };
  double whole = days(year, month, day) - days(1899, 12, 30);
  return whole + (hour * 3600 + minute * 60 + second) / 86400.0;
}

void Dates() {
  struct Case {
    const char* name;
    DATE date;
  } cases[] = {
      {"vt2dos.even", Date(2024, 1, 1, 10, 0, 2)},
      {"vt2dos.odd", Date(2024, 1, 1, 10, 0, 1)},
      {"vt2dos.odd_and_half", Date(2024, 1, 1, 10, 0, 1.6)},
      {"vt2dos.59_6", Date(2024, 1, 1, 23, 59, 59.6)},
      {"vt2dos.1980", Date(1980, 1, 1, 0, 0, 0)},
      {"vt2dos.1979", Date(1979, 12, 31, 23, 59, 58)},
      {"vt2dos.2099", Date(2099, 12, 31, 23, 59, 58)},
      {"vt2dos.2100", Date(2100, 1, 1, 0, 0, 0)},
      {"vt2dos.2107_start", Date(2107, 1, 1, 0, 0, 0)},
      {"vt2dos.2107", Date(2107, 12, 31, 23, 59, 58)},
      {"vt2dos.2108", Date(2108, 1, 1, 0, 0, 0)},
      {"vt2dos.negative", -1.25},
  };
  for (const Case& c : cases) {
    USHORT dosDate = 0xFFFF, dosTime = 0xFFFF;
    INT result = VariantTimeToDosDateTime(c.date, &dosDate, &dosTime);
    std::printf("%s = %d %04X %04X\n", c.name, result, dosDate, dosTime);
  }

  struct DosCase {
    const char* name;
    WORD date;
    WORD time;
  } dosCases[] = {
      {"dos2ft.valid", static_cast<WORD>((44 << 9) | (1 << 5) | 1), 0},
      {"dos2ft.month0", static_cast<WORD>((44 << 9) | (0 << 5) | 1), 0},
      {"dos2ft.month13", static_cast<WORD>((44 << 9) | (13 << 5) | 1), 0},
      {"dos2ft.day0", static_cast<WORD>((44 << 9) | (1 << 5) | 0), 0},
      {"dos2ft.feb30", static_cast<WORD>((44 << 9) | (2 << 5) | 30), 0},
      {"dos2ft.hour24", static_cast<WORD>((44 << 9) | (1 << 5) | 1), 24 << 11},
      {"dos2ft.minute60", static_cast<WORD>((44 << 9) | (1 << 5) | 1), 60 << 5},
      {"dos2ft.seconds30", static_cast<WORD>((44 << 9) | (1 << 5) | 1), 30},
  };
  for (const DosCase& c : dosCases) {
    FILETIME time = {0xFFFFFFFFu, 0xFFFFFFFFu};
    BOOL result = DosDateTimeToFileTime(c.date, c.time, &time);
    std::printf("%s = %d %08X%08X\n", c.name, static_cast<int>(result),
                static_cast<unsigned>(time.dwHighDateTime),
                static_cast<unsigned>(time.dwLowDateTime));
  }

  // 1979-12-31 and 2108-01-01 as file times (100-ns ticks since 1601).
  struct FtCase {
    const char* name;
    unsigned long long ticks;
  } ftCases[] = {
      {"ft2dos.1979", 119600063990000000ull},
      {"ft2dos.2108", 159984000000000000ull},
      {"ft2dos.odd_second", 133485120010000000ull},
  };
  for (const FtCase& c : ftCases) {
    FILETIME time = {static_cast<DWORD>(c.ticks), static_cast<DWORD>(c.ticks >> 32)};
    WORD dosDate = 0xFFFF, dosTime = 0xFFFF;
    BOOL result = FileTimeToDosDateTime(&time, &dosDate, &dosTime);
    std::printf("%s = %d %04X %04X\n", c.name, static_cast<int>(result), dosDate,
                dosTime);
  }
  FILETIME a = {5, 1}, b = {6, 1};
  Print("compare.less", CompareFileTime(&a, &b));
  Print("compare.more", CompareFileTime(&b, &a));
  Print("compare.same", CompareFileTime(&a, &a));
}

void Automation() {
  Print("bstr.len_null", SysStringLen(nullptr));
  BSTR blank = SysAllocStringLen(nullptr, 3);
  Print("bstr.alloc_len_null.len", SysStringLen(blank));
  SysFreeString(blank);
  VARIANT v;
  VariantInit(&v);
  PrintHex("variant.clear_empty", static_cast<unsigned>(VariantClear(&v)));
  v.vt = 0x7FFF;
  PrintHex("variant.clear_bad", static_cast<unsigned>(VariantClear(&v)));
  Print("variant.clear_bad.vt", v.vt);
  v.vt = VT_I4;
  v.lVal = 7;
  PrintHex("variant.clear_i4", static_cast<unsigned>(VariantClear(&v)));
  Print("variant.clear_i4.vt", v.vt);
}

void Messages() {
  SetLastError(0);
  BOOL posted = PostMessageA(nullptr, WM_COMMAND, 200, 0);
  Print("post.null_window", posted);
  Print("post.null_window.error", GetLastError());
#ifdef _WIN32
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
#endif
}

}  // namespace

int main() {
#ifdef _WIN32
  // The add-in runs in a host thread that has COM initialised.
  CoInitialize(nullptr);
#endif
  Registry();
  ModuleName();
  Conversion();
  Dates();
  Automation();
  Messages();
  const CLSID unknownClass = {0x01234567, 0x89AB, 0xCDEF,
                              {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
  IUnknown* object = nullptr;
  PrintHex("cocreate.unregistered",
           static_cast<unsigned>(CoCreateInstance(unknownClass, nullptr,
                                                  CLSCTX_INPROC_SERVER, IID_IUnknown,
                                                  reinterpret_cast<void**>(&object))));
  Print("cocreate.unregistered.null", object == nullptr);
#ifdef _WIN32
  CoUninitialize();
#endif
  return 0;
}
