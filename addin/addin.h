// CMyAddin: the add-in object Outlook creates, connects through
// IDTExtensibility2 and delivers item events to.
//
// One table serves IUnknown, IDispatch, IDTExtensibility2 and the
// ItemsEvents sink: QueryInterface hands out the same pointer for all four.
// Layout-bound (the host calls through the table): table as
// IDTExtensibility2; fields after the table pointer, in order, the reference
// count and the application object (32-bit offsets 4 and 8, checked below).
//
// Lifetime: created by the class factory with count 0; the last Release
// lowers the module's object count and destroys the object.  Once
// subscribed, the host's connection points hold the object as their sink,
// and the namespace, folders, Items objects and connection points stay
// referenced for the life of the process: Outlook stops delivering a
// folder's events once its Items object is released.
#pragma once

#include <cstddef>

#include "addin/extensibility.h"
#include "platform/com.h"

// The add-in's class identifier, {3A7F9C21-5B0D-4E62-9D18-C4E7A2B65F03}.
extern const CLSID CLSID_MyAddin;

// Captions of the add-in's own message boxes (the events caption is the
// add-in caption followed by " Events").
extern const char kAddinCaption[];
extern const char kAddinEventsCaption[];

class CMyAddin final : public IDTExtensibility2 {
 public:
  // Count 0 and no application.  Only the class factory creates and, before
  // the first reference is handed out, deletes; everyone else Releases.
  CMyAddin();
  ~CMyAddin();
  CMyAddin(const CMyAddin&) = delete;
  CMyAddin& operator=(const CMyAddin&) = delete;

  // IDTExtensibility2, IUnknown and IDispatch; ItemsEvents after the user
  // confirms it in a box (OK gives the object, any other answer
  // E_NOINTERFACE).
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // The object has no type information: E_FAIL, nothing written.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid,
                                        ITypeInfo** ppTInfo) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames,
                                          UINT cNames, LCID lcid,
                                          DISPID* rgDispId) override;
  // The item event sink (addin/item_events.cpp): ItemAdd and ItemChange
  // file the item in the companion's store and answer S_OK whatever
  // happens; every other DISPID answers E_FAIL.
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid,
                                   LCID lcid, WORD wFlags,
                                   DISPPARAMS* pDispParams,
                                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                   UINT* puArgErr) override;

  // Keeps Application (E_POINTER when null); for any mode but
  // ext_cm_Startup subscribes at once.
  HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* Application,
                                         ext_ConnectMode ConnectMode,
                                         IDispatch* AddInInst,
                                         SAFEARRAY** custom) override;
  // Releases the application object only; subscriptions stay.
  HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode RemoveMode,
                                            SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) override;
  // Subscribes to the ItemsEvents of the default Inbox, Calendar, Tasks,
  // Contacts and Notes folders; every call subscribes again.  Failures are
  // shown in boxes; always S_OK.
  HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) override;
  HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) override;

  // Attaches this object to one default folder's ItemsEvents.  A failing
  // step shows its box and ends this folder's subscription only.
  void SubscribeFolder(IDispatch* nameSpace, INT folderNumber);

  LONG count;               // plain, not interlocked
  IDispatch* application;   // held from OnConnection to OnDisconnection
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(CMyAddin, count) == 4, "count follows the table");
static_assert(offsetof(CMyAddin, application) == 8, "application follows");
#endif
