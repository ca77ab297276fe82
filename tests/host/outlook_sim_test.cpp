#include "host/outlook_sim.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/emulation.h"

namespace outlook_sim {
namespace {

// Calls by name the way a late-bound client does.
HRESULT Lookup(IDispatch* object, const char* name, DISPID* id) {
  OleString wide = Utf8ToOle(name);
  LPOLESTR names[] = {&wide[0]};
  return object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
}

HRESULT CallByName(IDispatch* object, const char* name, WORD flags,
                   VARIANT* args, UINT argCount, VARIANT* result) {
  DISPID id = 0;
  HRESULT hr = Lookup(object, name, &id);
  if (FAILED(hr)) return hr;
  DISPPARAMS params = {args, nullptr, argCount, 0};
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                        result, nullptr, nullptr);
}

HRESULT Get(IDispatch* object, const char* name, VARIANT* result) {
  return CallByName(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                    nullptr, 0, result);
}

// A strict, counting ItemsEvents sink.  It is owned by the test (its count
// starts at 1 for the test's own reference) and records every event.
class FakeSink : public IDispatch {
 public:
  struct Event {
    DISPID id;
    WORD flags;
    UINT argCount;
    VARTYPE argType;
    IDispatch* arg;
    LONG argRefsDuringCall;  // the item's count while the sink runs
    bool nullIid;
  };

  explicit FakeSink(OutlookSim* sim) : sim_(sim) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    queried.push_back(riid);
    const bool events = IsEqualIID(riid, kItemsEventsIid);
    if (events && refuseEvents) return E_NOINTERFACE;
    if (events || IsEqualIID(riid, IID_IUnknown) ||
        IsEqualIID(riid, IID_IDispatch)) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    ++addRefs;
    return static_cast<ULONG>(++refs);
  }
  ULONG STDMETHODCALLTYPE Release() override {
    ++releases;
    if (refs == 0) {
      ++underflows;
      return 0;
    }
    return static_cast<ULONG>(--refs);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override {
    ++unexpected;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override {
    ++unexpected;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID,
                                          DISPID*) override {
    ++unexpected;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags,
                                   DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    Event e{id, flags, 0, VT_EMPTY, nullptr, -1, IsEqualIID(riid, IID_NULL)};
    if (params != nullptr) {
      e.argCount = params->cArgs;
      if (params->cArgs > 0 && params->rgvarg != nullptr) {
        e.argType = params->rgvarg[0].vt;
        if (e.argType == VT_DISPATCH) {
          e.arg = params->rgvarg[0].pdispVal;
          SimObject* item = sim_->Find(e.arg);
          if (item != nullptr) e.argRefsDuringCall = item->RefCount();
        }
      }
    }
    events.push_back(e);
    return answer;
  }

  OutlookSim* sim_;
  LONG refs = 1;
  int addRefs = 0;
  int releases = 0;
  int underflows = 0;
  int unexpected = 0;
  bool refuseEvents = false;
  HRESULT answer = S_OK;
  std::vector<IID> queried;
  std::vector<Event> events;
};

// Walks Application -> NameSpace -> folder -> Items -> connection point as
// the add-in does, keeping every reference it takes (as the add-in does).
class OutlookSimTest : public testing::Test {
 protected:
  IDispatch* NameSpaceObject() {
    VARIANT arg = VariantFromString(BRINDLE_OLESTR("MAPI"));
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(S_OK, CallByName(sim_.Application(), "GetNameSpace",
                               DISPATCH_METHOD, &arg, 1, &result));
    VariantClear(&arg);
    EXPECT_EQ(VT_DISPATCH, result.vt);
    return result.pdispVal;
  }

  IDispatch* DefaultFolder(LONG number) {
    VARIANT arg = VariantFromInt(number);
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(S_OK, CallByName(NameSpaceObject(), "GetDefaultFolder",
                               DISPATCH_METHOD, &arg, 1, &result));
    EXPECT_EQ(VT_DISPATCH, result.vt);
    return result.pdispVal;
  }

  IDispatch* ItemsOf(LONG number) {
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(S_OK, Get(DefaultFolder(number), "Items", &result));
    EXPECT_EQ(VT_DISPATCH, result.vt);
    return result.pdispVal;
  }

  IConnectionPoint* PointOf(IDispatch* items) {
    IConnectionPointContainer* container = nullptr;
    EXPECT_EQ(S_OK, items->QueryInterface(IID_IConnectionPointContainer,
                                          reinterpret_cast<void**>(&container)));
    if (container == nullptr) return nullptr;
    IConnectionPoint* point = nullptr;
    EXPECT_EQ(S_OK, container->FindConnectionPoint(kItemsEventsIid, &point));
    container->Release();
    return point;
  }

  DWORD Subscribe(LONG number, IUnknown* sink) {
    IConnectionPoint* point = PointOf(ItemsOf(number));
    if (point == nullptr) return 0;
    DWORD cookie = 0;
    EXPECT_EQ(S_OK, point->Advise(sink, &cookie));
    return cookie;
  }

  void TearDown() override { EXPECT_EQ(0, sim_.TotalUnderflows()); }

  // The sinks outlive the sim, whose teardown releases the ones it holds.
  FakeSink sink_{&sim_};
  FakeSink other_{&sim_};
  OutlookSim sim_;
};

TEST_F(OutlookSimTest, NavigatesFromApplicationToEveryDefaultFolder) {
  ScopedVariant name;
  ASSERT_EQ(S_OK, Get(sim_.Application(), "Name", name.get()));
  ASSERT_EQ(VT_BSTR, name->vt);
  EXPECT_EQ("Outlook", BstrToUtf8(name->bstrVal));

  IDispatch* ns = NameSpaceObject();
  EXPECT_EQ(static_cast<IDispatch*>(sim_.NameSpace()), ns);
  EXPECT_EQ(1, sim_.NameSpace()->RefCount());

  struct Case {
    LONG number;
    const char* name;
  } cases[] = {{6, "Inbox"},     {9, "Calendar"}, {13, "Tasks"},
               {10, "Contacts"}, {12, "Notes"},   {5, "Sent Items"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IDispatch* folder = DefaultFolder(c.number);
    EXPECT_EQ(static_cast<IDispatch*>(sim_.Folder(c.number)), folder);
    EXPECT_EQ(1, sim_.Folder(c.number)->RefCount());
    ScopedVariant folderName;
    ASSERT_EQ(S_OK, Get(folder, "Name", folderName.get()));
    EXPECT_EQ(c.name, BstrToUtf8(folderName->bstrVal));
  }
}

TEST_F(OutlookSimTest, MethodArgumentsAreCheckedLikeOutlook) {
  struct Case {
    const char* name;
    const char* member;
    IDispatch* object;
    VARIANT arg;
    UINT argCount;
    HRESULT expected;
  } cases[] = {
      {"namespace by name", "GetNameSpace", sim_.Application(),
       VariantFromString(BRINDLE_OLESTR("MAPI")), 1, S_OK},
      {"namespace any case", "GetNameSpace", sim_.Application(),
       VariantFromString(BRINDLE_OLESTR("mapi")), 1, S_OK},
      {"other namespace", "GetNameSpace", sim_.Application(),
       VariantFromString(BRINDLE_OLESTR("PST")), 1, E_INVALIDARG},
      {"namespace from a number", "GetNameSpace", sim_.Application(),
       VariantFromInt(1), 1, DISP_E_TYPEMISMATCH},
      {"namespace without argument", "GetNameSpace", sim_.Application(),
       VariantEmpty(), 0, DISP_E_BADPARAMCOUNT},
      {"folder by VT_INT", "GetDefaultFolder", sim_.NameSpace(),
       VariantFromInt(9), 1, S_OK},
      {"folder by VT_I4", "GetDefaultFolder", sim_.NameSpace(),
       VariantFromI4(6), 1, S_OK},
      {"folder by string", "GetDefaultFolder", sim_.NameSpace(),
       VariantFromString(BRINDLE_OLESTR("6")), 1, DISP_E_TYPEMISMATCH},
      {"no such folder", "GetDefaultFolder", sim_.NameSpace(),
       VariantFromInt(7), 1, E_INVALIDARG},
      {"folder zero", "GetDefaultFolder", sim_.NameSpace(), VariantFromInt(0),
       1, E_INVALIDARG},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedVariant arg(c.arg);
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(c.expected, CallByName(c.object, c.member, DISPATCH_METHOD,
                                     arg.get(), c.argCount, &result));
    if (SUCCEEDED(c.expected)) {
      EXPECT_EQ(VT_DISPATCH, result.vt);
      VariantClear(&result);
    } else {
      EXPECT_EQ(VT_EMPTY, result.vt);
    }
  }
  // Named arguments are refused.
  ScopedVariant arg(VariantFromInt(6));
  DISPID named = 0;
  DISPID id = 0;
  ASSERT_EQ(S_OK, Lookup(sim_.NameSpace(), "GetDefaultFolder", &id));
  DISPPARAMS params = {arg.get(), &named, 1, 1};
  EXPECT_EQ(kDispNoNamedArgs,
            sim_.NameSpace()->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT,
                                     DISPATCH_METHOD, &params, nullptr, nullptr,
                                     nullptr));
}

TEST_F(OutlookSimTest, RecordsTheCallsMadeOnEachObject) {
  DefaultFolder(9);
  SimNameSpace* ns = sim_.NameSpace();
  ASSERT_EQ(1, ns->GetIDsOfNamesCalls("GetDefaultFolder"));
  EXPECT_EQ(1, ns->GetIDsOfNamesCalls("getdefaultfolder"));
  const LookupRecord& lookup = ns->Lookups()[0];
  EXPECT_TRUE(lookup.nullIid);
  EXPECT_EQ(LOCALE_USER_DEFAULT, lookup.lcid);
  EXPECT_EQ(std::vector<std::string>{"GetDefaultFolder"}, lookup.names);

  const std::vector<InvokeRecord> calls = ns->InvokesOf("GetDefaultFolder");
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ(DISPATCH_METHOD, calls[0].flags);
  EXPECT_EQ(1u, calls[0].argCount);
  EXPECT_EQ(0u, calls[0].namedArgCount);
  ASSERT_EQ(1u, calls[0].args.size());
  EXPECT_EQ(VT_INT, calls[0].args[0].vt);
  EXPECT_EQ(9, calls[0].args[0].integer);
  EXPECT_TRUE(calls[0].resultGiven);
  EXPECT_FALSE(calls[0].excepInfoGiven);
  EXPECT_FALSE(calls[0].argErrGiven);
  EXPECT_EQ(S_OK, calls[0].result);

  const std::vector<InvokeRecord> app =
      sim_.App()->InvokesOf("GetNameSpace");
  ASSERT_EQ(1u, app.size());
  EXPECT_EQ("MAPI", app[0].args[0].text);

  // Every call looks the name up again; nothing is cached on our side.
  DefaultFolder(6);
  EXPECT_EQ(2, ns->GetIDsOfNamesCalls("GetDefaultFolder"));
  EXPECT_EQ(2, ns->InvokeCalls("GetDefaultFolder"));
  EXPECT_EQ(2, ns->InvokeCalls());
  ns->ClearRecords();
  EXPECT_EQ(0, ns->InvokeCalls());
  EXPECT_EQ(0, ns->GetIDsOfNamesCalls());
}

TEST_F(OutlookSimTest, UnknownNamesAndDispidsFail) {
  DISPID id = 0;
  EXPECT_EQ(DISP_E_UNKNOWNNAME, Lookup(sim_.Application(), "Nope", &id));
  EXPECT_EQ(DISPID_UNKNOWN, id);
  EXPECT_EQ(1, sim_.App()->GetIDsOfNamesCalls("Nope"));
  EXPECT_EQ(0, sim_.App()->InvokeCalls());

  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
            sim_.Application()->Invoke(999, IID_NULL, LOCALE_USER_DEFAULT,
                                       DISPATCH_PROPERTYGET, nullptr, &result,
                                       nullptr, nullptr));
  EXPECT_EQ(VT_EMPTY, result.vt);
  ASSERT_EQ(1, sim_.App()->InvokeCalls());
  EXPECT_EQ("", sim_.App()->Invokes()[0].member);

  // A second name would name a parameter; none exists.
  OleString first = Utf8ToOle("Name");
  OleString second = Utf8ToOle("Extra");
  LPOLESTR names[] = {&first[0], &second[0]};
  DISPID ids[2] = {0, 0};
  EXPECT_EQ(DISP_E_UNKNOWNNAME,
            sim_.Application()->GetIDsOfNames(IID_NULL, names, 2,
                                              LOCALE_USER_DEFAULT, ids));
  EXPECT_NE(DISPID_UNKNOWN, ids[0]);
  EXPECT_EQ(DISPID_UNKNOWN, ids[1]);
}

TEST_F(OutlookSimTest, ItemPropertiesAreCopiedOut) {
  SimItem* mail = sim_.NewItem();
  IDispatch* attachment = sim_.NewItem();
  mail->SetProperty("EntryID", VariantFromUtf8("0000ABCD"));
  mail->SetProperty("Subject", VariantFromString(BRINDLE_OLESTR("Hi")));
  mail->SetProperty("Categories", VariantFromString(nullptr));
  mail->SetProperty("FlagStatus", VariantFromI4(2));
  mail->SetProperty("Start", VariantFromDate(2024, 5, 17, 9, 30));
  mail->SetProperty("Class", VariantFromI4(43));
  mail->SetProperty("Parent", VariantFromDispatch(attachment));
  const int bstrsBefore = emu::LiveBstrs();

  {
    ScopedVariant subject;
    ASSERT_EQ(S_OK, Get(mail, "subject", subject.get()));
    ASSERT_EQ(VT_BSTR, subject->vt);
    EXPECT_EQ("Hi", BstrToUtf8(subject->bstrVal));
    EXPECT_NE(mail->PropertyValue("Subject")->bstrVal, subject->bstrVal);
    EXPECT_EQ(bstrsBefore + 1, emu::LiveBstrs());
  }
  EXPECT_EQ(bstrsBefore, emu::LiveBstrs());

  ScopedVariant categories;
  ASSERT_EQ(S_OK, Get(mail, "Categories", categories.get()));
  EXPECT_EQ(VT_BSTR, categories->vt);
  EXPECT_EQ(nullptr, categories->bstrVal);

  ScopedVariant flag;
  ASSERT_EQ(S_OK, Get(mail, "FlagStatus", flag.get()));
  EXPECT_EQ(VT_I4, flag->vt);
  EXPECT_EQ(2, flag->lVal);

  ScopedVariant start;
  ASSERT_EQ(S_OK, Get(mail, "Start", start.get()));
  EXPECT_EQ(VT_DATE, start->vt);
  EXPECT_DOUBLE_EQ(DateFromParts(2024, 5, 17, 9, 30), start->date);

  SimObject* parent = sim_.Find(attachment);
  ASSERT_NE(nullptr, parent);
  EXPECT_EQ(1, parent->RefCount());  // the stored value's reference
  {
    ScopedVariant value;
    ASSERT_EQ(S_OK, Get(mail, "Parent", value.get()));
    EXPECT_EQ(attachment, value->pdispVal);
    EXPECT_EQ(2, parent->RefCount());
  }
  EXPECT_EQ(1, parent->RefCount());

  // Missing properties are unknown names, and Invoke is never reached.
  const int invokes = mail->InvokeCalls();
  for (const char* missing : {"Status", "FlagIcon"}) {
    SCOPED_TRACE(missing);
    ScopedVariant value;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, Get(mail, missing, value.get()));
    EXPECT_EQ(VT_EMPTY, value->vt);
  }
  EXPECT_EQ(invokes, mail->InvokeCalls());

  mail->RemoveProperty("Subject");
  ScopedVariant gone;
  EXPECT_EQ(DISP_E_UNKNOWNNAME, Get(mail, "Subject", gone.get()));
  mail->SetProperty("Subject", VariantFromI4(5));  // any type is allowed
  ASSERT_EQ(S_OK, Get(mail, "Subject", gone.Reset()));
  EXPECT_EQ(VT_I4, gone->vt);

  // A property takes no arguments.
  ScopedVariant arg(VariantFromI4(1));
  EXPECT_EQ(DISP_E_BADPARAMCOUNT,
            CallByName(mail, "Class", DISPATCH_PROPERTYGET, arg.get(), 1,
                       gone.Reset()));
}

TEST_F(OutlookSimTest, ResultIsWrittenWithoutClearingWhatWasThere) {
  SimItem* item = sim_.NewItem();
  item->SetProperty("FlagStatus", VariantFromI4(2));
  item->SetProperty("FlagIcon", VariantFromI4(6));
  ScopedVariant shared;
  ASSERT_EQ(S_OK, Get(item, "FlagStatus", shared.get()));
  ASSERT_EQ(S_OK, Get(item, "FlagIcon", shared.get()));
  EXPECT_EQ(6, shared->lVal);
  // A null result pointer discards the value.
  EXPECT_EQ(S_OK, Get(item, "FlagIcon", nullptr));
}

TEST_F(OutlookSimTest, FailuresAreInjectedWhereAsked) {
  struct Case {
    const char* name;
    FailAt at;
    HRESULT hr;
    int expectedInvokes;
  } cases[] = {
      {"lookup", FailAt::kGetIDsOfNames, DISP_E_UNKNOWNNAME, 0},
      {"lookup other code", FailAt::kGetIDsOfNames, E_ACCESSDENIED, 0},
      {"invoke", FailAt::kInvoke, E_FAIL, 1},
      {"invoke other code", FailAt::kInvoke, E_OUTOFMEMORY, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OutlookSim sim;
    ASSERT_TRUE(sim.FailMember(sim.NameSpace(), "GetDefaultFolder", c.hr, c.at));
    ScopedVariant arg(VariantFromInt(6));
    ScopedVariant result;
    EXPECT_EQ(c.hr, CallByName(sim.NameSpace(), "GetDefaultFolder",
                               DISPATCH_METHOD, arg.get(), 1, result.get()));
    EXPECT_EQ(VT_EMPTY, result->vt);
    EXPECT_EQ(1, sim.NameSpace()->GetIDsOfNamesCalls("GetDefaultFolder"));
    EXPECT_EQ(c.expectedInvokes, sim.NameSpace()->InvokeCalls());
    if (c.expectedInvokes == 1) {
      EXPECT_EQ(c.hr, sim.NameSpace()->Invokes()[0].result);
    }
    // Other members still work, and clearing restores the member.
    ScopedVariant name;
    EXPECT_EQ(S_OK, Get(sim.NameSpace(), "Name", name.get()));
    sim.NameSpace()->ClearFailures();
    EXPECT_EQ(S_OK, CallByName(sim.NameSpace(), "GetDefaultFolder",
                               DISPATCH_METHOD, arg.get(), 1, result.Reset()));
  }
  int foreign = 0;
  EXPECT_FALSE(sim_.FailMember(reinterpret_cast<IUnknown*>(&foreign), "Name",
                               E_FAIL));
}

TEST_F(OutlookSimTest, OneFolderCanFailWhileTheOthersAnswer) {
  sim_.FailFolder(9, E_FAIL);
  for (LONG number : {6, 9, 13}) {
    SCOPED_TRACE(number);
    ScopedVariant arg(VariantFromInt(number));
    ScopedVariant result;
    const HRESULT hr = CallByName(sim_.NameSpace(), "GetDefaultFolder",
                                  DISPATCH_METHOD, arg.get(), 1, result.get());
    EXPECT_EQ(number == 9 ? E_FAIL : S_OK, hr);
  }
  EXPECT_EQ(0, sim_.Folder(9)->RefCount());
}

TEST_F(OutlookSimTest, PropertyGetOnlyMemberRefusesAPlainMethodCall) {
  SimItem* item = sim_.NewItem();
  item->SetProperty("Subject", VariantFromUtf8("x"));
  item->SetPropertyGetOnly("Subject");
  struct Case {
    WORD flags;
    HRESULT expected;
  } cases[] = {
      {DISPATCH_METHOD, DISP_E_MEMBERNOTFOUND},
      {DISPATCH_PROPERTYGET, S_OK},
      {DISPATCH_METHOD | DISPATCH_PROPERTYGET, S_OK},
      {DISPATCH_PROPERTYPUT, DISP_E_MEMBERNOTFOUND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    ScopedVariant result;
    EXPECT_EQ(c.expected,
              CallByName(item, "Subject", c.flags, nullptr, 0, result.get()));
    EXPECT_EQ(SUCCEEDED(c.expected) ? VT_BSTR : VT_EMPTY, result->vt);
  }
  ASSERT_EQ(4, item->InvokeCalls());
  EXPECT_EQ(DISPATCH_METHOD, item->Invokes()[0].flags);
  EXPECT_EQ(DISPATCH_METHOD | DISPATCH_PROPERTYGET, item->Invokes()[2].flags);

  // Without the mark a plain method call reads the property too.
  item->SetPropertyGetOnly("Subject", false);
  ScopedVariant result;
  EXPECT_EQ(S_OK, CallByName(item, "Subject", DISPATCH_METHOD, nullptr, 0,
                             result.get()));
}

TEST_F(OutlookSimTest, ScriptedResultsAnswerOneCallEach) {
  SimNameSpace* ns = sim_.NameSpace();
  ns->ScriptInvokeResults("GetDefaultFolder", {E_FAIL, S_OK, E_ACCESSDENIED});
  ScopedVariant arg(VariantFromInt(6));
  const HRESULT expected[] = {E_FAIL, S_OK, E_ACCESSDENIED, S_OK};
  for (HRESULT hr : expected) {
    ScopedVariant result;
    EXPECT_EQ(hr, CallByName(ns, "GetDefaultFolder", DISPATCH_METHOD,
                             arg.get(), 1, result.get()));
    EXPECT_EQ(SUCCEEDED(hr) ? VT_DISPATCH : VT_EMPTY, result->vt);
  }
  ASSERT_EQ(4, ns->InvokeCalls());
  EXPECT_EQ(E_ACCESSDENIED, ns->Invokes()[2].result);
  EXPECT_EQ(0, sim_.Folder(6)->RefCount());  // every reference given back
}

TEST_F(OutlookSimTest, OverriddenResultReplacesTheMembersOwn) {
  sim_.App()->OverrideResult("GetNameSpace", VariantFromI4(0));
  ScopedVariant arg(VariantFromString(BRINDLE_OLESTR("MAPI")));
  ScopedVariant result;
  ASSERT_EQ(S_OK, CallByName(sim_.Application(), "GetNameSpace",
                             DISPATCH_METHOD, arg.get(), 1, result.get()));
  EXPECT_EQ(VT_I4, result->vt);
  EXPECT_EQ(0, sim_.NameSpace()->RefCount());

  sim_.Folder(6)->OverrideResult("Items", VariantFromUtf8("not an object"));
  ASSERT_EQ(S_OK, Get(sim_.Folder(6), "Items", result.Reset()));
  EXPECT_EQ(VT_BSTR, result->vt);
  EXPECT_TRUE(sim_.Folder(6)->ItemsObjects().empty());
}

TEST_F(OutlookSimTest, EveryItemsReadAnswersANewObject) {
  IDispatch* folder = DefaultFolder(6);
  ScopedVariant first;
  ScopedVariant second;
  ASSERT_EQ(S_OK, Get(folder, "Items", first.get()));
  ASSERT_EQ(S_OK, Get(folder, "Items", second.get()));
  EXPECT_NE(first->pdispVal, second->pdispVal);
  ASSERT_EQ(2u, sim_.Folder(6)->ItemsObjects().size());
  EXPECT_EQ(static_cast<IDispatch*>(sim_.Folder(6)->ItemsObjects()[0]),
            first->pdispVal);
  EXPECT_EQ(1, sim_.Folder(6)->ItemsObjects()[0]->RefCount());
  EXPECT_EQ(2, sim_.Folder(6)->LiveItemsCount());
}

TEST_F(OutlookSimTest, ItemsAnswersOnlyItsConnectionPoint) {
  IDispatch* items = ItemsOf(9);
  SimItems* sim = sim_.Folder(9)->ItemsObjects()[0];
  IConnectionPointContainer* container = nullptr;
  ASSERT_EQ(S_OK, items->QueryInterface(IID_IConnectionPointContainer,
                                        reinterpret_cast<void**>(&container)));
  EXPECT_EQ(2, sim->RefCount());

  IConnectionPoint* point = reinterpret_cast<IConnectionPoint*>(&container);
  EXPECT_EQ(CONNECT_E_NOCONNECTION,
            container->FindConnectionPoint(IID_IDispatch, &point));
  EXPECT_EQ(nullptr, point);
  EXPECT_EQ(E_POINTER, container->FindConnectionPoint(kItemsEventsIid, nullptr));

  IConnectionPoint* again = nullptr;
  ASSERT_EQ(S_OK, container->FindConnectionPoint(kItemsEventsIid, &point));
  ASSERT_EQ(S_OK, container->FindConnectionPoint(kItemsEventsIid, &again));
  EXPECT_EQ(point, again);
  EXPECT_EQ(2, sim->ConnectionPoint()->RefCount());
  EXPECT_EQ(4, sim->FindConnectionPointCalls());

  IID iid = IID_NULL;
  EXPECT_EQ(S_OK, point->GetConnectionInterface(&iid));
  EXPECT_TRUE(IsEqualIID(kItemsEventsIid, iid));
  IConnectionPointContainer* back = nullptr;
  ASSERT_EQ(S_OK, point->GetConnectionPointContainer(&back));
  EXPECT_EQ(container, back);
  back->Release();
  container->Release();
  EXPECT_EQ(1, sim->RefCount());
  EXPECT_EQ(sim, sim_.Find(container));

  void* none = &iid;
  EXPECT_EQ(E_NOINTERFACE, items->QueryInterface(IID_IClassFactory, &none));
  EXPECT_EQ(nullptr, none);
  sim->FailQueryInterface(IID_IConnectionPointContainer, E_NOINTERFACE);
  EXPECT_EQ(E_NOINTERFACE,
            items->QueryInterface(IID_IConnectionPointContainer, &none));
  sim->FailFindConnectionPoint(E_FAIL);
  EXPECT_EQ(E_FAIL, container->FindConnectionPoint(kItemsEventsIid, &again));
  EXPECT_EQ(nullptr, again);
}

TEST_F(OutlookSimTest, AdviseAsksTheSinkForItemsEventsAndHoldsIt) {
  FakeSink& sink = sink_;
  IConnectionPoint* point = PointOf(ItemsOf(6));
  DWORD cookie = 0;
  ASSERT_EQ(S_OK, point->Advise(&sink, &cookie));
  EXPECT_NE(0u, cookie);
  ASSERT_EQ(1u, sink.queried.size());
  EXPECT_TRUE(IsEqualIID(kItemsEventsIid, sink.queried[0]));
  EXPECT_EQ(2, sink.refs);  // the test's and the connection's
  EXPECT_EQ(0, sink.unexpected);

  DWORD second = 0;
  ASSERT_EQ(S_OK, point->Advise(&sink, &second));
  EXPECT_NE(cookie, second);
  EXPECT_EQ(2, sim_.Folder(6)->AdvisedSinkCount());
  EXPECT_EQ(2, sim_.Folder(6)->AdviseCount(&sink));
  EXPECT_EQ(0, sim_.Folder(9)->AdvisedSinkCount());
  EXPECT_EQ(3, sink.refs);

  EXPECT_EQ(S_OK, point->Unadvise(cookie));
  EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(cookie));
  EXPECT_EQ(2, sink.refs);
  EXPECT_EQ(1, sim_.Folder(6)->AdviseCount(&sink));
}

TEST_F(OutlookSimTest, AdviseFailures) {
  IConnectionPoint* point = PointOf(ItemsOf(6));
  SimConnectionPoint* sim = sim_.Folder(6)->ItemsObjects()[0]->ConnectionPoint();

  FakeSink& refusing = other_;
  refusing.refuseEvents = true;
  DWORD cookie = 99;
  EXPECT_EQ(CONNECT_E_CANNOTCONNECT, point->Advise(&refusing, &cookie));
  EXPECT_EQ(0u, cookie);
  EXPECT_EQ(1, refusing.refs);
  EXPECT_EQ(1u, refusing.queried.size());

  EXPECT_EQ(E_POINTER, point->Advise(nullptr, &cookie));
  FakeSink& sink = sink_;
  EXPECT_EQ(E_POINTER, point->Advise(&sink, nullptr));

  sim->FailAdvise(E_FAIL);
  EXPECT_EQ(E_FAIL, point->Advise(&sink, &cookie));
  EXPECT_TRUE(sink.queried.empty());  // failed before asking the sink
  EXPECT_EQ(1, sink.refs);
  EXPECT_EQ(0, sim_.Folder(6)->AdvisedSinkCount());
  EXPECT_EQ(4, sim->AdviseCalls());
  EXPECT_TRUE(sim_.Advises().empty());
}

TEST_F(OutlookSimTest, EventsReachEveryAdvisedSinkWithTheItem) {
  FakeSink& inbox = sink_;
  FakeSink& both = other_;
  Subscribe(6, &inbox);
  Subscribe(6, &both);
  Subscribe(9, &both);
  SimItem* mail = sim_.NewItem();
  both.answer = E_FAIL;

  struct Case {
    const char* name;
    DISPID id;
    std::vector<HRESULT> (SimFolder::*fire)(SimItem*);
  } cases[] = {
      {"ItemAdd", kDispidItemAdd, &SimFolder::FireItemAdd},
      {"ItemChange", kDispidItemChange, &SimFolder::FireItemChange},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    inbox.events.clear();
    both.events.clear();
    const std::vector<HRESULT> results = (sim_.Folder(6)->*c.fire)(mail);
    EXPECT_EQ((std::vector<HRESULT>{S_OK, E_FAIL}), results);
    for (FakeSink* sink : {&inbox, &both}) {
      ASSERT_EQ(1u, sink->events.size());
      const FakeSink::Event& e = sink->events[0];
      EXPECT_EQ(c.id, e.id);
      EXPECT_EQ(DISPATCH_METHOD, e.flags);
      EXPECT_TRUE(e.nullIid);
      EXPECT_EQ(1u, e.argCount);
      EXPECT_EQ(VT_DISPATCH, e.argType);
      EXPECT_EQ(static_cast<IDispatch*>(mail), e.arg);
      EXPECT_EQ(1, e.argRefsDuringCall);  // held by the caller meanwhile
    }
    EXPECT_EQ(0, mail->RefCount());
  }

  inbox.events.clear();
  both.events.clear();
  EXPECT_EQ(1u, sim_.Folder(9)->FireItemRemove().size());
  EXPECT_TRUE(inbox.events.empty());
  ASSERT_EQ(1u, both.events.size());
  EXPECT_EQ(kDispidItemRemove, both.events[0].id);
  EXPECT_EQ(0u, both.events[0].argCount);

  EXPECT_TRUE(sim_.Folder(13)->FireItemAdd(mail).empty());
  EXPECT_EQ(0, inbox.unexpected + both.unexpected);
}

TEST_F(OutlookSimTest, AdvisesAreReportedPerFolderInOrder) {
  FakeSink& sink = sink_;
  FakeSink& other = other_;
  for (LONG number : {6, 9, 13, 10, 12}) Subscribe(number, &sink);
  Subscribe(9, &sink);
  Subscribe(10, &other);
  EXPECT_EQ((std::vector<LONG>{6, 9, 13, 10, 12, 9}),
            sim_.FoldersAdvised(&sink));
  EXPECT_EQ(std::vector<LONG>{10}, sim_.FoldersAdvised(&other));
  EXPECT_EQ(2, sim_.Folder(9)->AdviseCount(&sink));
  EXPECT_EQ(1, sim_.Folder(10)->AdviseCount(&sink));
  EXPECT_EQ(2, sim_.Folder(10)->AdvisedSinkCount());
  ASSERT_EQ(7u, sim_.Advises().size());
  EXPECT_EQ(sim_.Folder(9)->ItemsObjects()[1], sim_.Advises()[5].items);
  EXPECT_EQ(7, sink.refs);
}

TEST_F(OutlookSimTest, ReleasedItemsObjectDropsItsSinksAndStopsFiring) {
  FakeSink& sink = sink_;
  IDispatch* items = ItemsOf(6);
  IConnectionPoint* point = PointOf(items);
  DWORD cookie = 0;
  ASSERT_EQ(S_OK, point->Advise(&sink, &cookie));
  SimItems* sim = sim_.Folder(6)->ItemsObjects()[0];
  EXPECT_EQ(2, sink.refs);

  EXPECT_EQ(0u, items->Release());
  EXPECT_TRUE(sim->IsReleased());
  EXPECT_EQ(1, sink.refs);
  EXPECT_EQ(0, sim_.Folder(6)->AdvisedSinkCount());
  EXPECT_EQ(0, sim_.Folder(6)->LiveItemsCount());
  EXPECT_TRUE(sim_.Folder(6)->FireItemAdd(sim_.NewItem()).empty());
  EXPECT_TRUE(sink.events.empty());
  EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(cookie));
}

TEST(OutlookSimCountTest, ReleaseBelowZeroIsRecorded) {
  OutlookSim sim;
  SimItem* item = sim.NewItem();
  item->AddRef();
  EXPECT_EQ(0u, item->Release());
  EXPECT_EQ(0, item->Underflows());
  EXPECT_EQ(0u, item->Release());
  EXPECT_EQ(1, item->Underflows());
  EXPECT_EQ(0, item->RefCount());
  EXPECT_EQ(1, sim.TotalUnderflows());
  EXPECT_EQ(1, item->AddRefCalls());
  EXPECT_EQ(2, item->ReleaseCalls());
  // The count stays at 0 rather than going negative.
  EXPECT_EQ(1u, item->AddRef());
}

TEST(OutlookSimTeardownTest, ReleasesEverySinkAndStringItHolds) {
  const int bstrs = emu::LiveBstrs();
  FakeSink sink(nullptr);
  {
    OutlookSim sim;
    SimItem* mail = sim.NewItem();
    mail->SetProperty("Subject", VariantFromUtf8("kept"));
    mail->SetProperty("Self", VariantFromDispatch(mail));
    sim.App()->OverrideResult("Name", VariantFromUtf8("Other"));

    // Walk the whole chain and keep every reference, as the add-in does.
    ScopedVariant arg(VariantFromString(BRINDLE_OLESTR("MAPI")));
    VARIANT ns;
    VariantInit(&ns);
    ASSERT_EQ(S_OK, CallByName(sim.Application(), "GetNameSpace",
                               DISPATCH_METHOD, arg.get(), 1, &ns));
    for (LONG number : {6, 9}) {
      ScopedVariant folderArg(VariantFromInt(number));
      VARIANT folder;
      VariantInit(&folder);
      ASSERT_EQ(S_OK, CallByName(ns.pdispVal, "GetDefaultFolder",
                                 DISPATCH_METHOD, folderArg.get(), 1, &folder));
      VARIANT items;
      VariantInit(&items);
      ASSERT_EQ(S_OK, Get(folder.pdispVal, "Items", &items));
      IConnectionPointContainer* container = nullptr;
      ASSERT_EQ(S_OK, items.pdispVal->QueryInterface(
                          IID_IConnectionPointContainer,
                          reinterpret_cast<void**>(&container)));
      IConnectionPoint* point = nullptr;
      ASSERT_EQ(S_OK, container->FindConnectionPoint(kItemsEventsIid, &point));
      container->Release();
      DWORD cookie = 0;
      ASSERT_EQ(S_OK, point->Advise(&sink, &cookie));
    }
    EXPECT_EQ(3, sink.refs);
    EXPECT_LT(bstrs, emu::LiveBstrs());
  }
  EXPECT_EQ(1, sink.refs);
  EXPECT_EQ(0, sink.underflows);
  EXPECT_EQ(bstrs, emu::LiveBstrs());
}

}  // namespace
}  // namespace outlook_sim
