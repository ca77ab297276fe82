#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "platform/com.h"
#include "platform/emulation.h"

namespace {

std::string Format(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof(text),
                "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0],
                g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5],
                g.Data4[6], g.Data4[7]);
  return text;
}

TEST(GuidTest, InterfaceIdsHaveTheirPublishedValues) {
  struct Case {
    const char* name;
    const IID& iid;
    const char* text;
  } cases[] = {
      {"IID_NULL", IID_NULL, "00000000-0000-0000-0000-000000000000"},
      {"IID_IUnknown", IID_IUnknown, "00000000-0000-0000-C000-000000000046"},
      {"IID_IDispatch", IID_IDispatch, "00020400-0000-0000-C000-000000000046"},
      {"IID_IClassFactory", IID_IClassFactory,
       "00000001-0000-0000-C000-000000000046"},
      {"IID_IConnectionPoint", IID_IConnectionPoint,
       "B196B286-BAB4-101A-B69C-00AA00341D07"},
      {"IID_IConnectionPointContainer", IID_IConnectionPointContainer,
       "B196B284-BAB4-101A-B69C-00AA00341D07"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Format(c.iid), c.text);
  }
}

TEST(GuidTest, EqualityLooksAtEveryByte) {
  const GUID base = IID_IConnectionPoint;
  EXPECT_TRUE(IsEqualGUID(base, IID_IConnectionPoint));
  EXPECT_TRUE(IsEqualIID(IID_IUnknown, IID_IUnknown));
  EXPECT_FALSE(IsEqualIID(IID_IUnknown, IID_IDispatch));
  for (size_t i = 0; i < sizeof(GUID); ++i) {
    SCOPED_TRACE(i);
    GUID changed = base;
    reinterpret_cast<unsigned char*>(&changed)[i] ^= 0x01;
    EXPECT_FALSE(IsEqualGUID(base, changed));
    EXPECT_TRUE(changed != base);
  }
}

const CLSID kCompanionClass = {
    0x12345678, 0x1111, 0x2222, {0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA}};
const CLSID kOtherClass = {
    0x12345678, 0x1111, 0x2222, {0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAB}};

// The object the registered create function hands out; it only counts.
struct CountingObject : IUnknown {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override {
    ADD_FAILURE() << "unexpected QueryInterface";
    return E_NOTIMPL;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  ULONG refs = 0;
};

CountingObject object;
int createCalls = 0;
IID lastRequested;

HRESULT CreateCountingObject(REFIID riid, void** ppv) {
  ++createCalls;
  lastRequested = riid;
  if (!IsEqualIID(riid, IID_IUnknown)) {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  object.AddRef();
  *ppv = static_cast<IUnknown*>(&object);
  return S_OK;
}

// Fails after scribbling on the out pointer, as a careless server might.
HRESULT CreateFailing(REFIID, void** ppv) {
  ++createCalls;
  *ppv = &object;
  return E_OUTOFMEMORY;
}

class CoCreateInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    emu::Reset();
    createCalls = 0;
    object.refs = 0;
  }
  void TearDown() override { emu::Reset(); }
};

TEST_F(CoCreateInstanceTest, CreatesRegisteredClass) {
  emu::RegisterClassObject(kCompanionClass, CreateCountingObject);
  void* created = nullptr;
  EXPECT_EQ(CoCreateInstance(kCompanionClass, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IUnknown, &created),
            S_OK);
  EXPECT_EQ(created, static_cast<IUnknown*>(&object));
  EXPECT_EQ(object.refs, 1u);
  EXPECT_EQ(createCalls, 1);
  EXPECT_TRUE(IsEqualIID(lastRequested, IID_IUnknown));
  EXPECT_EQ(emu::CreateInstanceCalls(), 1);
}

TEST_F(CoCreateInstanceTest, FailuresClearTheOutPointer) {
  emu::RegisterClassObject(kCompanionClass, CreateCountingObject);
  emu::RegisterClassObject(kOtherClass, CreateFailing);
  struct Case {
    const char* name;
    const CLSID& clsid;
    bool aggregate;
    DWORD context;
    const IID& iid;
    HRESULT expected;
    int createCalls;
  } cases[] = {
      {"unregistered class", IID_IDispatch, false, CLSCTX_INPROC_SERVER,
       IID_IUnknown, REGDB_E_CLASSNOTREG, 0},
      {"aggregation", kCompanionClass, true, CLSCTX_INPROC_SERVER,
       IID_IUnknown, CLASS_E_NOAGGREGATION, 0},
      {"no in-process context", kCompanionClass, false, 0x4, IID_IUnknown,
       REGDB_E_CLASSNOTREG, 0},
      {"interface refused", kCompanionClass, false, CLSCTX_INPROC_SERVER,
       IID_IDispatch, E_NOINTERFACE, 1},
      {"server fails", kOtherClass, false, CLSCTX_INPROC_SERVER, IID_IUnknown,
       E_OUTOFMEMORY, 1},
  };
  CountingObject outer;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    createCalls = 0;
    void* created = &outer;
    EXPECT_EQ(CoCreateInstance(c.clsid, c.aggregate ? &outer : nullptr,
                               c.context, c.iid, &created),
              c.expected);
    EXPECT_EQ(created, nullptr);
    EXPECT_EQ(createCalls, c.createCalls);
  }
  EXPECT_EQ(object.refs, 0u);
  EXPECT_EQ(outer.refs, 0u);
  EXPECT_EQ(emu::CreateInstanceCalls(), 5);
}

TEST_F(CoCreateInstanceTest, NullOutPointer) {
  emu::RegisterClassObject(kCompanionClass, CreateCountingObject);
  EXPECT_EQ(CoCreateInstance(kCompanionClass, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IUnknown, nullptr),
            E_POINTER);
  EXPECT_EQ(createCalls, 0);
}

TEST_F(CoCreateInstanceTest, RegistrationCanBeReplacedAndRemoved) {
  emu::RegisterClassObject(kCompanionClass, CreateFailing);
  emu::RegisterClassObject(kCompanionClass, CreateCountingObject);
  void* created = nullptr;
  EXPECT_EQ(CoCreateInstance(kCompanionClass, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IUnknown, &created),
            S_OK);
  static_cast<IUnknown*>(created)->Release();

  emu::UnregisterClassObject(kCompanionClass);
  EXPECT_EQ(CoCreateInstance(kCompanionClass, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IUnknown, &created),
            REGDB_E_CLASSNOTREG);

  emu::RegisterClassObject(kCompanionClass, CreateCountingObject);
  emu::Reset();
  EXPECT_EQ(CoCreateInstance(kCompanionClass, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IUnknown, &created),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(emu::CreateInstanceCalls(), 1);
}

}  // namespace
