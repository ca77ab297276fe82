// The companion's class id and the interface it is created for, and the
// compile-time checks of the records it shares with the add-in.
#include "companion/shell_store.h"

#include <cstddef>

// {6D2E8B40-917C-4F3A-B5E6-0A9C3D7E1F54}
const CLSID CLSID_ShellStore = {
    0x6D2E8B40, 0x917C, 0x4F3A, {0xB5, 0xE6, 0x0A, 0x9C, 0x3D, 0x7E, 0x1F, 0x54}};

// {000214E6-0000-0000-C000-000000000046}
const IID IID_IShellFolder = {
    0x000214E6, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The companion was built against these offsets; a change here breaks every
// store it hands out.  32-bit is the binding layout; the 64-bit one is what
// natural alignment makes of it.
namespace {

template <size_t PointerSize>
struct CompanionLayout;

template <>
struct CompanionLayout<4> {
  static constexpr size_t kWindowTable = 644;
  static constexpr size_t kSlotSize = 8;
  static constexpr size_t kSlotWindow = 4;
  static constexpr size_t kHandleDocument = 4;
  static constexpr size_t kDocumentRoot = 4;
};

template <>
struct CompanionLayout<8> {
  static constexpr size_t kWindowTable = 648;
  static constexpr size_t kSlotSize = 16;
  static constexpr size_t kSlotWindow = 8;
  static constexpr size_t kHandleDocument = 8;
  static constexpr size_t kDocumentRoot = 8;
};

using Layout = CompanionLayout<sizeof(void*)>;

static_assert(offsetof(SharedGlobals, windowTable) == Layout::kWindowTable,
              "windowTable follows the companion's bytes");
static_assert(sizeof(WindowSlot) == Layout::kSlotSize, "window slot size");
static_assert(offsetof(WindowSlot, inUse) == 0, "inUse opens a slot");
static_assert(offsetof(WindowSlot, window) == Layout::kSlotWindow,
              "window follows inUse");
static_assert(sizeof(SharedGlobals) ==
                  Layout::kWindowTable + kWindowSlotCount * Layout::kSlotSize,
              "the window table ends the block");
static_assert(offsetof(StoreHandle, document) == Layout::kHandleDocument,
              "document follows the handle's table");
static_assert(offsetof(StoreDocument, root) == Layout::kDocumentRoot,
              "root is the document's second word");

}  // namespace
