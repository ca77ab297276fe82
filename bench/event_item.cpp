#include "bench/event_item.h"

#include <cstring>

#include "host/outlook_variant.h"

namespace bench {
namespace {

std::u16string Wide(const std::string& text) {
  // The workload's texts are ASCII.
  return std::u16string(text.begin(), text.end());
}

bool SameName(const OLECHAR* name, const char* expected) {
  for (; *expected != '\0'; ++name, ++expected) {
    if (*name != static_cast<OLECHAR>(*expected)) return false;
  }
  return *name == 0;
}

}  // namespace

void EventItem::Show(const WorkloadItem& item) {
  entryId_ = Wide(item.entryId);
  subject_ = Wide(item.subject);
  categories_ = Wide(item.categories);
  flagStatus_ = item.flagStatus;
  flagIcon_ = item.flagIcon;
  taskStatus_ = item.taskStatus;
  hasStart_ = item.hasStart;
  itemClass_ = item.itemClass;
}

HRESULT EventItem::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDispatch)) {
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT EventItem::GetTypeInfoCount(UINT* pctinfo) {
  if (pctinfo) *pctinfo = 0;
  return E_NOTIMPL;
}

HRESULT EventItem::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

HRESULT EventItem::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames,
                                 LCID, DISPID* rgDispId) {
  ++lookups_;
  if (rgszNames == nullptr || rgDispId == nullptr || cNames != 1) {
    return E_INVALIDARG;
  }
  static const char* const kNames[] = {"EntryID",    "Subject",  "Categories",
                                       "FlagStatus", "FlagIcon", "Status",
                                       "Start",      "Class"};
  for (DISPID i = 0; i < 8; ++i) {
    if (!SameName(rgszNames[0], kNames[i])) continue;
    if (i + 1 == kStatus && taskStatus_ < 0) break;  // not a task
    if (i + 1 == kStart && !hasStart_) break;
    rgDispId[0] = i + 1;
    return S_OK;
  }
  rgDispId[0] = -1;
  return DISP_E_UNKNOWNNAME;
}

HRESULT EventItem::Invoke(DISPID dispIdMember, REFIID, LCID, WORD,
                          DISPPARAMS*, VARIANT* pVarResult, EXCEPINFO*,
                          UINT*) {
  ++reads_;
  if (pVarResult == nullptr) return E_POINTER;
  VARIANT& result = *pVarResult;
  std::memset(&result, 0, sizeof result);
  switch (dispIdMember) {
    case kEntryId:
    case kSubject:
    case kCategories: {
      const std::u16string& text = dispIdMember == kEntryId  ? entryId_
                                   : dispIdMember == kSubject ? subject_
                                                              : categories_;
      result.vt = VT_BSTR;
      result.bstrVal = SysAllocStringLen(text.data(),
                                         static_cast<UINT>(text.size()));
      return S_OK;
    }
    case kFlagStatus:
    case kFlagIcon:
    case kStatus:
    case kClass:
      result.vt = VT_I4;
      result.lVal = dispIdMember == kFlagStatus ? flagStatus_
                    : dispIdMember == kFlagIcon ? flagIcon_
                    : dispIdMember == kStatus   ? taskStatus_
                                                : itemClass_;
      return S_OK;
    case kStart:
      result.vt = VT_DATE;
      result.date = outlook_sim::DateFromParts(2031, 6, 15, 10, 30);
      return S_OK;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

EventParams::EventParams(IDispatch* item) {
  std::memset(&argument_, 0, sizeof argument_);
  argument_.vt = VT_DISPATCH;
  argument_.pdispVal = item;
  std::memset(&params_, 0, sizeof params_);
  params_.rgvarg = &argument_;
  params_.cArgs = 1;
}

}  // namespace bench
