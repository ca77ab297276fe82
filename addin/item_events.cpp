// The item event sink: every ItemAdd and ItemChange of a subscribed folder
// files the item in the companion's store, rebuilds the query folders and
// tells the companion's windows to refresh, all inside the host's call.
//
// How an item's properties are read:
// - EntryID, Subject and Categories: a string (VT_BSTR) is converted to the
//   ANSI code page whole, whatever its length; a null string, a failed read
//   or a value of any other type gives the empty text.
// - FlagStatus, FlagIcon, Status and Class: only an integer type that fits
//   in 32 bits counts (VT_I1, VT_UI1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_INT,
//   VT_UINT), read from the member of its own type.  Anything else (VT_BOOL
//   included, which is a truth value, and the 64-bit types) is a failed
//   read: FlagStatus and Status -1, no flag icon (0), Class 0.
// - Start: a VT_DATE converted to DOS date and time; otherwise both 0.
// The one VARIANT is cleared after every read.

#include <new>

#include "addin/addin.h"
#include "addin/dispatch_calls.h"
#include "addin/variant_guard.h"
#include "categorize/categorize.h"
#include "categorize/item_snapshot.h"
#include "companion/shell_store.h"
#include "platform/com.h"
#include "platform/kernel.h"
#include "platform/user.h"
#include "query/refresh.h"
#include "store/str_buf.h"

namespace {

// Host strings of up to 255 ANSI bytes are converted here; longer ones get
// a buffer of their own size.
const int kTextBufferSize = 256;

const int32_t kFlagMarked = 2;  // olFlagMarked: only then is FlagIcon read

// A heap byte buffer that is freed at the end of its scope.
class HeapBytes {
 public:
  explicit HeapBytes(int size) : bytes_(new (std::nothrow) char[size]) {}
  ~HeapBytes() { delete[] bytes_; }
  HeapBytes(const HeapBytes&) = delete;
  HeapBytes& operator=(const HeapBytes&) = delete;
  char* Get() const { return bytes_; }

 private:
  char* bytes_;
};

void ConvertInto(BSTR wide, char* buffer, int size, CStrBuf& text) {
  if (WideCharToMultiByte(CP_ACP, 0, wide, -1, buffer, size, nullptr,
                          nullptr) > 0) {
    text.Assign(buffer);
  }
}

// text stays empty unless value is a non-null string that converts.
void AssignText(const VARIANT& value, CStrBuf& text) {
  if (value.vt != VT_BSTR || value.bstrVal == nullptr) return;
  int needed = WideCharToMultiByte(CP_ACP, 0, value.bstrVal, -1, nullptr, 0,
                                   nullptr, nullptr);
  if (needed <= 0) return;
  if (needed <= kTextBufferSize) {
    char buffer[kTextBufferSize];
    ConvertInto(value.bstrVal, buffer, kTextBufferSize, text);
    return;
  }
  HeapBytes buffer(needed);
  if (buffer.Get() == nullptr) return;
  ConvertInto(value.bstrVal, buffer.Get(), needed, text);
}

void ReadText(IDispatch* item, const OLECHAR* name, VariantGuard& value,
              CStrBuf& text) {
  GetProperty(item, name, value.Get());
  AssignText(*value, text);
  value.Clear();
}

// The value of an integer variant, read from the member of its type; false
// for any other type.
bool IntegerValue(const VARIANT& value, int32_t* result) {
  switch (value.vt) {
    case VT_I1:
      *result = static_cast<int8_t>(value.cVal);
      return true;
    case VT_UI1:
      *result = value.bVal;
      return true;
    case VT_I2:
      *result = value.iVal;
      return true;
    case VT_UI2:
      *result = value.uiVal;
      return true;
    case VT_I4:
      *result = value.lVal;
      return true;
    case VT_UI4:
      *result = static_cast<int32_t>(value.ulVal);
      return true;
    case VT_INT:
      *result = value.intVal;
      return true;
    case VT_UINT:
      *result = static_cast<int32_t>(value.uintVal);
      return true;
    default:
      return false;
  }
}

// False, and result untouched, when the read fails or gives no integer.
bool ReadInteger(IDispatch* item, const OLECHAR* name, VariantGuard& value,
                 int32_t* result) {
  bool read = SUCCEEDED(GetProperty(item, name, value.Get())) &&
              IntegerValue(*value, result);
  value.Clear();
  return read;
}

void ReadStart(IDispatch* item, VariantGuard& value, ItemSnapshot* snapshot) {
  if (SUCCEEDED(GetProperty(item, BRINDLE_OLESTR("Start"), value.Get())) &&
      value->vt == VT_DATE) {
    // The conversion's own result is not needed: a date it can't convert
    // leaves both values 0.
    USHORT dosDate = 0;
    USHORT dosTime = 0;
    VariantTimeToDosDateTime(value->date, &dosDate, &dosTime);
    snapshot->startDate = dosDate;
    snapshot->startTime = dosTime;
  }
  value.Clear();
}

void ReadItem(IDispatch* item, ItemSnapshot* snapshot) {
  VariantGuard value;
  ReadText(item, BRINDLE_OLESTR("EntryID"), value, snapshot->entryId);
  ReadText(item, BRINDLE_OLESTR("Subject"), value, snapshot->subject);
  ReadText(item, BRINDLE_OLESTR("Categories"), value, snapshot->categories);
  if (ReadInteger(item, BRINDLE_OLESTR("FlagStatus"), value,
                  &snapshot->flagStatus) &&
      snapshot->flagStatus == kFlagMarked) {
    ReadInteger(item, BRINDLE_OLESTR("FlagIcon"), value, &snapshot->flagIcon);
  }
  ReadInteger(item, BRINDLE_OLESTR("Status"), value, &snapshot->taskStatus);
  ReadStart(item, value, snapshot);
  ReadInteger(item, BRINDLE_OLESTR("Class"), value, &snapshot->itemClass);
}

// The item an event carries: the first argument, when it is an object.
// Lent by the host: no AddRef, no Release.
IDispatch* EventItem(const DISPPARAMS* params) {
  if (params == nullptr || params->cArgs < 1 || params->rgvarg == nullptr) {
    return nullptr;
  }
  const VARIANT& first = params->rgvarg[0];
  if (first.vt != VT_DISPATCH) return nullptr;
  return first.pdispVal;
}

void NotifyWindows(const SharedGlobals* globals) {
  if (globals == nullptr) return;
  for (const WindowSlot& slot : globals->windowTable) {
    if (slot.inUse != 0 && slot.window != nullptr) {
      PostMessageA(slot.window, WM_COMMAND, STORE_REFRESH_COMMAND, 0);
    }
  }
}

void HandleItemEvent(const DISPPARAMS* params) {
  // Destroyed in reverse order: categories, subject, entryId.
  CStrBuf entryId;
  CStrBuf subject;
  CStrBuf categories;
  ItemSnapshot snapshot = {nullptr, entryId, subject,  categories, -1,
                           0,       0,       -1,       0,          0};

  IDispatch* item = EventItem(params);
  if (item == nullptr) return;
  ReadItem(item, &snapshot);

  IShellStoreFolder* companion = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellStore, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IShellFolder,
                              reinterpret_cast<void**>(&companion))) ||
      companion == nullptr) {
    return;
  }
  SharedGlobals* globals = nullptr;
  StoreHandle* store = companion->OpenStore(&globals);
  if (store != nullptr) {
    snapshot.store = store;
    CategorizeItem(snapshot);
    RefreshQueryFolders(store);
    NotifyWindows(globals);
    companion->CloseStore(store);
  }
  companion->Release();
}

}  // namespace

HRESULT STDMETHODCALLTYPE CMyAddin::Invoke(DISPID dispIdMember, REFIID /*riid*/,
                                           LCID /*lcid*/, WORD /*wFlags*/,
                                           DISPPARAMS* pDispParams,
                                           VARIANT* /*pVarResult*/,
                                           EXCEPINFO* /*pExcepInfo*/,
                                           UINT* /*puArgErr*/) {
  if (dispIdMember != DISPID_ITEM_ADD && dispIdMember != DISPID_ITEM_CHANGE) {
    return E_FAIL;
  }
  // Nothing on this road is reported to the host.
  HandleItemEvent(pDispParams);
  return S_OK;
}
