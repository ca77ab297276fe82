// The module's outer shell driven through its exports: DllMain,
// DllGetClassObject, the class factory and DllCanUnloadNow.

#include <gtest/gtest.h>

#include "addin/extensibility.h"
#include "platform/emulation.h"
#include "server/module.h"

namespace {

// The add-in's class id, {3A7F9C21-5B0D-4E62-9D18-C4E7A2B65F03}, as COM
// hands it to the module.
const CLSID kAddinClsid = {
    0x3A7F9C21, 0x5B0D, 0x4E62, {0x9D, 0x18, 0xC4, 0xE7, 0xA2, 0xB6, 0x5F, 0x03}};
const CLSID kOtherClsid = {
    0x3A7F9C21, 0x5B0D, 0x4E62, {0x9D, 0x18, 0xC4, 0xE7, 0xA2, 0xB6, 0x5F, 0x04}};

void* const kPoison = reinterpret_cast<void*>(0x5A5A5A5A);

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    emu::Reset();
    // Every test leaves the module unloadable: no object, no lock.
    ASSERT_EQ(S_OK, DllCanUnloadNow());
  }
  void TearDown() override { EXPECT_EQ(S_OK, DllCanUnloadNow()); }

  IClassFactory* GetFactory() {
    void* factory = nullptr;
    EXPECT_EQ(S_OK, DllGetClassObject(kAddinClsid, IID_IClassFactory, &factory));
    return static_cast<IClassFactory*>(factory);
  }
};

TEST_F(ModuleTest, DllMainKeepsTheHandleOnlyAtProcessAttach) {
  HINSTANCE attached = reinterpret_cast<HINSTANCE>(0x10000000);
  HINSTANCE other = reinterpret_cast<HINSTANCE>(0x20000000);
  EXPECT_TRUE(DllMain(attached, DLL_PROCESS_ATTACH, nullptr));
  for (DWORD reason : {DWORD{DLL_THREAD_ATTACH}, DWORD{DLL_THREAD_DETACH},
                       DWORD{DLL_PROCESS_DETACH}}) {
    SCOPED_TRACE(reason);
    EXPECT_TRUE(DllMain(other, reason, nullptr));
  }
  ASSERT_EQ(1u, emu::ThreadCallsDisabled().size());
  EXPECT_EQ(attached, emu::ThreadCallsDisabled()[0]);
}

TEST_F(ModuleTest, DllGetClassObjectAnswers) {
  struct Case {
    const char* name;
    const CLSID* clsid;
    const IID* iid;
    HRESULT expected;
  };
  const Case cases[] = {
      {"IClassFactory", &kAddinClsid, &IID_IClassFactory, S_OK},
      {"IUnknown", &kAddinClsid, &IID_IUnknown, S_OK},
      {"IDispatch: the new factory is destroyed", &kAddinClsid, &IID_IDispatch,
       E_NOINTERFACE},
      {"the add-in's own interface", &kAddinClsid, &IID_IDTExtensibility2,
       E_NOINTERFACE},
      {"another class", &kOtherClsid, &IID_IClassFactory,
       CLASS_E_CLASSNOTAVAILABLE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    void* object = kPoison;
    EXPECT_EQ(c.expected, DllGetClassObject(*c.clsid, *c.iid, &object));
    if (c.expected != S_OK) {
      EXPECT_EQ(nullptr, object);
      continue;
    }
    ASSERT_NE(nullptr, object);
    // Handed out with exactly one reference.
    EXPECT_EQ(0u, static_cast<IUnknown*>(object)->Release());
  }
  EXPECT_EQ(E_POINTER, DllGetClassObject(kAddinClsid, IID_IClassFactory,
                                         nullptr));
}

TEST_F(ModuleTest, EveryCallMakesItsOwnFactory) {
  IClassFactory* first = GetFactory();
  IClassFactory* second = GetFactory();
  ASSERT_NE(nullptr, first);
  ASSERT_NE(nullptr, second);
  EXPECT_NE(first, second);
  EXPECT_EQ(0u, first->Release());
  EXPECT_EQ(0u, second->Release());
}

TEST_F(ModuleTest, FactoryCountsItsReferences) {
  IClassFactory* factory = GetFactory();
  ASSERT_NE(nullptr, factory);
  EXPECT_EQ(2u, factory->AddRef());

  void* same = kPoison;
  EXPECT_EQ(S_OK, factory->QueryInterface(IID_IUnknown, &same));
  EXPECT_EQ(static_cast<void*>(factory), same);
  void* none = kPoison;
  EXPECT_EQ(E_NOINTERFACE, factory->QueryInterface(IID_IDispatch, &none));
  EXPECT_EQ(nullptr, none);
  EXPECT_EQ(E_POINTER, factory->QueryInterface(IID_IUnknown, nullptr));

  EXPECT_EQ(2u, factory->Release());
  EXPECT_EQ(1u, factory->Release());
  EXPECT_EQ(0u, factory->Release());
}

TEST_F(ModuleTest, CreateInstanceFailuresCreateNothing) {
  IClassFactory* factory = GetFactory();
  ASSERT_NE(nullptr, factory);
  IUnknown* outer = factory;  // any object will do as an outer one

  void* object = kPoison;
  EXPECT_EQ(CLASS_E_NOAGGREGATION,
            factory->CreateInstance(outer, IID_IUnknown, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(S_OK, DllCanUnloadNow());

  object = kPoison;
  EXPECT_EQ(E_NOINTERFACE,
            factory->CreateInstance(nullptr, IID_IClassFactory, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(S_OK, DllCanUnloadNow());

  EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IUnknown, nullptr));
  EXPECT_EQ(0u, factory->Release());
}

TEST_F(ModuleTest, ObjectsKeepTheModuleLoadedUntilTheirLastRelease) {
  IClassFactory* factory = GetFactory();
  ASSERT_NE(nullptr, factory);

  const IID* const offered[] = {&IID_IDTExtensibility2, &IID_IUnknown,
                                &IID_IDispatch};
  IUnknown* objects[3] = {};
  for (int i = 0; i < 3; ++i) {
    void* object = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, *offered[i], &object));
    ASSERT_NE(nullptr, object);
    objects[i] = static_cast<IUnknown*>(object);
  }
  // The factory going away changes nothing.
  EXPECT_EQ(0u, factory->Release());
  EXPECT_EQ(S_FALSE, DllCanUnloadNow());

  EXPECT_EQ(2u, objects[0]->AddRef());
  EXPECT_EQ(1u, objects[0]->Release());
  EXPECT_EQ(0u, objects[0]->Release());
  EXPECT_EQ(0u, objects[1]->Release());
  EXPECT_EQ(S_FALSE, DllCanUnloadNow());
  EXPECT_EQ(0u, objects[2]->Release());
  EXPECT_EQ(S_OK, DllCanUnloadNow());
}

TEST_F(ModuleTest, ALiveFactoryAloneAllowsUnloading) {
  IClassFactory* factory = GetFactory();
  ASSERT_NE(nullptr, factory);
  EXPECT_EQ(S_OK, DllCanUnloadNow());
  EXPECT_EQ(0u, factory->Release());
}

TEST_F(ModuleTest, LocksKeepTheModuleLoaded) {
  IClassFactory* factory = GetFactory();
  ASSERT_NE(nullptr, factory);

  EXPECT_EQ(S_OK, factory->LockServer(TRUE));
  EXPECT_EQ(S_OK, factory->LockServer(5));  // any non-zero value locks
  EXPECT_EQ(0u, factory->Release());        // locks outlive the factory
  EXPECT_EQ(S_FALSE, DllCanUnloadNow());

  factory = GetFactory();
  ASSERT_NE(nullptr, factory);
  EXPECT_EQ(S_OK, factory->LockServer(FALSE));
  EXPECT_EQ(S_FALSE, DllCanUnloadNow());
  EXPECT_EQ(S_OK, factory->LockServer(FALSE));
  EXPECT_EQ(S_OK, DllCanUnloadNow());

  // An unlock without a lock leaves the count at -1, which is not zero.
  EXPECT_EQ(S_OK, factory->LockServer(FALSE));
  EXPECT_EQ(S_FALSE, DllCanUnloadNow());
  EXPECT_EQ(S_OK, factory->LockServer(TRUE));
  EXPECT_EQ(S_OK, DllCanUnloadNow());
  EXPECT_EQ(0u, factory->Release());
}

TEST_F(ModuleTest, ALockAndAnObjectBothHold) {
  IClassFactory* factory = GetFactory();
  ASSERT_NE(nullptr, factory);
  void* object = nullptr;
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, &object));
  EXPECT_EQ(S_OK, factory->LockServer(TRUE));
  EXPECT_EQ(0u, static_cast<IUnknown*>(object)->Release());
  EXPECT_EQ(S_FALSE, DllCanUnloadNow());
  EXPECT_EQ(S_OK, factory->LockServer(FALSE));
  EXPECT_EQ(0u, factory->Release());
}

}  // namespace
