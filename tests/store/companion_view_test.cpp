// Plays the companion: it reaches objects that the store made only through
// its own view of their memory and of their tables (slot numbers and
// signatures as the companion is built against them), never through the
// store's classes.  On this ABI a member function takes its object as the
// first argument, so a table slot is called as a plain function.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "store/entry_node.h"
#include "store/node.h"
#include "tests/store/store_test_util.h"

namespace {

namespace view {

struct StrBuf {
  void** table;
  char* text;
  int32_t capacity;
};
struct Cell {
  void* node;
  Cell* next;
};
struct List {
  void** table;
  Cell head;
};
struct Block {
  uint32_t length;
  uint8_t* data;
};
struct Named {
  void** table;
  void* parent;
  List children;
  void** recordTable;
  StrBuf name;
  Block blocks[3];
  uint32_t auxWord1;
  uint32_t auxWord2;
};
struct Entry {
  Named named;
  char emptyText[4];
};
struct Category {
  Named named;
  uint32_t word1;
  uint32_t word2;
};

// The primary table of a node, and the entry's eight after GetBranchFlag.
enum NodeSlot {
  kDestroy = 0,
  kGetParent,
  kSetParent,
  kGetChildCount,
  kGetFirstChild,
  kGetNextSibling,
  kGetBranchFlag,
  kGetCategories,
  kSetCategories,
  kAddCategory,
  kRemoveCategory,
  kSetUserData,
  kGetFullPathFromUserData,
  kNotify,
  kGetInfoCode,
};
enum RecordSlot { kGetTypeId = 0, kGetTypeDepth, kLoad, kSave, kGetRecordSize };
enum StrBufSlot { kStrBufDestroy = 0, kAssign, kReserve };
enum ListSlot { kListDestroy = 0, kRemoveAll, kGetCount };

using DestroyFn = void* (*)(void*, uint32_t);
using NodeFn = void* (*)(void*);
using SetNodeFn = void (*)(void*, void*);
using CountFn = int32_t (*)(void*);
using FlagFn = bool (*)(void*);
using TextFn = const char* (*)(void*);
using SetTextFn = void (*)(void*, const char*);
using CategoryFn = bool (*)(void*, const StrBuf*);
using PathFn = const char* (*)(void*, bool);
using NotifyFn = void (*)(void*, uint32_t, uint32_t);
using InfoFn = int32_t (*)(void*, uint32_t*);
using IdFn = uint32_t (*)(void*);
using LoadFn = int32_t (*)(void*, const uint8_t*, uint32_t);
using SaveFn = int32_t (*)(void*, uint8_t*, uint32_t);
using AssignFn = void (*)(void*, const char*);
using ReserveFn = void (*)(void*, int32_t, uint32_t);
using VoidFn = void (*)(void*);

template <typename Fn>
Fn Slot(void* object, int slot) {
  void** table = *static_cast<void***>(object);
  return reinterpret_cast<Fn>(table[slot]);
}

// The record part lies right after the tree part.
void* RecordPart(void* node) {
  return static_cast<char*>(node) + offsetof(Named, recordTable);
}

template <typename Fn>
Fn RecordSlot(void* node, int slot) {
  return Slot<Fn>(RecordPart(node), slot);
}

}  // namespace view

class CompanionViewTest : public store_test::HeapCheckedTest {};

TEST_F(CompanionViewTest, ObjectsHaveTheLayoutTheCompanionReads) {
  EXPECT_EQ(sizeof(view::StrBuf), sizeof(CStrBuf));
  EXPECT_EQ(sizeof(view::List), sizeof(CNodeList));
  EXPECT_EQ(sizeof(view::Named), sizeof(CNamedNode));
  EXPECT_EQ(sizeof(view::Entry), sizeof(CEntryNode));
  EXPECT_EQ(sizeof(view::Category), sizeof(CCategoryNode));

  CEntryNode* parent = new (std::nothrow) CEntryNode("P");
  CEntryNode* entry = new (std::nothrow) CEntryNode("E1\\Subject");
  parent->AppendChild(entry);
  entry->SetCategories("Work");
  entry->SetItemClass(43);

  const view::Entry* seen = reinterpret_cast<const view::Entry*>(entry);
  EXPECT_EQ(seen->named.parent, static_cast<void*>(parent));
  EXPECT_STREQ(seen->named.name.text, "E1\\Subject");
  EXPECT_EQ(seen->named.name.capacity, 11);
  EXPECT_EQ(seen->named.blocks[0].length, 32u);
  EXPECT_EQ(seen->named.blocks[1].length, 5u);
  EXPECT_STREQ(reinterpret_cast<const char*>(seen->named.blocks[1].data), "Work");
  EXPECT_EQ(seen->named.blocks[2].data, nullptr);
  EXPECT_EQ(seen->emptyText[0], '\0');
  const view::Named* seenParent = reinterpret_cast<const view::Named*>(parent);
  ASSERT_NE(seenParent->children.head.next, nullptr);
  EXPECT_EQ(seenParent->children.head.next->node, static_cast<void*>(entry));
  EXPECT_EQ(seenParent->children.head.next->next, nullptr);
  EXPECT_EQ(static_cast<void*>(static_cast<INodeRecord*>(entry)), view::RecordPart(entry));

  view::Slot<view::DestroyFn>(parent, view::kDestroy)(parent, 1);
}

TEST_F(CompanionViewTest, DestructorSlotHonoursItsFlag) {
  // Bit 0 set: the whole subtree and the object's memory are freed.
  CEntryNode* root = new (std::nothrow) CEntryNode("root");
  CQueryTermNode* child = new (std::nothrow) CQueryTermNode("child");
  root->AppendChild(child);
  root->SetCategories("A,B");
  const int64_t frees = store_heap::Frees();
  EXPECT_EQ(view::Slot<view::DestroyFn>(root, view::kDestroy)(root, 1),
            static_cast<void*>(root));
  // root: name, block2, cell, object; child: name, object.
  EXPECT_EQ(store_heap::Frees() - frees, 6);

  // Bit 0 clear: destroyed in place, the memory stays the caller's.
  void* memory = std::malloc(sizeof(CEntryNode));
  CEntryNode* placed = ::new (memory) CEntryNode("placed");
  placed->SetUserData("C:\\x");
  EXPECT_EQ(view::Slot<view::DestroyFn>(placed, view::kDestroy)(placed, 0x10), memory);
  EXPECT_EQ(reinterpret_cast<view::Named*>(memory)->name.text, nullptr);
  std::free(memory);

  CStrBuf* buffer = CStrBuf::Create("text");
  EXPECT_EQ(view::Slot<view::DestroyFn>(buffer, view::kStrBufDestroy)(buffer, 1),
            static_cast<void*>(buffer));
  CNodeList* list = new (std::nothrow) CNodeList();
  list->AddTail(nullptr);
  EXPECT_EQ(view::Slot<view::DestroyFn>(list, view::kListDestroy)(list, 1),
            static_cast<void*>(list));
}

TEST_F(CompanionViewTest, TreeSlotsAnswerForEveryKind) {
  const uint32_t kinds[] = {NODE_KIND_BRANCH, NODE_KIND_ENTRY, NODE_KIND_QUERY_TERM,
                            NODE_KIND_CATEGORY};
  for (uint32_t kind : kinds) {
    SCOPED_TRACE(kind);
    void* parent = CreateNodeOfKind(kind, "P");
    void* a = CreateNodeOfKind(kind, "A");
    void* b = CreateNodeOfKind(kind, "B");
    // Link as the companion does: its own cell at the end, then SetParent.
    for (void* child : {a, b}) {
      view::Cell* cell = static_cast<view::Cell*>(store_heap::Allocate(sizeof(view::Cell)));
      cell->node = child;
      cell->next = nullptr;
      view::Cell* last = &static_cast<view::Named*>(parent)->children.head;
      while (last->next) last = last->next;
      last->next = cell;
      view::Slot<view::SetNodeFn>(child, view::kSetParent)(child, parent);
    }
    EXPECT_EQ(view::Slot<view::NodeFn>(a, view::kGetParent)(a), parent);
    EXPECT_EQ(view::Slot<view::CountFn>(parent, view::kGetChildCount)(parent), 2);
    EXPECT_EQ(view::Slot<view::NodeFn>(parent, view::kGetFirstChild)(parent), a);
    EXPECT_EQ(view::Slot<view::NodeFn>(a, view::kGetNextSibling)(a), b);
    EXPECT_EQ(view::Slot<view::NodeFn>(b, view::kGetNextSibling)(b), nullptr);
    EXPECT_EQ(view::Slot<view::NodeFn>(b, view::kGetFirstChild)(b), nullptr);
    EXPECT_FALSE(view::Slot<view::FlagFn>(a, view::kGetBranchFlag)(a));
    view::Slot<view::DestroyFn>(parent, view::kDestroy)(parent, 1);
  }
}

TEST_F(CompanionViewTest, TheEntrysEightOperations) {
  void* entry = CreateNodeOfKind(NODE_KIND_ENTRY, "E1\\Subject");
  view::StrBuf* home = reinterpret_cast<view::StrBuf*>(CStrBuf::Create("Home"));
  view::StrBuf* work = reinterpret_cast<view::StrBuf*>(CStrBuf::Create("Work"));

  EXPECT_STREQ(view::Slot<view::TextFn>(entry, view::kGetCategories)(entry), "");
  view::Slot<view::SetTextFn>(entry, view::kSetCategories)(entry, "Work");
  EXPECT_STREQ(view::Slot<view::TextFn>(entry, view::kGetCategories)(entry), "Work");
  EXPECT_FALSE(view::Slot<view::CategoryFn>(entry, view::kAddCategory)(entry, work));
  EXPECT_TRUE(view::Slot<view::CategoryFn>(entry, view::kAddCategory)(entry, home));
  EXPECT_STREQ(view::Slot<view::TextFn>(entry, view::kGetCategories)(entry), "Work,Home");
  EXPECT_TRUE(view::Slot<view::CategoryFn>(entry, view::kRemoveCategory)(entry, work));
  EXPECT_FALSE(view::Slot<view::CategoryFn>(entry, view::kRemoveCategory)(entry, work));
  EXPECT_STREQ(view::Slot<view::TextFn>(entry, view::kGetCategories)(entry), "Home");

  EXPECT_STREQ(view::Slot<view::PathFn>(entry, view::kGetFullPathFromUserData)(entry, false),
               "GetFullPathFromUserData called incorrectly");
  view::Slot<view::SetTextFn>(entry, view::kSetUserData)(entry, "C:\\dir\\file.txt");
  EXPECT_STREQ(view::Slot<view::PathFn>(entry, view::kGetFullPathFromUserData)(entry, true),
               "file.txt");
  EXPECT_STREQ(view::Slot<view::PathFn>(entry, view::kGetFullPathFromUserData)(entry, false),
               "C:\\dir\\file.txt");

  view::Slot<view::NotifyFn>(entry, view::kNotify)(entry, 1, 2);
  uint32_t code = 77;
  EXPECT_EQ(view::Slot<view::InfoFn>(entry, view::kGetInfoCode)(entry, &code), 3);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(view::Slot<view::InfoFn>(entry, view::kGetInfoCode)(entry, nullptr), 3);

  for (view::StrBuf* buffer : {home, work}) {
    view::Slot<view::DestroyFn>(buffer, view::kStrBufDestroy)(buffer, 1);
  }
  view::Slot<view::DestroyFn>(entry, view::kDestroy)(entry, 1);
}

TEST_F(CompanionViewTest, RecordSlotsAtTheRecordPart) {
  struct Case {
    uint32_t kind;
    int32_t depth;
  };
  const Case cases[] = {{NODE_KIND_NAMED, 1},
                        {NODE_KIND_BRANCH, 2},
                        {NODE_KIND_ENTRY, 3},
                        {NODE_KIND_QUERY_TERM, 3},
                        {NODE_KIND_CATEGORY, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    void* node = CreateNodeOfKind(c.kind, "ab");
    void* record = view::RecordPart(node);
    EXPECT_EQ(view::RecordSlot<view::IdFn>(node, view::kGetTypeId)(record), c.kind);
    EXPECT_EQ(view::RecordSlot<view::CountFn>(node, view::kGetTypeDepth)(record), c.depth);
    const int32_t size = view::RecordSlot<view::CountFn>(node, view::kGetRecordSize)(record);
    EXPECT_EQ(size, 30 + 4 * c.depth);
    std::string bytes(static_cast<size_t>(size), '\xCC');
    uint8_t* buffer = reinterpret_cast<uint8_t*>(&bytes[0]);
    EXPECT_EQ(view::RecordSlot<view::SaveFn>(node, view::kSave)(record, buffer, 0), size);
    EXPECT_EQ(store_test::WordAt(buffer), 0xE6010000u);
    EXPECT_EQ(store_test::WordAt(buffer + 4), static_cast<uint32_t>(c.depth));
    EXPECT_EQ(store_test::WordAt(buffer + 8), c.kind);
    EXPECT_EQ(bytes.substr(bytes.size() - 14, 2), "ab");

    // Load back into another node, through its record part.
    void* other = CreateNodeOfKind(c.kind, "something else");
    void* otherRecord = view::RecordPart(other);
    EXPECT_EQ(view::RecordSlot<view::LoadFn>(other, view::kLoad)(otherRecord, buffer, 0), size);
    EXPECT_STREQ(static_cast<view::Named*>(other)->name.text, "ab");
    view::Slot<view::DestroyFn>(other, view::kDestroy)(other, 1);
    view::Slot<view::DestroyFn>(node, view::kDestroy)(node, 1);
  }
}

TEST_F(CompanionViewTest, BufferAndListSlots) {
  CStrBuf* buffer = CStrBuf::Create("abc");
  view::StrBuf* seen = reinterpret_cast<view::StrBuf*>(buffer);
  view::Slot<view::AssignFn>(buffer, view::kAssign)(buffer, "hello");
  EXPECT_STREQ(seen->text, "hello");
  EXPECT_EQ(seen->capacity, 6);
  // Only the low byte of keep counts.
  view::Slot<view::ReserveFn>(buffer, view::kReserve)(buffer, 10, 0xFF01u);
  EXPECT_STREQ(seen->text, "hello");
  EXPECT_EQ(seen->capacity, 10);
  view::Slot<view::ReserveFn>(buffer, view::kReserve)(buffer, 20, 0x0100u);
  EXPECT_STREQ(seen->text, "");
  EXPECT_EQ(seen->capacity, 20);
  view::Slot<view::DestroyFn>(buffer, view::kStrBufDestroy)(buffer, 1);

  CNodeList* list = new (std::nothrow) CNodeList();
  list->AddTail(nullptr);
  list->AddTail(nullptr);
  EXPECT_EQ(view::Slot<view::CountFn>(list, view::kGetCount)(list), 2);
  view::Slot<view::VoidFn>(list, view::kRemoveAll)(list);
  EXPECT_EQ(view::Slot<view::CountFn>(list, view::kGetCount)(list), 0);
  EXPECT_EQ(reinterpret_cast<view::List*>(list)->head.next, nullptr);
  view::Slot<view::DestroyFn>(list, view::kListDestroy)(list, 1);
}

}  // namespace
