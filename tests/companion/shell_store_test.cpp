// The companion's records and table as the add-in sees them.
#include "companion/shell_store.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string GuidText(const GUID& guid) {
  char text[40];
  std::snprintf(text, sizeof text,
                "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                guid.Data1, guid.Data2, guid.Data3, guid.Data4[0],
                guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4],
                guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

TEST(ShellStoreTest, ClassAndInterfaceIds) {
  EXPECT_EQ("6D2E8B40-917C-4F3A-B5E6-0A9C3D7E1F54", GuidText(CLSID_ShellStore));
  EXPECT_EQ("000214E6-0000-0000-C000-000000000046", GuidText(IID_IShellFolder));
}

// Under the Itanium C++ ABI (GCC, Clang) a pointer to a virtual member holds
// 1 + the byte offset of its slot in the table.
template <typename Member>
size_t SlotOf(Member member) {
  static_assert(sizeof(Member) == 2 * sizeof(void*), "Itanium member pointer");
  uintptr_t word;
  std::memcpy(&word, &member, sizeof word);
  EXPECT_EQ(1u, word & 1u) << "not a virtual member";
  return static_cast<size_t>((word - 1) / sizeof(void*));
}

TEST(ShellStoreTest, CompanionTableOrder) {
  struct Slot {
    const char* name;
    size_t slot;
    size_t expected;
  };
  const Slot slots[] = {
      {"QueryInterface", SlotOf(&IShellStoreFolder::QueryInterface), 0},
      {"AddRef", SlotOf(&IShellStoreFolder::AddRef), 1},
      {"Release", SlotOf(&IShellStoreFolder::Release), 2},
      {"ParseDisplayName", SlotOf(&IShellStoreFolder::ParseDisplayName), 3},
      {"EnumObjects", SlotOf(&IShellStoreFolder::EnumObjects), 4},
      {"BindToObject", SlotOf(&IShellStoreFolder::BindToObject), 5},
      {"BindToStorage", SlotOf(&IShellStoreFolder::BindToStorage), 6},
      {"CompareIDs", SlotOf(&IShellStoreFolder::CompareIDs), 7},
      {"CreateViewObject", SlotOf(&IShellStoreFolder::CreateViewObject), 8},
      {"GetAttributesOf", SlotOf(&IShellStoreFolder::GetAttributesOf), 9},
      {"GetUIObjectOf", SlotOf(&IShellStoreFolder::GetUIObjectOf), 10},
      {"GetDisplayNameOf", SlotOf(&IShellStoreFolder::GetDisplayNameOf), 11},
      {"SetNameOf", SlotOf(&IShellStoreFolder::SetNameOf), 12},
      {"CompanionMethod1", SlotOf(&IShellStoreFolder::CompanionMethod1), 13},
      {"CompanionMethod7", SlotOf(&IShellStoreFolder::CompanionMethod7), 19},
      {"OpenStore", SlotOf(&IShellStoreFolder::OpenStore), 20},
      {"CloseStore", SlotOf(&IShellStoreFolder::CloseStore), 21},
      {"StoreHandle::GetNodeValue", SlotOf(&StoreHandle::GetNodeValue), 3},
  };
  for (const Slot& s : slots) {
    SCOPED_TRACE(s.name);
    EXPECT_EQ(s.expected, s.slot);
  }
}

}  // namespace
