// A lean simulated Outlook item for the event benchmark and the growth test:
// an IDispatch that answers the eight properties the add-in reads, by name,
// without recording calls (the full simulated Outlook keeps a record of
// every call, which would grow with every event and hide the add-in's own
// cost).  Strings come back as fresh BSTRs, as Outlook gives them.
#pragma once

#include <string>
#include <vector>

#include "bench/workload.h"
#include "platform/com.h"

namespace bench {

class EventItem final : public IDispatch {
 public:
  EventItem() = default;
  EventItem(const EventItem&) = delete;
  EventItem& operator=(const EventItem&) = delete;

  // Takes over what item shows: its texts, flag, task status, class and,
  // for an appointment, a Start in the far future.
  void Show(const WorkloadItem& item);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames,
                                          UINT cNames, LCID lcid,
                                          DISPID* rgDispId) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid,
                                   LCID lcid, WORD wFlags,
                                   DISPPARAMS* pDispParams,
                                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                   UINT* puArgErr) override;

  // Lookups and reads the add-in made (no other bookkeeping is kept).
  int Lookups() const { return lookups_; }
  int Reads() const { return reads_; }
  ULONG References() const { return references_; }

 private:
  enum Member : DISPID {
    kEntryId = 1, kSubject, kCategories, kFlagStatus, kFlagIcon, kStatus,
    kStart, kClass
  };
  std::u16string entryId_;
  std::u16string subject_;
  std::u16string categories_;
  int32_t flagStatus_ = 0;
  int32_t flagIcon_ = 0;
  int32_t taskStatus_ = -1;  // -1: no Status property
  bool hasStart_ = false;
  int32_t itemClass_ = 0;
  ULONG references_ = 1;
  int lookups_ = 0;
  int reads_ = 0;
};

// An ItemChange (or ItemAdd) the way the host delivers it: one VT_DISPATCH
// argument holding the item.
class EventParams {
 public:
  explicit EventParams(IDispatch* item);
  DISPPARAMS* Get() { return &params_; }

 private:
  VARIANT argument_;
  DISPPARAMS params_;
};

}  // namespace bench
