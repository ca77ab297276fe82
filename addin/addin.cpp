#include "addin/addin.h"

#include "addin/dispatch_calls.h"
#include "addin/variant_guard.h"
#include "platform/user.h"
#include "server/module_counts.h"

const CLSID CLSID_MyAddin = {
    0x3A7F9C21, 0x5B0D, 0x4E62, {0x9D, 0x18, 0xC4, 0xE7, 0xA2, 0xB6, 0x5F, 0x03}};
const IID IID_IDTExtensibility2 = {
    0xB65AD801, 0xABAF, 0x11D0, {0xBB, 0x8B, 0x00, 0xA0, 0xC9, 0x0F, 0x27, 0x44}};
const IID IID_ItemsEvents = {
    0x00063077, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

const char kAddinCaption[] = "Brindle Addin";
const char kAddinEventsCaption[] = "Brindle Addin Events";

namespace {

// The default folders whose item events are followed, in the order they are
// subscribed: Inbox, Calendar, Tasks, Contacts, Notes.
const INT kSubscribedFolders[] = {6, 9, 13, 10, 12};

void ShowBox(LPCSTR text, LPCSTR caption) {
  MessageBoxA(nullptr, text, caption, MB_OK | MB_SETFOREGROUND);
}

}  // namespace

CMyAddin::CMyAddin() : count(0), application(nullptr) {}

CMyAddin::~CMyAddin() = default;

HRESULT STDMETHODCALLTYPE CMyAddin::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  struct Offered {
    const IID* iid;
    bool confirm;  // ask the user first
  };
  static const Offered kOffered[] = {
      {&IID_IDTExtensibility2, false},
      {&IID_IUnknown, false},
      {&IID_IDispatch, false},
      {&IID_ItemsEvents, true},
  };
  for (const Offered& offered : kOffered) {
    if (!IsEqualIID(riid, *offered.iid)) continue;
    if (offered.confirm &&
        MessageBoxA(nullptr, "IID_ItemsEvents", "CMyAddin::QueryInterface",
                    MB_OKCANCEL | MB_SETFOREGROUND) != IDOK) {
      return E_NOINTERFACE;
    }
    *ppv = static_cast<IDTExtensibility2*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CMyAddin::AddRef() {
  return static_cast<ULONG>(++count);
}

ULONG STDMETHODCALLTYPE CMyAddin::Release() {
  LONG remaining = --count;
  if (remaining != 0) return static_cast<ULONG>(remaining);
  --g_objectCount;
  delete this;
  return 0;
}

HRESULT STDMETHODCALLTYPE CMyAddin::GetTypeInfoCount(UINT* /*pctinfo*/) {
  return E_FAIL;
}

HRESULT STDMETHODCALLTYPE CMyAddin::GetTypeInfo(UINT /*iTInfo*/,
                                                LCID /*lcid*/,
                                                ITypeInfo** /*ppTInfo*/) {
  return E_FAIL;
}

HRESULT STDMETHODCALLTYPE CMyAddin::GetIDsOfNames(REFIID /*riid*/,
                                                  LPOLESTR* /*rgszNames*/,
                                                  UINT /*cNames*/,
                                                  LCID /*lcid*/,
                                                  DISPID* /*rgDispId*/) {
  return E_FAIL;
}

HRESULT STDMETHODCALLTYPE CMyAddin::OnConnection(IDispatch* Application,
                                                 ext_ConnectMode ConnectMode,
                                                 IDispatch* /*AddInInst*/,
                                                 SAFEARRAY** custom) {
  if (Application == nullptr) return E_POINTER;
  Application->AddRef();
  // A host that connects twice without disconnecting must not leak the
  // first application object.
  if (application != nullptr) application->Release();
  application = Application;
  // Connected after the host's start-up: no OnStartupComplete will come.
  if (ConnectMode != ext_cm_Startup) OnStartupComplete(custom);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMyAddin::OnDisconnection(
    ext_DisconnectMode /*RemoveMode*/, SAFEARRAY** /*custom*/) {
  // Only the application goes: the folder subscriptions stay in force, and
  // item events need nothing that is released here.
  if (application != nullptr) application->Release();
  application = nullptr;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMyAddin::OnAddInsUpdate(SAFEARRAY** /*custom*/) {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMyAddin::OnStartupComplete(SAFEARRAY** /*custom*/) {
  {
    // Only a readable Name tells that the application object answers; the
    // name itself is not used.
    VariantGuard name;
    if (FAILED(GetProperty(application, BRINDLE_OLESTR("Name"), name.Get()))) {
      return S_OK;
    }
  }

  VariantGuard mapi;
  mapi.Get()->vt = VT_BSTR;
  mapi.Get()->bstrVal = SysAllocString(BRINDLE_OLESTR("MAPI"));
  VariantGuard result;
  HRESULT hr = CallMethod(application, BRINDLE_OLESTR("GetNameSpace"),
                          result.Get(), 1, mapi.Get());
  mapi.Clear();
  if (FAILED(hr)) {
    ShowBox("GetNameSpace failed", kAddinCaption);
    return S_OK;
  }
  // The namespace's reference is kept for the life of the process.
  IDispatch* nameSpace = result.DetachDispatch();
  if (nameSpace == nullptr) return S_OK;
  for (INT folderNumber : kSubscribedFolders) {
    SubscribeFolder(nameSpace, folderNumber);
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CMyAddin::OnBeginShutdown(SAFEARRAY** /*custom*/) {
  return S_OK;
}

void CMyAddin::SubscribeFolder(IDispatch* nameSpace, INT folderNumber) {
  // The folder, its Items and the connection point are never released:
  // Outlook stops delivering a folder's events once its Items object goes.
  VariantGuard number;
  number.Get()->vt = VT_INT;
  number.Get()->intVal = folderNumber;
  VariantGuard result;
  if (FAILED(CallMethod(nameSpace, BRINDLE_OLESTR("GetDefaultFolder"),
                        result.Get(), 1, number.Get()))) {
    ShowBox("", "GetDefaultFolder failed");
    return;
  }
  // A success without an object is taken as the failure of that step.
  IDispatch* folder = result.DetachDispatch();
  if (folder == nullptr) {
    ShowBox("", "GetDefaultFolder failed");
    return;
  }

  if (FAILED(GetProperty(folder, BRINDLE_OLESTR("Items"), result.Get()))) {
    ShowBox("", "GetProperties(Items) failed");
    return;
  }
  IDispatch* items = result.DetachDispatch();
  if (items == nullptr) {
    ShowBox("", "GetProperties(Items) failed");
    return;
  }

  IConnectionPointContainer* container = nullptr;
  if (FAILED(items->QueryInterface(IID_IConnectionPointContainer,
                                   reinterpret_cast<void**>(&container))) ||
      container == nullptr) {
    ShowBox("QueryInterface for IID_IConnectionPointContainer FAILED",
            kAddinEventsCaption);
    return;
  }

  IConnectionPoint* point = nullptr;
  if (FAILED(container->FindConnectionPoint(IID_ItemsEvents, &point)) ||
      point == nullptr) {
    ShowBox("FindConnectionPoint for IID_ItemsEvents FAILED",
            kAddinEventsCaption);
    container->Release();
    return;
  }

  // The cookie is not kept: the subscription is never withdrawn.
  DWORD cookie = 0;
  if (FAILED(point->Advise(static_cast<IDTExtensibility2*>(this), &cookie))) {
    ShowBox("Advise FAILED", kAddinEventsCaption);
  }
  container->Release();
}
