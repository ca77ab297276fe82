// What the companion component (ShellStore) hands the add-in, as the add-in
// sees it: the store handle, the document with the root node, the shared
// globals with the window table, and the companion object's table.
//
// Layout-bound: these records belong to the companion.  32-bit layout:
// StoreHandle {table, document}; StoreDocument {word, root};
// SharedGlobals {644 companion bytes, windowTable[128]}, WindowSlot {inUse,
// window} of 8 bytes.  On 64-bit Windows pointer-sized fields widen with
// natural alignment: windowTable at 648, slots of 16 bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/com.h"
#include "platform/types.h"

class CStoreNode;

// wParam of the WM_COMMAND posted to the companion's windows after a change.
constexpr uint32_t STORE_REFRESH_COMMAND = 200;
constexpr int kWindowSlotCount = 128;

struct StoreDocument {
  void* companionWord;  // the companion's; not read here
  CStoreNode* root;     // root of the store tree; present with the document
};

class StoreHandle {
 public:
  // Three operations of the companion's that the add-in never calls.
  virtual void CompanionOperation1() = 0;
  virtual void CompanionOperation2() = 0;
  virtual void CompanionOperation3() = 0;
  // A 32-bit value the companion computes for a node; the add-in asks it with
  // selector 1 for a FileList entry and stores it in a query result.
  virtual int32_t GetNodeValue(CStoreNode* node, uint32_t selector) = 0;

  StoreDocument* document;  // null when no store is loaded

 protected:
  StoreHandle() : document(nullptr) {}
  ~StoreHandle() = default;
};

struct WindowSlot {
  int32_t inUse;  // non-zero while the slot holds a window
  HWND window;
};

struct SharedGlobals {
  uint8_t companionBytes[644];  // the companion's; not read here
  WindowSlot windowTable[kWindowSlotCount];
};

// The companion object's table: the thirteen IShellFolder operations in
// their published order (IUnknown's three first), seven more the add-in
// never calls, then OpenStore and CloseStore, which are plain member
// functions, not COM methods.  Only the slots' order matters to the add-in;
// the parameters of the operations it never calls are placeholders.
struct IShellStoreFolder : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE ParseDisplayName(void*, void*, void*,
                                                     void*, void*, void*) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumObjects(void*, DWORD, void*) = 0;
  virtual HRESULT STDMETHODCALLTYPE BindToObject(void*, void*, REFIID,
                                                 void**) = 0;
  virtual HRESULT STDMETHODCALLTYPE BindToStorage(void*, void*, REFIID,
                                                  void**) = 0;
  virtual HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM, void*, void*) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateViewObject(HWND, REFIID,
                                                     void**) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT, void*, void*) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND, UINT, void*, REFIID,
                                                  UINT*, void**) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDisplayNameOf(void*, DWORD,
                                                     void*) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetNameOf(HWND, void*, LPCOLESTR, DWORD,
                                              void**) = 0;
  virtual HRESULT STDMETHODCALLTYPE CompanionMethod1() = 0;
  virtual HRESULT STDMETHODCALLTYPE CompanionMethod2() = 0;
  virtual HRESULT STDMETHODCALLTYPE CompanionMethod3() = 0;
  virtual HRESULT STDMETHODCALLTYPE CompanionMethod4() = 0;
  virtual HRESULT STDMETHODCALLTYPE CompanionMethod5() = 0;
  virtual HRESULT STDMETHODCALLTYPE CompanionMethod6() = 0;
  virtual HRESULT STDMETHODCALLTYPE CompanionMethod7() = 0;
  // Opens the store: answers its handle (null: no store) and, whenever it
  // answers a handle, sets *globals (null when there is no block).  The
  // handle, document and globals stay valid until CloseStore.
  virtual StoreHandle* OpenStore(SharedGlobals** globals) = 0;
  // Closes the store opened by OpenStore; the result is not used.
  virtual int32_t CloseStore(StoreHandle* handle) = 0;
};

// The companion's class id, {6D2E8B40-917C-4F3A-B5E6-0A9C3D7E1F54}, and the
// interface it is created for, IShellFolder's
// {000214E6-0000-0000-C000-000000000046}.
extern const CLSID CLSID_ShellStore;
extern const IID IID_IShellFolder;
