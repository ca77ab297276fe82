// The add-in object through its COM surface: identity, the table's
// IDispatch stubs, the connection lifecycle and the subscription to the
// five default folders, against the simulated Outlook.

#include <gtest/gtest.h>

#include "tests/addin/addin_fixture.h"

namespace addin_test {
namespace {

using outlook_sim::SimItems;
using outlook_sim::SimObject;
using outlook_sim::VariantFromDispatch;
using outlook_sim::VariantFromI4;

void* const kPoison = reinterpret_cast<void*>(0x5A5A5A5A);

class CMyAddinTest : public AddinFixture {};

TEST_F(CMyAddinTest, OneObjectAnswersEveryInterfaceItOffers) {
  const IID* const offered[] = {&IID_IDTExtensibility2, &IID_IUnknown,
                                &IID_IDispatch};
  ULONG expectedCount = 1;
  for (const IID* iid : offered) {
    void* object = kPoison;
    EXPECT_EQ(S_OK, addin_->QueryInterface(*iid, &object));
    EXPECT_EQ(static_cast<void*>(addin_), object);
    ++expectedCount;
  }
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(expectedCount + 1, addin_->AddRef());
  for (ULONG i = 0; i < 3; ++i) addin_->Release();
  EXPECT_EQ(1u, addin_->Release());
}

TEST_F(CMyAddinTest, RefusesOtherInterfaces) {
  const IID* const refused[] = {&IID_IClassFactory,
                                &IID_IConnectionPointContainer,
                                &IID_IConnectionPoint, &outlook_sim::kItemsEventsIid};
  // The last one is ItemsEvents, refused by answering Cancel.
  emu::ScriptMessageBoxAnswers({IDCANCEL});
  for (const IID* iid : refused) {
    void* object = kPoison;
    EXPECT_EQ(E_NOINTERFACE, addin_->QueryInterface(*iid, &object));
    EXPECT_EQ(nullptr, object);
  }
  EXPECT_EQ(E_POINTER, addin_->QueryInterface(IID_IUnknown, nullptr));
  EXPECT_EQ(std::vector<Box>{ItemsEventsBox()}, Boxes());
  EXPECT_EQ(2u, addin_->AddRef());  // the count never moved
  addin_->Release();
}

TEST_F(CMyAddinTest, ItemsEventsIsGivenOnlyWhenTheUserAnswersOk) {
  struct Case {
    int answer;
    HRESULT expected;
  };
  const Case cases[] = {{IDOK, S_OK}, {IDCANCEL, E_NOINTERFACE},
                        {3 /* IDABORT */, E_NOINTERFACE}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    emu::Reset();
    emu::ScriptMessageBoxAnswers({c.answer});
    void* object = kPoison;
    EXPECT_EQ(c.expected,
              addin_->QueryInterface(outlook_sim::kItemsEventsIid, &object));
    EXPECT_EQ(std::vector<Box>{ItemsEventsBox()}, Boxes());
    ULONG count = addin_->AddRef();
    addin_->Release();
    if (c.expected == S_OK) {
      EXPECT_EQ(static_cast<void*>(addin_), object);
      EXPECT_EQ(3u, count);
      addin_->Release();
    } else {
      EXPECT_EQ(nullptr, object);
      EXPECT_EQ(2u, count);
    }
  }
  RegisterShellStoreStandIn(model_.get());  // emu::Reset took it away
}

TEST_F(CMyAddinTest, HasNoTypeInformationAndWritesNothing) {
  UINT count = 77;
  EXPECT_EQ(E_FAIL, addin_->GetTypeInfoCount(&count));
  EXPECT_EQ(77u, count);
  ITypeInfo* info = reinterpret_cast<ITypeInfo*>(kPoison);
  EXPECT_EQ(E_FAIL, addin_->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info));
  EXPECT_EQ(kPoison, static_cast<void*>(info));
  OLECHAR name[] = BRINDLE_OLESTR("ItemAdd");
  LPOLESTR names[] = {name};
  DISPID id = 1234;
  EXPECT_EQ(E_FAIL, addin_->GetIDsOfNames(IID_NULL, names, 1,
                                          LOCALE_USER_DEFAULT, &id));
  EXPECT_EQ(1234, id);
}

TEST_F(CMyAddinTest, OnConnectionWithoutApplicationKeepsNothing) {
  EXPECT_EQ(E_POINTER, addin_->OnConnection(nullptr, ext_cm_AfterStartup,
                                            nullptr, nullptr));
  // With no application, start-up completion has nothing to ask.
  EXPECT_EQ(S_OK, addin_->OnStartupComplete(nullptr));
  EXPECT_TRUE(sim_->Advises().empty());
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(CMyAddinTest, ConnectModesDecideWhenToSubscribe) {
  struct Case {
    ext_ConnectMode mode;
    bool subscribesAtOnce;
  };
  const Case cases[] = {
      {ext_cm_AfterStartup, true},
      {ext_cm_Startup, false},
      {ext_cm_External, true},
      {ext_cm_CommandLine, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    outlook_sim::OutlookSim sim;
    SimObject* app = sim.App();
    SimObject* addInInst = sim.NewItem();
    ASSERT_EQ(S_OK, addin_->OnConnection(sim.Application(), c.mode,
                                         addInInst->Dispatch(), nullptr));
    EXPECT_EQ(1, app->RefCount());
    EXPECT_EQ(0, addInInst->AddRefCalls());  // neither used nor kept
    EXPECT_EQ(0, addInInst->InvokeCalls());
    if (c.subscribesAtOnce) {
      EXPECT_EQ(AllFolders(), sim.FoldersAdvised(Sink()));
    } else {
      EXPECT_TRUE(sim.Advises().empty());
      EXPECT_EQ(0, app->InvokeCalls());
      EXPECT_EQ(S_OK, addin_->OnStartupComplete(nullptr));
      EXPECT_EQ(AllFolders(), sim.FoldersAdvised(Sink()));
    }
    EXPECT_EQ(S_OK, addin_->OnDisconnection(ext_dm_HostShutdown, nullptr));
    EXPECT_EQ(0, app->RefCount());
  }
}

TEST_F(CMyAddinTest, DisconnectionReleasesOnlyTheApplication) {
  const ext_DisconnectMode modes[] = {ext_dm_HostShutdown, ext_dm_UserClosed};
  for (ext_DisconnectMode mode : modes) {
    SCOPED_TRACE(mode);
    outlook_sim::OutlookSim sim;
    ASSERT_EQ(S_OK, addin_->OnConnection(sim.Application(),
                                         ext_cm_AfterStartup, nullptr,
                                         nullptr));
    EXPECT_EQ(S_OK, addin_->OnBeginShutdown(nullptr));
    EXPECT_EQ(S_OK, addin_->OnDisconnection(mode, nullptr));
    EXPECT_EQ(0, sim.App()->RefCount());
    EXPECT_EQ(0, sim.App()->Underflows());

    // The subscriptions stay, and events are still handled.
    for (LONG folder : AllFolders()) {
      outlook_sim::SimFolder* f = sim.Folder(folder);
      EXPECT_EQ(1, f->AdviseCount(Sink()));
      EXPECT_EQ(1, f->LiveItemsCount());
      EXPECT_EQ(0, f->ItemsObjects()[0]->ConnectionPoint()->UnadviseCalls());
    }
    const int creations = model_->Creations();
    outlook_sim::SimItem* item = sim.NewItem();
    EXPECT_EQ(std::vector<HRESULT>{S_OK}, sim.Folder(6)->FireItemAdd(item));
    EXPECT_EQ(creations + 1, model_->Creations());
  }
}

TEST_F(CMyAddinTest, AddInsUpdateAndBeginShutdownDoNothing) {
  ConnectAndSubscribe();
  const int invokes = sim_->App()->InvokeCalls();
  EXPECT_EQ(S_OK, addin_->OnAddInsUpdate(nullptr));
  EXPECT_EQ(S_OK, addin_->OnBeginShutdown(nullptr));
  EXPECT_EQ(invokes, sim_->App()->InvokeCalls());
  EXPECT_EQ(1, sim_->App()->RefCount());
}

TEST_F(CMyAddinTest, SubscribesTheFiveFoldersByName) {
  for (LONG number : AllFolders()) sim_->Folder(number);  // their own texts
  const int bstrs = emu::LiveBstrs();
  ConnectAndSubscribe();
  EXPECT_EQ(AllFolders(), sim_->FoldersAdvised(Sink()));
  // Every Advise asked the add-in for ItemsEvents; nothing else was shown.
  EXPECT_EQ(std::vector<Box>(5, ItemsEventsBox()), Boxes());
  EXPECT_EQ(bstrs, emu::LiveBstrs());  // "MAPI" was freed

  const std::vector<outlook_sim::InvokeRecord> nameSpace =
      sim_->App()->InvokesOf("GetNameSpace");
  ASSERT_EQ(1u, nameSpace.size());
  EXPECT_EQ(DISPATCH_METHOD, nameSpace[0].flags);
  ASSERT_EQ(1u, nameSpace[0].args.size());
  EXPECT_EQ(VT_BSTR, nameSpace[0].args[0].vt);
  EXPECT_EQ("MAPI", nameSpace[0].args[0].text);
  EXPECT_EQ(1, sim_->App()->InvokeCalls("Name"));

  const std::vector<outlook_sim::InvokeRecord> folders =
      sim_->NameSpace()->InvokesOf("GetDefaultFolder");
  ASSERT_EQ(5u, folders.size());
  for (size_t i = 0; i < folders.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(DISPATCH_METHOD, folders[i].flags);
    ASSERT_EQ(1u, folders[i].args.size());
    EXPECT_EQ(VT_INT, folders[i].args[0].vt);  // not VT_I4
    EXPECT_EQ(AllFolders()[i], folders[i].args[0].integer);
    EXPECT_EQ(0u, folders[i].namedArgCount);
  }
  for (LONG number : AllFolders()) {
    SCOPED_TRACE(number);
    outlook_sim::SimFolder* folder = sim_->Folder(number);
    const std::vector<outlook_sim::InvokeRecord> items =
        folder->InvokesOf("Items");
    ASSERT_EQ(1u, items.size());
    EXPECT_EQ(DISPATCH_METHOD | DISPATCH_PROPERTYGET, items[0].flags);
    EXPECT_EQ(0u, items[0].argCount);
  }

  // Every call looks its name up afresh, once, with IID_NULL and the user's
  // locale, and asks for no exception information or argument index.
  std::vector<SimObject*> objects = {sim_->App(), sim_->NameSpace()};
  for (LONG number : AllFolders()) objects.push_back(sim_->Folder(number));
  for (SimObject* object : objects) {
    SCOPED_TRACE(object->Kind());
    EXPECT_EQ(object->InvokeCalls(), object->GetIDsOfNamesCalls());
    for (const outlook_sim::LookupRecord& lookup : object->Lookups()) {
      EXPECT_EQ(1u, lookup.names.size());
      EXPECT_TRUE(lookup.nullIid);
      EXPECT_EQ(LOCALE_USER_DEFAULT, lookup.lcid);
    }
    for (const outlook_sim::InvokeRecord& invoke : object->Invokes()) {
      EXPECT_TRUE(invoke.nullIid);
      EXPECT_EQ(LOCALE_USER_DEFAULT, invoke.lcid);
      EXPECT_FALSE(invoke.excepInfoGiven);
      EXPECT_FALSE(invoke.argErrGiven);
      EXPECT_TRUE(invoke.resultGiven);
    }
  }
}

TEST_F(CMyAddinTest, KeepsWhatTheSubscriptionsNeedForTheLifeOfTheProcess) {
  ConnectAndSubscribe();
  EXPECT_EQ(S_OK, addin_->OnDisconnection(ext_dm_HostShutdown, nullptr));
  EXPECT_EQ(1, sim_->NameSpace()->RefCount());
  for (LONG number : AllFolders()) {
    SCOPED_TRACE(number);
    outlook_sim::SimFolder* folder = sim_->Folder(number);
    EXPECT_EQ(1, folder->RefCount());
    ASSERT_EQ(1u, folder->ItemsObjects().size());
    SimItems* items = folder->ItemsObjects()[0];
    EXPECT_FALSE(items->IsReleased());
    EXPECT_EQ(1, items->RefCount());  // the container was released again
    EXPECT_EQ(1, items->ConnectionPoint()->RefCount());
  }
}

TEST_F(CMyAddinTest, EveryStartupCompletionSubscribesAgain) {
  ConnectAndSubscribe();
  EXPECT_EQ(S_OK, addin_->OnStartupComplete(nullptr));
  for (LONG number : AllFolders()) {
    SCOPED_TRACE(number);
    EXPECT_EQ(2, sim_->Folder(number)->AdviseCount(Sink()));
  }
  // Each event now reaches the add-in twice.
  outlook_sim::SimItem* item = sim_->NewItem();
  EXPECT_EQ(std::vector<HRESULT>({S_OK, S_OK}),
            sim_->Folder(13)->FireItemChange(item));
  EXPECT_EQ(2, model_->Creations());
}

TEST_F(CMyAddinTest, AMethodThatAnswersOnlyAsAPropertyIsTriedTwice) {
  sim_->NameSpace()->SetPropertyGetOnly("GetDefaultFolder");
  ConnectAndSubscribe();
  EXPECT_EQ(AllFolders(), sim_->FoldersAdvised(Sink()));
  const std::vector<outlook_sim::InvokeRecord> calls =
      sim_->NameSpace()->InvokesOf("GetDefaultFolder");
  ASSERT_EQ(10u, calls.size());
  for (size_t i = 0; i < calls.size(); i += 2) {
    SCOPED_TRACE(i);
    EXPECT_EQ(DISPATCH_METHOD, calls[i].flags);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, calls[i].result);
    EXPECT_EQ(DISPATCH_METHOD | DISPATCH_PROPERTYGET, calls[i + 1].flags);
    EXPECT_EQ(S_OK, calls[i + 1].result);
    EXPECT_EQ(calls[i].args[0].integer, calls[i + 1].args[0].integer);
  }
  // Still one lookup per call.
  EXPECT_EQ(5, sim_->NameSpace()->GetIDsOfNamesCalls("GetDefaultFolder"));
}

TEST_F(CMyAddinTest, AnUnreadableNameStopsStartupSilently) {
  const outlook_sim::FailAt places[] = {outlook_sim::FailAt::kGetIDsOfNames,
                                        outlook_sim::FailAt::kInvoke};
  for (outlook_sim::FailAt at : places) {
    SCOPED_TRACE(static_cast<int>(at));
    outlook_sim::OutlookSim sim;
    sim.FailMember(sim.App(), "Name", E_FAIL, at);
    ASSERT_EQ(S_OK, addin_->OnConnection(sim.Application(),
                                         ext_cm_AfterStartup, nullptr,
                                         nullptr));
    EXPECT_EQ(0, sim.App()->GetIDsOfNamesCalls("GetNameSpace"));
    EXPECT_TRUE(sim.Advises().empty());
    EXPECT_TRUE(Boxes().empty());
    addin_->OnDisconnection(ext_dm_HostShutdown, nullptr);
  }
}

TEST_F(CMyAddinTest, AFailingGetNameSpaceShowsItsBox) {
  sim_->FailMember(sim_->App(), "GetNameSpace", E_FAIL);
  ConnectAndSubscribe();
  EXPECT_EQ(std::vector<Box>{Box("GetNameSpace failed", "Brindle Addin",
                                 kOkBox)},
            Boxes());
  EXPECT_EQ(2, sim_->App()->InvokeCalls("GetNameSpace"));  // both tries
  EXPECT_EQ(0, sim_->NameSpace()->InvokeCalls());
}

TEST_F(CMyAddinTest, ANameSpaceThatIsNoObjectSubscribesNothing) {
  sim_->App()->OverrideResult("GetNameSpace", VariantFromI4(7));
  ConnectAndSubscribe();
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(0, sim_->NameSpace()->InvokeCalls());
  EXPECT_TRUE(sim_->Advises().empty());
}

// One folder's step fails; its box is shown and the other four folders are
// still subscribed.
TEST_F(CMyAddinTest, AFailingFolderEndsOnlyThatFoldersSubscription) {
  struct Case {
    const char* name;
    LONG folder;
    void (*fail)(outlook_sim::OutlookSim* sim, LONG folder);
    Box box;
  };
  const std::string events = "Brindle Addin Events";
  const Case cases[] = {
      {"GetDefaultFolder", 9,
       [](outlook_sim::OutlookSim* sim, LONG folder) {
         sim->FailFolder(folder, E_FAIL);
       },
       Box("", "GetDefaultFolder failed", kOkBox)},
      {"Items", 13,
       [](outlook_sim::OutlookSim* sim, LONG folder) {
         sim->FailMember(sim->Folder(folder), "Items", E_FAIL);
       },
       Box("", "GetProperties(Items) failed", kOkBox)},
      {"no connection point container", 10,
       [](outlook_sim::OutlookSim* sim, LONG folder) {
         // An object without IConnectionPointContainer stands in for Items.
         sim->Folder(folder)->OverrideResult(
             "Items", VariantFromDispatch(sim->NewItem()->Dispatch()));
       },
       Box("QueryInterface for IID_IConnectionPointContainer FAILED", events,
           kOkBox)},
      {"no ItemsEvents connection point", 12,
       [](outlook_sim::OutlookSim* sim, LONG folder) {
         SimItems* items = sim->NewItems(sim->Folder(folder));
         items->FailFindConnectionPoint(CONNECT_E_NOCONNECTION);
         sim->Folder(folder)->OverrideResult("Items",
                                             VariantFromDispatch(items));
       },
       Box("FindConnectionPoint for IID_ItemsEvents FAILED", events, kOkBox)},
      {"Advise", 6,
       [](outlook_sim::OutlookSim* sim, LONG folder) {
         SimItems* items = sim->NewItems(sim->Folder(folder));
         items->ConnectionPoint()->FailAdvise(E_FAIL);
         sim->Folder(folder)->OverrideResult("Items",
                                             VariantFromDispatch(items));
       },
       Box("Advise FAILED", events, kOkBox)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    emu::Reset();
    RegisterShellStoreStandIn(model_.get());
    outlook_sim::OutlookSim sim;
    c.fail(&sim, c.folder);
    ASSERT_EQ(S_OK, addin_->OnConnection(sim.Application(),
                                         ext_cm_AfterStartup, nullptr,
                                         nullptr));
    EXPECT_EQ(std::vector<Box>{c.box}, FailureBoxes());
    std::vector<LONG> expected;
    for (LONG folder : AllFolders()) {
      if (folder != c.folder) expected.push_back(folder);
    }
    EXPECT_EQ(expected, sim.FoldersAdvised(Sink()));
    addin_->OnDisconnection(ext_dm_HostShutdown, nullptr);
  }
}

TEST_F(CMyAddinTest, TheContainerIsReleasedWhenNoConnectionPointIsFound) {
  SimItems* items = sim_->NewItems(sim_->Folder(12));
  items->FailFindConnectionPoint(CONNECT_E_NOCONNECTION);
  sim_->Folder(12)->OverrideResult("Items", VariantFromDispatch(items));
  ConnectAndSubscribe();
  EXPECT_EQ(1, items->FindConnectionPointCalls());
  // One reference held by the override, one kept by the add-in; the
  // container's reference was given back.
  EXPECT_EQ(2, items->RefCount());
}

TEST_F(CMyAddinTest, ADeclinedSinkQueryMakesAdviseFail) {
  // The first Advise asks the add-in for ItemsEvents and the user cancels.
  emu::ScriptMessageBoxAnswers({IDCANCEL});
  ConnectAndSubscribe();
  EXPECT_EQ(std::vector<Box>{Box("Advise FAILED", "Brindle Addin Events",
                                 kOkBox)},
            FailureBoxes());
  EXPECT_EQ(std::vector<LONG>({9, 13, 10, 12}), sim_->FoldersAdvised(Sink()));
}

TEST_F(CMyAddinTest, TheLastReleaseLowersTheObjectCount) {
  EXPECT_EQ(S_FALSE, DllCanUnloadNow());
  EXPECT_EQ(0u, addin_->Release());
  addin_ = nullptr;
  EXPECT_EQ(S_OK, DllCanUnloadNow());
}

}  // namespace
}  // namespace addin_test
