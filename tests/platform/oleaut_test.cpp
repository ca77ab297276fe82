#include <cmath>
#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "platform/com.h"
#include "platform/emulation.h"

namespace {

uint32_t BytePrefix(BSTR text) {
  uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<const char*>(text) - sizeof(prefix),
              sizeof(prefix));
  return prefix;
}

TEST(BstrTest, CarriesByteLengthPrefixAndTerminator) {
  const int before = emu::LiveBstrs();
  BSTR text = SysAllocString(u"Inbox");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(BytePrefix(text), 10u);
  EXPECT_EQ(SysStringLen(text), 5u);
  EXPECT_EQ(text[5], 0);
  EXPECT_EQ(std::u16string(text), u"Inbox");
  EXPECT_EQ(emu::LiveBstrs(), before + 1);
  SysFreeString(text);
  EXPECT_EQ(emu::LiveBstrs(), before);
}

TEST(BstrTest, LengthComesFromPrefixNotFromTerminator) {
  const OLECHAR withZero[] = {u'a', 0, u'b'};
  BSTR text = SysAllocStringLen(withZero, 3);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(SysStringLen(text), 3u);
  EXPECT_EQ(BytePrefix(text), 6u);
  EXPECT_EQ(text[2], u'b');
  EXPECT_EQ(text[3], 0);
  SysFreeString(text);

  BSTR blank = SysAllocStringLen(nullptr, 4);
  ASSERT_NE(blank, nullptr);
  EXPECT_EQ(SysStringLen(blank), 4u);
  for (int i = 0; i <= 4; ++i) EXPECT_EQ(blank[i], 0) << i;
  SysFreeString(blank);

  BSTR empty = SysAllocString(u"");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty), 0u);
  SysFreeString(empty);
}

TEST(BstrTest, NullIsTheEmptyBstr) {
  const int before = emu::LiveBstrs();
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
  EXPECT_EQ(emu::LiveBstrs(), before);
}

TEST(BstrTest, LiveCountSurvivesReset) {
  BSTR text = SysAllocString(u"kept");
  const int live = emu::LiveBstrs();
  emu::Reset();
  EXPECT_EQ(emu::LiveBstrs(), live);
  SysFreeString(text);
  EXPECT_EQ(emu::LiveBstrs(), live - 1);
}

TEST(BstrDeathTest, DoubleFreeStopsTheProgram) {
  EXPECT_DEATH(
      {
        BSTR text = SysAllocString(u"twice");
        SysFreeString(text);
        SysFreeString(text);
      },
      "not a live BSTR");
}

// Counts AddRef/Release; any other call fails the test.
class CountingUnknown : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override {
    ADD_FAILURE() << "unexpected QueryInterface";
    return E_NOTIMPL;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++addRefs; }
  ULONG STDMETHODCALLTYPE Release() override { return ++releases; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override {
    ADD_FAILURE() << "unexpected GetTypeInfoCount";
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override {
    ADD_FAILURE() << "unexpected GetTypeInfo";
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID,
                                          DISPID*) override {
    ADD_FAILURE() << "unexpected GetIDsOfNames";
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*,
                                   VARIANT*, EXCEPINFO*, UINT*) override {
    ADD_FAILURE() << "unexpected Invoke";
    return E_NOTIMPL;
  }
  ULONG addRefs = 0;
  ULONG releases = 0;
};

TEST(VariantTest, InitMakesEmpty) {
  VARIANT v;
  v.vt = VT_BSTR;
  VariantInit(&v);
  EXPECT_EQ(v.vt, VT_EMPTY);
}

TEST(VariantTest, ClearFreesOwnedBstr) {
  const int before = emu::LiveBstrs();
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(u"Subject");
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(v.vt, VT_EMPTY);
  EXPECT_EQ(emu::LiveBstrs(), before);

  // A null BSTR is a valid empty one.
  v.vt = VT_BSTR;
  v.bstrVal = nullptr;
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(v.vt, VT_EMPTY);
}

TEST(VariantTest, ClearReleasesInterfacesOnce) {
  for (VARTYPE vt : {VARTYPE(VT_UNKNOWN), VARTYPE(VT_DISPATCH)}) {
    SCOPED_TRACE(vt);
    CountingUnknown object;
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    v.pdispVal = &object;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(object.addRefs, 0u);
    EXPECT_EQ(object.releases, 1u);
  }
  VARIANT none;
  VariantInit(&none);
  none.vt = VT_DISPATCH;
  none.pdispVal = nullptr;
  EXPECT_EQ(VariantClear(&none), S_OK);
}

TEST(VariantTest, ClearLeavesReferencedValuesAlone) {
  const int before = emu::LiveBstrs();
  BSTR owned = SysAllocString(u"caller's");
  CountingUnknown object;
  IDispatch* dispatch = &object;
  struct Case {
    VARTYPE vt;
    void* target;
  } cases[] = {{VT_BYREF | VT_BSTR, &owned},
               {VT_BYREF | VT_DISPATCH, &dispatch}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.vt);
    VARIANT v;
    v.vt = c.vt;
    v.byref = c.target;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
  }
  EXPECT_EQ(object.releases, 0u);
  EXPECT_EQ(emu::LiveBstrs(), before + 1);
  SysFreeString(owned);
}

TEST(VariantTest, ClearOfScalarsAndBadTypes) {
  const VARTYPE scalars[] = {VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_R8,
                             VT_DATE,  VT_BOOL, VT_ERROR, VT_UI4, VT_I8};
  for (VARTYPE vt : scalars) {
    SCOPED_TRACE(vt);
    VARIANT v;
    v.vt = vt;
    v.llVal = 42;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
  }
  // VT_VARIANT is only valid by reference; 0x00FF is no type at all.
  // Nor is a reference to no type: 0x7FFF has the by-reference bit set.
  for (VARTYPE vt : {VARTYPE(VT_VARIANT), VARTYPE(0x00FF), VARTYPE(0x7FFF),
                     VARTYPE(VT_BYREF | VT_EMPTY)}) {
    SCOPED_TRACE(vt);
    VARIANT v;
    v.vt = vt;
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
    EXPECT_EQ(v.vt, vt);
  }
}

// An OLE date from a day serial (days since 1899-12-30) and a time of day.
DATE OleDate(int serial, int hour, int minute, double second) {
  return serial + (hour * 3600 + minute * 60 + second) / 86400.0;
}

WORD DosDate(int year, int month, int day) {
  return static_cast<WORD>(day | (month << 5) | ((year - 1980) << 9));
}

WORD DosTime(int hour, int minute, int second) {
  return static_cast<WORD>((second / 2) | (minute << 5) | (hour << 11));
}

const int k1979_12_31 = 29220;
const int k1980_01_01 = 29221;
const int k1999_12_31 = 36525;
const int k2000_02_28 = 36584;
const int k2024_03_15 = 45366;
const int k2099_12_31 = 73050;
const int k2100_01_01 = 73051;
const int k2107_12_31 = 75971;

TEST(VariantTimeToDosDateTimeTest, RoundsToSecondThenDownToEven) {
  struct Case {
    const char* name;
    DATE date;
    WORD dosDate;
    WORD dosTime;
  } cases[] = {
      {"exact even second", OleDate(k2024_03_15, 9, 30, 0),
       DosDate(2024, 3, 15), DosTime(9, 30, 0)},
      {"odd second cut to even", OleDate(k2024_03_15, 9, 30, 1),
       DosDate(2024, 3, 15), DosTime(9, 30, 0)},
      {"fraction rounds up to even", OleDate(k2024_03_15, 9, 30, 1.7),
       DosDate(2024, 3, 15), DosTime(9, 30, 2)},
      {"fraction rounds down", OleDate(k2024_03_15, 9, 30, 2.4),
       DosDate(2024, 3, 15), DosTime(9, 30, 2)},
      {"rounding carries into minute", OleDate(k2024_03_15, 9, 30, 59.9),
       DosDate(2024, 3, 15), DosTime(9, 31, 0)},
      {"rounding carries into hour", OleDate(k2024_03_15, 9, 59, 59.6),
       DosDate(2024, 3, 15), DosTime(10, 0, 0)},
      {"rounding carries into leap day", OleDate(k2000_02_28, 23, 59, 59.7),
       DosDate(2000, 2, 29), DosTime(0, 0, 0)},
      {"rounding carries into year", OleDate(k1999_12_31, 23, 59, 59.6),
       DosDate(2000, 1, 1), DosTime(0, 0, 0)},
      {"last odd second of a day", OleDate(k2024_03_15, 23, 59, 59),
       DosDate(2024, 3, 15), DosTime(23, 59, 58)},
      {"first DOS day", OleDate(k1980_01_01, 0, 0, 0), DosDate(1980, 1, 1),
       DosTime(0, 0, 0)},
      {"rounded up into the first DOS day", OleDate(k1979_12_31, 23, 59, 59.6),
       DosDate(1980, 1, 1), DosTime(0, 0, 0)},
      {"last convertible second", OleDate(k2099_12_31, 23, 59, 59.2),
       DosDate(2099, 12, 31), DosTime(23, 59, 58)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    USHORT date = 0xDEAD;
    USHORT time = 0xBEEF;
    ASSERT_EQ(VariantTimeToDosDateTime(c.date, &date, &time), TRUE);
    EXPECT_EQ(date, c.dosDate);
    EXPECT_EQ(time, c.dosTime);
  }
}

TEST(VariantTimeToDosDateTimeTest, FailsOutsideDosRange) {
  struct Case {
    const char* name;
    DATE date;
  } cases[] = {
      {"last second before 1980", OleDate(k1979_12_31, 23, 59, 59)},
      {"rounded into 2100", OleDate(k2099_12_31, 23, 59, 59.6)},
      {"first day of 2100", OleDate(k2100_01_01, 0, 0, 0)},
      {"last day the DOS encoding holds", OleDate(k2107_12_31, 12, 0, 0)},
      {"zero date", 0.0},
      {"negative date", -1.25},
      {"far future", 1.0e12},
      {"not a number", std::numeric_limits<double>::quiet_NaN()},
      {"infinity", std::numeric_limits<double>::infinity()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    USHORT date = 0xDEAD;
    USHORT time = 0xBEEF;
    EXPECT_EQ(VariantTimeToDosDateTime(c.date, &date, &time), FALSE);
    EXPECT_EQ(date, 0xDEAD);
    EXPECT_EQ(time, 0xBEEF);
  }
}

}  // namespace
