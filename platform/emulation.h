// Controls of the Win32/COM emulation, for tests, stand-ins and the replay
// command.  Only the emulation (non-Windows builds) has them.
//
// Every control acts on one process-wide state; Reset() returns all of it to
// the start: empty registry, no classes, no recorded calls, the real clock.
#pragma once

#ifdef _WIN32
#error "platform/emulation.h is for the emulated platform only"
#endif

#include <cstdint>
#include <string>
#include <vector>

#include "platform/com.h"
#include "platform/kernel.h"
#include "platform/registry.h"
#include "platform/user.h"

namespace emu {

void Reset();

// Debugger output: every OutputDebugStringA text, in order.
const std::vector<std::string>& DebugOutput();
void ClearDebugOutput();

// Module: the path GetModuleFileNameA reports for any module (empty: the call
// fails with 0), and the modules DisableThreadLibraryCalls was called for.
void SetModulePath(const std::string& path);
const std::vector<HMODULE>& ThreadCallsDisabled();

// Message boxes: each call is recorded; answers come from the script in
// order, and IDOK once the script is used up.
struct MessageBoxCall {
  HWND owner;
  std::string text;
  std::string caption;
  UINT type;
};
const std::vector<MessageBoxCall>& MessageBoxes();
void ScriptMessageBoxAnswers(const std::vector<int>& answers);

// Posted messages, in order.  A message posted to no window (null) goes, as
// on Windows, to the calling thread's own queue: it is recorded with a null
// window.
struct PostedMessage {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
const std::vector<PostedMessage>& PostedMessages();

// Registry: an in-memory tree under HKEY_CLASSES_ROOT and HKEY_CURRENT_USER.
// Paths use "\" and compare case-insensitively, as Windows does.
struct RegistryValue {
  DWORD type;
  std::vector<uint8_t> data;
};
// The query function RegistryValue below hides the type's plain name; declare
// variables with this alias (or as `struct emu::RegistryValue`).
typedef struct RegistryValue RegistryValueData;
bool RegistryKeyExists(HKEY root, const std::string& path);
// Values of a key by name ("" for the default value); empty when absent.
std::vector<std::pair<std::string, RegistryValue>> RegistryValues(
    HKEY root, const std::string& path);
std::vector<std::string> RegistrySubKeys(HKEY root, const std::string& path);
bool RegistryValue(HKEY root, const std::string& path,
                   const std::string& name, RegistryValue* out);
// RegCreateKeyExA of this key (and of keys below it) answers
// ERROR_ACCESS_DENIED.
void DenyKeyCreation(HKEY root, const std::string& path);
// Handles opened and not yet closed.
int OpenRegistryHandles();

// Classes that CoCreateInstance can create.  The factory function gets the
// requested interface and the out pointer and answers like CreateInstance.
typedef HRESULT (*CreateFunction)(REFIID riid, void** ppv);
void RegisterClassObject(REFCLSID clsid, CreateFunction create);
void UnregisterClassObject(REFCLSID clsid);
int CreateInstanceCalls();

// Clock: a fixed UTC instant (100-ns ticks since 1601) or the real clock,
// and the offset of local time from UTC in minutes (default 0).
void SetSystemTime(const FILETIME& utc);
void UseRealClock();
void SetLocalTimeOffsetMinutes(int32_t minutes);

// The locale's list separator (LOCALE_SLIST); "," by default.  An empty
// text makes GetLocaleInfoA fail.
void SetListSeparator(const std::string& separator);

// BSTRs allocated and not yet freed.  Reset() leaves this count alone: a
// BSTR still belongs to its holder, and freeing it later stays valid.
int LiveBstrs();

}  // namespace emu
