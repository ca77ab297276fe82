// COM and OLE Automation: the subset the add-in and its stand-ins use.
//
// On Windows this is the system's COM.  Elsewhere it is our emulation, with
// the published layouts (interface tables in their documented order, VARIANT
// of 16 bytes with `vt` first, BSTR of 16-bit characters preceded by its byte
// length) and the Windows values of every constant.
#pragma once

#include "platform/types.h"

#ifdef _WIN32
#include <objbase.h>
#include <ocidl.h>
#include <oleauto.h>
#include <olectl.h>

#define BRINDLE_OLESTR(s) L##s
typedef WCHAR BRINDLE_WCHAR;

#else

typedef char16_t WCHAR;
typedef char16_t OLECHAR;
typedef OLECHAR* BSTR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
typedef const WCHAR* LPCWSTR;
typedef WCHAR* LPWSTR;
typedef LONG DISPID;
typedef uint16_t VARTYPE;
typedef int16_t VARIANT_BOOL;
typedef double DATE;
typedef LONG SCODE;

#define BRINDLE_OLESTR(s) u##s
typedef WCHAR BRINDLE_WCHAR;

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

bool IsEqualGUID(REFGUID a, REFGUID b);
inline bool IsEqualIID(REFIID a, REFIID b) { return IsEqualGUID(a, b); }
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return IsEqualGUID(a, b); }
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
inline bool operator!=(REFGUID a, REFGUID b) { return !IsEqualGUID(a, b); }

// HRESULTs, with their Windows values.
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001)
#define E_NOINTERFACE ((HRESULT)0x80004002)
#define E_POINTER ((HRESULT)0x80004003)
#define E_FAIL ((HRESULT)0x80004005)
#define E_UNEXPECTED ((HRESULT)0x8000FFFF)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define E_ACCESSDENIED ((HRESULT)0x80070005)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110)
#define CLASS_E_CLASSNOTAVAILABLE ((HRESULT)0x80040111)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154)
#define DISP_E_MEMBERNOTFOUND ((HRESULT)0x80020003)
#define DISP_E_UNKNOWNNAME ((HRESULT)0x80020006)
#define DISP_E_TYPEMISMATCH ((HRESULT)0x80020005)
#define DISP_E_BADPARAMCOUNT ((HRESULT)0x8002000E)
#define CONNECT_E_NOCONNECTION ((HRESULT)0x80040200)
#define CONNECT_E_CANNOTCONNECT ((HRESULT)0x80040202)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

#define CLSCTX_INPROC_SERVER 0x1
#define LOCALE_USER_DEFAULT ((LCID)0x0400)
#define DISPATCH_METHOD 0x1
#define DISPATCH_PROPERTYGET 0x2
#define DISPATCH_PROPERTYPUT 0x4
#define DISPID_UNKNOWN (-1)

enum VARENUM {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_BYREF = 0x4000,
};

struct IUnknown;
struct IDispatch;
struct ITypeInfo;

// The published VARIANT: 16 bytes on 32-bit Windows, `vt` at offset 0 and the
// value at offset 8.
struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONG lVal;
    INT intVal;
    UINT uintVal;
    ULONG ulVal;
    SHORT iVal;
    USHORT uiVal;
    BYTE bVal;
    CHAR cVal;
    int64_t llVal;
    uint64_t ullVal;
    float fltVal;
    double dblVal;
    DATE date;
    VARIANT_BOOL boolVal;
    SCODE scode;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    void* byref;
  };
};
typedef VARIANT VARIANTARG;

struct DISPPARAMS {
  VARIANTARG* rgvarg;
  DISPID* rgdispidNamedArgs;
  UINT cArgs;
  UINT cNamedArgs;
};

struct EXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  void* pvReserved;
  void* pfnDeferredFillIn;
  SCODE scode;
};

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

struct IDispatch : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid,
                                                ITypeInfo** ppTInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid,
                                                  LPOLESTR* rgszNames,
                                                  UINT cNames, LCID lcid,
                                                  DISPID* rgDispId) = 0;
  virtual HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid,
                                           LCID lcid, WORD wFlags,
                                           DISPPARAMS* pDispParams,
                                           VARIANT* pVarResult,
                                           EXCEPINFO* pExcepInfo,
                                           UINT* puArgErr) = 0;
};

struct IClassFactory : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter,
                                                   REFIID riid,
                                                   void** ppv) = 0;
  virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) = 0;
};

struct IConnectionPointContainer;
struct IEnumConnections;
struct IEnumConnectionPoints;

struct IConnectionPoint : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* pIID) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(
      IConnectionPointContainer** ppCPC) = 0;
  virtual HRESULT STDMETHODCALLTYPE Advise(IUnknown* pUnkSink,
                                           DWORD* pdwCookie) = 0;
  virtual HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumConnections(
      IEnumConnections** ppEnum) = 0;
};

struct IConnectionPointContainer : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE EnumConnectionPoints(
      IEnumConnectionPoints** ppEnum) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindConnectionPoint(
      REFIID riid, IConnectionPoint** ppCP) = 0;
};

extern const IID IID_NULL;
extern const IID IID_IUnknown;
extern const IID IID_IDispatch;
extern const IID IID_IClassFactory;
extern const IID IID_IConnectionPoint;
extern const IID IID_IConnectionPointContainer;

// OLE Automation.
void VariantInit(VARIANTARG* v);
// Frees what the variant owns (a BSTR, a reference to an interface) and
// leaves it VT_EMPTY.  Answers DISP_E_BADVARTYPE for a type it can't clear.
HRESULT VariantClear(VARIANTARG* v);
#define DISP_E_BADVARTYPE ((HRESULT)0x80020008)

// A BSTR is preceded by a 32-bit count of its bytes and followed by a zero
// character; null is a valid, empty BSTR.
BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);

// Converts an OLE date to DOS date and time (local, no zone), rounding to the
// nearest second and then down to an even one.  FALSE outside 1980 to 2099
// (the DOS encoding would reach 2107; the system's conversion stops at 2099).
INT VariantTimeToDosDateTime(DATE time, USHORT* dosDate, USHORT* dosTime);

// Creates an object of a class registered with the emulation (see
// platform/emulation.h); REGDB_E_CLASSNOTREG for any other class.
HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter,
                         DWORD dwClsContext, REFIID riid, void** ppv);

#endif  // _WIN32
