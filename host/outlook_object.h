// SimObject: what every object of the simulated Outlook has in common --
// strict reference counting, a by-name IDispatch with recorded calls, and
// failure injection.
//
// Member names are matched case-insensitively (as Outlook's IDispatch does)
// and reported under the spelling they were declared with.  A member is
// either a value property (SetProperty: Invoke answers a copy of the stored
// VARIANT) or one that the concrete object computes (DeclareMember: the
// object's CallMember answers it).  An unknown or removed name fails in
// GetIDsOfNames with DISP_E_UNKNOWNNAME.
//
// Invoke, in this order: counts and records the call; a DISPID it doesn't
// know gives DISP_E_MEMBERNOTFOUND, a riid other than IID_NULL
// kDispUnknownInterface; a scripted result (ScriptInvokeResults)
// or a failure (FailMember ... FailAt::kInvoke) is answered; DISPATCH_
// PROPERTYPUT, and DISPATCH_METHOD alone on a property-get-only member, give
// DISP_E_MEMBERNOTFOUND; an overridden result is copied out; otherwise the
// member answers.  A result is written into pVarResult without clearing it
// first, as Outlook does: the caller hands in an empty or uninitialised
// VARIANT.  A null pVarResult discards the result.
//
// Reference counts start at 0: the sim owns every object and frees it at its
// own teardown whatever the count, so a test can hold or leak references as
// the add-in does.  A Release at count 0 leaves the count at 0 and is
// recorded as an underflow -- always a fault of the caller.
//
// Nothing here throws to a COM caller; the sim runs on one thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/com.h"

namespace outlook_sim {

class OutlookSim;

// Automation codes our platform header doesn't name.
const HRESULT kDispUnknownInterface = static_cast<HRESULT>(0x80020001);
const HRESULT kDispNoNamedArgs = static_cast<HRESULT>(0x80020007);

enum class FailAt { kGetIDsOfNames, kInvoke };

// One GetIDsOfNames call.
struct LookupRecord {
  std::vector<std::string> names;  // as passed, UTF-8
  bool nullIid;                    // riid was IID_NULL
  LCID lcid;
  HRESULT result;
};

// One argument of an Invoke, as received.
struct ArgRecord {
  VARTYPE vt;
  int64_t integer;   // VT_I2/I4/INT/I1/UI1/UI2/UI4/UINT/I8/UI8/BOOL/ERROR
  double real;       // VT_R4/R8/DATE
  std::string text;  // VT_BSTR, UTF-8
};

// One Invoke call.
struct InvokeRecord {
  std::string member;  // the declared name; "" for an unknown DISPID
  DISPID dispid;
  WORD flags;
  UINT argCount;
  UINT namedArgCount;
  std::vector<ArgRecord> args;  // in DISPPARAMS order (last argument first)
  bool nullIid;
  LCID lcid;
  bool resultGiven;     // pVarResult non-null
  bool excepInfoGiven;  // pExcepInfo non-null
  bool argErrGiven;     // puArgErr non-null
  HRESULT result;
};

class SimObject {
 public:
  SimObject(OutlookSim* sim, const char* kind);
  virtual ~SimObject();
  SimObject(const SimObject&) = delete;
  SimObject& operator=(const SimObject&) = delete;

  OutlookSim* Sim() const { return sim_; }
  // "Application", "NameSpace", "Folder", "Items", "ConnectionPoint", "Item".
  const std::string& Kind() const { return kind_; }
  // The object's IUnknown (its primary interface), with no reference added.
  virtual IUnknown* Unknown() = 0;
  // The object's IDispatch, with no reference added; null for an object
  // without one (the connection point).
  virtual IDispatch* Dispatch() = 0;

  // --- reference counting ---
  LONG RefCount() const { return refs_; }
  int AddRefCalls() const { return addRefCalls_; }
  int ReleaseCalls() const { return releaseCalls_; }
  // Releases that found the count at 0 (the count stays 0).
  int Underflows() const { return underflows_; }
  // Every interface id asked for through QueryInterface, in order.
  const std::vector<IID>& QueriedInterfaces() const { return queried_; }
  int QueryInterfaceCalls() const { return static_cast<int>(queried_.size()); }
  // QueryInterface for iid answers hr (and a null pointer) from now on.
  void FailQueryInterface(REFIID iid, HRESULT hr);

  // --- members ---
  // Adds or replaces a value property; takes ownership of value.
  void SetProperty(const std::string& name, VARIANT value);
  // Makes the name unknown again (GetIDsOfNames: DISP_E_UNKNOWNNAME).
  void RemoveProperty(const std::string& name);
  bool HasMember(const std::string& name) const;
  // The stored value of a value property; null when there is none.
  const VARIANT* PropertyValue(const std::string& name) const;

  // --- failure injection (by member name, known or not) ---
  // GetIDsOfNames for the name, or Invoke of it, answers hr until cleared.
  void FailMember(const std::string& name, HRESULT hr,
                  FailAt at = FailAt::kInvoke);
  // The next Invokes of the member answer these codes in order, one per call
  // (S_OK in the list means "behave normally" for that call); then normal.
  void ScriptInvokeResults(const std::string& name,
                           const std::vector<HRESULT>& results);
  // Invoke with DISPATCH_METHOD alone answers DISP_E_MEMBERNOTFOUND.
  void SetPropertyGetOnly(const std::string& name, bool on = true);
  // A successful Invoke answers a copy of value instead of the member's own
  // result; takes ownership of value.
  void OverrideResult(const std::string& name, VARIANT value);
  // Removes every failure, script, property-get-only mark and override.
  void ClearFailures();

  // --- recorded calls ---
  int GetIDsOfNamesCalls() const { return static_cast<int>(lookups_.size()); }
  int GetIDsOfNamesCalls(const std::string& name) const;  // first name
  int InvokeCalls() const { return static_cast<int>(invokes_.size()); }
  int InvokeCalls(const std::string& name) const;
  const std::vector<LookupRecord>& Lookups() const { return lookups_; }
  const std::vector<InvokeRecord>& Invokes() const { return invokes_; }
  // The Invokes of one member, in order.
  std::vector<InvokeRecord> InvokesOf(const std::string& name) const;
  // GetTypeInfoCount, GetTypeInfo: nobody should need them.
  int TypeInfoCalls() const { return typeInfoCalls_; }
  // Forgets the recorded calls (not the reference counts).
  void ClearRecords();

  // Frees every value and override held (run by the sim before any object
  // is deleted, so values that reference other sim objects can be released).
  virtual void Teardown();

 protected:
  // Computed members; DeclareMember makes the name known with the next
  // DISPID.
  void DeclareMember(const std::string& name);
  // Answers a computed member.  result may be null.  The default fails with
  // DISP_E_MEMBERNOTFOUND.
  virtual HRESULT CallMember(const std::string& name, WORD flags,
                             DISPPARAMS* params, VARIANT* result);
  // Another interface the object answers besides IUnknown and IDispatch;
  // null when it has none for iid.
  virtual void* FindInterface(REFIID iid) = 0;

  // The shared bodies of the COM methods.
  HRESULT DoQueryInterface(REFIID riid, void** ppv);
  ULONG DoAddRef();
  ULONG DoRelease();
  // Called when a Release brings a count that was above 0 back to 0.
  virtual void OnLastRelease() {}
  HRESULT DoGetTypeInfoCount(UINT* count);
  HRESULT DoGetTypeInfo(UINT index, LCID lcid, ITypeInfo** info);
  HRESULT DoGetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                          DISPID* ids);
  HRESULT DoInvoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                   UINT* argErr);

 private:
  struct Member {
    std::string name;
    bool present;
    bool isValue;
    VARIANT value;
  };
  struct Behaviour {
    bool failLookup = false;
    HRESULT lookupHr = S_OK;
    bool failInvoke = false;
    HRESULT invokeHr = S_OK;
    std::vector<HRESULT> script;  // consumed from the front
    bool propertyGetOnly = false;
    bool overridden = false;
    VARIANT override;
  };
  struct QueryFailure {
    IID iid;
    HRESULT hr;
  };

  Member* FindMember(const std::string& name);
  const Member* FindMember(const std::string& name) const;
  Behaviour* FindBehaviour(const std::string& name);
  Behaviour& BehaviourFor(const std::string& name);
  static std::string Key(const std::string& name);

  OutlookSim* sim_;
  std::string kind_;
  LONG refs_ = 0;
  int addRefCalls_ = 0;
  int releaseCalls_ = 0;
  int underflows_ = 0;
  int typeInfoCalls_ = 0;
  std::vector<IID> queried_;
  std::vector<QueryFailure> queryFailures_;
  std::vector<Member> members_;  // DISPID is index + 1; never shrinks
  std::map<std::string, Behaviour> behaviours_;  // by Key(name)
  std::vector<LookupRecord> lookups_;
  std::vector<InvokeRecord> invokes_;
};

// The IDispatch-only objects (Application, NameSpace, Folder, Item) share
// this COM face.
class SimDispatch : public IDispatch, public SimObject {
 public:
  SimDispatch(OutlookSim* sim, const char* kind) : SimObject(sim, kind) {}

  IUnknown* Unknown() override { return static_cast<IDispatch*>(this); }
  IDispatch* Dispatch() override { return this; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return DoQueryInterface(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return DoAddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return DoRelease(); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override {
    return DoGetTypeInfoCount(pctinfo);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid,
                                        ITypeInfo** ppTInfo) override {
    return DoGetTypeInfo(iTInfo, lcid, ppTInfo);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames,
                                          UINT cNames, LCID lcid,
                                          DISPID* rgDispId) override {
    return DoGetIDsOfNames(riid, rgszNames, cNames, lcid, rgDispId);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid,
                                   WORD wFlags, DISPPARAMS* pDispParams,
                                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                   UINT* puArgErr) override {
    return DoInvoke(dispIdMember, riid, lcid, wFlags, pDispParams, pVarResult,
                    pExcepInfo, puArgErr);
  }

 protected:
  void* FindInterface(REFIID) override { return nullptr; }
};

}  // namespace outlook_sim
