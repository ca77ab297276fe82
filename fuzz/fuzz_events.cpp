// Item events against random stores.  Each input builds a store in the
// companion stand-in (categories including built-in names, duplicates and
// odd names; FileList entries with and without lists, attribute records and
// user data, and nodes of other kinds among them; nested query folders with
// random queries, "__Fs.dat" entries and stale results in QueryTree) and
// sends a sequence of item events through the add-in's Invoke, with items of
// the simulated Outlook whose properties change between events (missing,
// wrong types, long texts).  After every event:
// - the tree is well formed: every child's parent link points to the node
//   that lists it, and no node is listed twice;
// - the entry the event filed carries at least one category, or is no
//   longer in FileList;
// - every query folder holds, after its other children, exactly one result
//   per FileList entry that satisfies its query, in FileList order (checked
//   with a reference evaluator of the query table and of the rewrite), and no
//   other entry is left in QueryTree but a "__Fs.dat" directly below it;
// - no COM reference, BSTR or companion object is left over.
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "addin/addin.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/reference_query.h"
#include "host/outlook_sim.h"
#include "host/outlook_variant.h"
#include "host/shell_store_model.h"
#include "host/shell_store_stand_in.h"
#include "platform/emulation.h"
#include "store/entry_node.h"
#include "store/node.h"

namespace {

using outlook_sim::OleString;
using outlook_sim::OutlookSim;
using outlook_sim::SimItem;

template <typename T, size_t N>
const T& Pick(FuzzInput* input, const T (&table)[N]) {
  return table[input->Below(N)];
}

const char* const kCategoryNames[] = {
    "Work", "Home", "Outlook Item", "Outlook Mail", "Outlook Flag",
    "Outlook Flag Complete", "Outlook Flag Red", "Outlook Task Complete",
    "Outlook Task Active", "Outlook Task Inactive", "Outlook Appt Today",
    "Outlook Appt Future", "Outlook Appt Past", "Outlook Appt", "Outlook Task",
    "Outlook Note", "", "Wo", "a,b", " Work", "AND"};
const char* const kQueryNames[] = {"Work", "Home", "Outlook Item", "Outlook Mail",
                                   "Outlook Flag", "Outlook Appt Today",
                                   "AND", "OR", "NOT", "__QuerySpec", "", "Wo"};
const char* const kEntryIds[] = {"ID1", "ID2", "00AB", "", "C:"};
const char* const kSubjects[] = {"Subj", "Re: plan", "dir\\file", "", "Caf\xc3\xa9"};
const char* const kCategoryTexts[] = {
    "", "Work", "Work, Home", "Home,Work", "Homework", "Outlook Item",
    "Outlook Flag Complete", "work", "Work;Home", ",,Work,,"};
const int32_t kClasses[] = {26, 40, 43, 44, 48, 45, 0};

// 2024-05-15 12:00 UTC in 100-ns ticks since 1601.
const uint64_t kNowTicks = 133602480000000000ull;

std::string ExpectedText(const char* utf8) {
  // The add-in's code page is Windows-1252; the only non-ASCII text used
  // here is "é".
  std::string text;
  for (const char* at = utf8; *at; ++at) {
    if (static_cast<uint8_t>(at[0]) == 0xC3 && static_cast<uint8_t>(at[1]) == 0xA9) {
      text.push_back(static_cast<char>(0xE9));
      ++at;
    } else {
      text.push_back(*at);
    }
  }
  return text;
}

uint32_t KindOf(CStoreNode* node) { return AsNamed(node)->GetTypeId(); }

CStoreNode* FirstChildNamed(CStoreNode* parent, const char* name) {
  if (parent == nullptr) return nullptr;
  for (NodeCell* cell = parent->children.First(); cell; cell = cell->next) {
    if (std::strcmp(NameOf(cell->node), name) == 0) return cell->node;
  }
  return nullptr;
}

// A query folder's answer for one entry: the rewrite's meaning when the
// query has its pattern, the table's otherwise.
bool FolderMatches(CStoreNode* spec, const std::vector<std::string>& tokens) {
  NodeCell* top = spec->children.First();
  if (top && std::strcmp(NameOf(top->node), "OR") == 0) {
    int plain = 0;
    int negated = 0;
    bool some = false;
    bool none = true;
    for (NodeCell* cell = top->node->children.First(); cell; cell = cell->next) {
      if (std::strcmp(NameOf(cell->node), "NOT") != 0) {
        ++plain;
        some = some || Reference(cell->node, tokens);
      } else if (NodeCell* inner = cell->node->children.First()) {
        ++negated;
        none = none && !Reference(inner->node, tokens);
      }
    }
    if (plain > 0 && negated > 0) return some && none;
  }
  return Reference(spec, tokens);
}

std::string DisplayName(CEntryNode* entry) {
  if (entry->block3.length != 0 && entry->block3.data != nullptr) {
    return reinterpret_cast<const char*>(entry->block3.data);
  }
  const std::string name = entry->GetName();
  const size_t slash = name.rfind('\\');
  if (slash == std::string::npos) return name;
  if (name.size() == 3 && name[1] == ':' && name[2] == '\\') return name;
  return name.substr(slash + 1);
}

int32_t ItemClassOf(CEntryNode* entry) {
  const DataBlock& block = entry->block1;
  if (block.data == nullptr || block.length < 12) return 0;
  uint32_t words[3];
  std::memcpy(words, block.data, sizeof words);
  return words[0] == 0 ? 0 : static_cast<int32_t>(words[2]);
}

// Every node reachable from the root, checking parent links and that no
// node is listed twice.
void CheckWellFormed(CStoreNode* root) {
  std::unordered_set<CStoreNode*> seen;
  std::vector<CStoreNode*> pending(1, root);
  seen.insert(root);
  while (!pending.empty()) {
    CStoreNode* node = pending.back();
    pending.pop_back();
    for (NodeCell* cell = node->children.First(); cell; cell = cell->next) {
      if (cell->node == nullptr) FuzzFail("null child under \"%s\"", NameOf(node));
      if (cell->node->GetParent() != node) {
        FuzzFail("\"%s\" under \"%s\" has another parent", NameOf(cell->node), NameOf(node));
      }
      if (!seen.insert(cell->node).second) FuzzFail("\"%s\" listed twice", NameOf(cell->node));
      pending.push_back(cell->node);
    }
  }
}

void CheckQueryTree(CStoreNode* root) {
  CStoreNode* fileList = FirstChildNamed(root, "FileList");
  CStoreNode* queryTree = FirstChildNamed(root, "QueryTree");
  if (queryTree == nullptr) return;
  std::vector<CEntryNode*> sources;
  std::vector<std::vector<std::string>> sourceTokens;
  if (fileList != nullptr) {
    for (NodeCell* cell = fileList->children.First(); cell; cell = cell->next) {
      if (KindOf(cell->node) != NODE_KIND_ENTRY) continue;
      auto* entry = static_cast<CEntryNode*>(cell->node);
      sources.push_back(entry);
      sourceTokens.push_back(Tokens(entry->GetCategories()));
    }
  }
  struct Pending {
    CStoreNode* node;
    int depth;
  };
  std::vector<Pending> pending(1, {queryTree, 0});
  while (!pending.empty()) {
    const Pending at = pending.back();
    pending.pop_back();
    CStoreNode* node = at.node;
    const bool folder = KindOf(node) == NODE_KIND_QUERY_FOLDER;
    CStoreNode* spec = folder ? FirstChildNamed(node, "__QuerySpec") : nullptr;
    size_t next = 0;  // the next source expected among the results
    for (NodeCell* cell = node->children.First(); cell; cell = cell->next) {
      CStoreNode* child = cell->node;
      pending.push_back({child, at.depth + 1});
      if (KindOf(child) != NODE_KIND_ENTRY) continue;
      if (at.depth == 0 && std::strcmp(NameOf(child), "__Fs.dat") == 0) continue;
      if (!folder || spec == nullptr || fileList == nullptr) {
        FuzzFail("entry \"%s\" left under \"%s\"", NameOf(child), NameOf(node));
      }
      while (next < sources.size() && !FolderMatches(spec, sourceTokens[next])) ++next;
      if (next == sources.size()) FuzzFail("extra result \"%s\" in \"%s\"", NameOf(child), NameOf(node));
      auto* result = static_cast<CEntryNode*>(child);
      CEntryNode* source = sources[next++];
      const char* userData = result->block3.data
                                 ? reinterpret_cast<const char*>(result->block3.data) : "";
      if (DisplayName(source) != result->GetName() ||
          std::strcmp(userData, source->GetName()) != 0 ||
          result->block2.length != 0 || ItemClassOf(result) != ItemClassOf(source)) {
        FuzzFail("result \"%s\" in \"%s\" does not stand for \"%s\"",
                 NameOf(child), NameOf(node), source->GetName());
      }
      if (cell->next != nullptr && KindOf(cell->next->node) != NODE_KIND_ENTRY) {
        FuzzFail("results of \"%s\" are not its last children", NameOf(node));
      }
    }
    if (spec != nullptr && fileList != nullptr) {
      while (next < sources.size() && !FolderMatches(spec, sourceTokens[next])) ++next;
      if (next != sources.size()) {
        FuzzFail("\"%s\" lacks the result for \"%s\"", NameOf(node), sources[next]->GetName());
      }
    }
  }
}

CStoreNode* MakeQuery(FuzzInput* input, int depth, int* budget) {
  CStoreNode* node = CreateNodeOfKind(
      input->Below(6) == 0 ? NODE_KIND_BRANCH : NODE_KIND_QUERY_TERM, Pick(input, kQueryNames));
  --*budget;
  const uint32_t children = depth < 4 ? input->Below(4) : 0;
  for (uint32_t i = 0; i < children && *budget > 0; ++i) {
    ShellStoreModel::Link(node, MakeQuery(input, depth + 1, budget));
  }
  return node;
}

void AddQueryFolders(FuzzInput* input, ShellStoreModel* model, CStoreNode* parent,
                     int depth, int* budget) {
  const uint32_t count = input->Below(depth == 0 ? 4 : 3);
  for (uint32_t i = 0; i < count && *budget > 0; ++i) {
    const uint32_t what = input->Below(8);
    if (what == 0) {  // a stale result, or the companion's file marker
      ShellStoreModel::Link(parent, new (std::nothrow) CEntryNode(
                                        input->Bool() ? "__Fs.dat" : "old\\result"));
      --*budget;
      continue;
    }
    if (what == 1) {  // a plain branch that may hold folders of its own
      CStoreNode* branch = ShellStoreModel::Link(parent, CreateNodeOfKind(NODE_KIND_BRANCH, "group"));
      --*budget;
      if (depth < 4) AddQueryFolders(input, model, branch, depth + 1, budget);
      continue;
    }
    CQueryFolderNode* folder = model->AddQueryFolder(parent, "folder", nullptr);
    --*budget;
    if (input->Below(5) != 0) {
      CStoreNode* spec = ShellStoreModel::Link(
          folder, CreateNodeOfKind(NODE_KIND_QUERY_TERM, "__QuerySpec"));
      const uint32_t terms = input->Below(5) == 0 ? 2 : 1;
      for (uint32_t t = 0; t < terms; ++t) ShellStoreModel::Link(spec, MakeQuery(input, 0, budget));
    }
    if (input->Below(4) == 0) {
      ShellStoreModel::Link(folder, new (std::nothrow) CEntryNode("stale"));
    }
    if (depth < 4) AddQueryFolders(input, model, folder, depth + 1, budget);
  }
}

void BuildStore(FuzzInput* input, ShellStoreModel* model) {
  // Top-level folders: usually the three, sometimes one missing or doubled.
  const char* const folders[] = {"CategoryTree", "FileList", "QueryTree"};
  for (const char* name : folders) {
    const uint32_t copies = input->Below(10) == 0 ? input->Below(3) : 1;
    for (uint32_t i = 0; i < copies; ++i) model->AddFolder(name);
  }
  const uint32_t categories = input->Below(10);
  for (uint32_t i = 0; i < categories; ++i) model->AddCategory(Pick(input, kCategoryNames));

  if (CStoreNode* fileList = model->Folder("FileList")) {
    const uint32_t entries = input->Below(8);
    for (uint32_t i = 0; i < entries; ++i) {
      const std::string name = std::string(Pick(input, kEntryIds)) + "\\" +
                               ExpectedText(Pick(input, kSubjects));
      const uint32_t what = input->Below(8);
      if (what == 0) {  // another kind, possibly bearing an item's name
        ShellStoreModel::Link(fileList, CreateNodeOfKind(
            input->Bool() ? NODE_KIND_CATEGORY : NODE_KIND_BRANCH, name.c_str()));
        continue;
      }
      const char* list = input->Below(4) == 0 ? nullptr : Pick(input, kCategoryTexts);
      CEntryNode* entry = model->AddFileEntry(
          name.c_str(), list, input->Below(4) == 0 ? "C:\\docs\\note.txt" : nullptr);
      if (input->Bool()) entry->SetItemClass(Pick(input, kClasses));
    }
  }
  int budget = 60;
  if (CStoreNode* queryTree = model->Folder("QueryTree")) {
    AddQueryFolders(input, model, queryTree, 0, &budget);
  }
}

void SetText(SimItem* item, const char* name, const std::string& utf8) {
  item->SetProperty(name, outlook_sim::VariantFromUtf8(utf8));
}

// Changes one property of item, or removes it, or gives it a wrong type.
void ChangeProperty(FuzzInput* input, SimItem* item) {
  const char* const names[] = {"EntryID", "Subject", "Categories", "FlagStatus",
                               "FlagIcon", "Status", "Start", "Class"};
  const uint32_t which = input->Below(8);
  const char* name = names[which];
  const uint32_t how = input->Below(10);
  if (how == 0) {
    item->RemoveProperty(name);
    return;
  }
  if (how == 1) {  // the wrong type for this property
    if (which <= 2) {
      item->SetProperty(name, input->Bool() ? outlook_sim::VariantFromI4(43)
                                            : outlook_sim::VariantFromDate(2024, 5, 15));
    } else {
      item->SetProperty(name, input->Bool() ? outlook_sim::VariantFromUtf8("2")
                                            : outlook_sim::VariantFromBool(true));
    }
    return;
  }
  switch (which) {
    case 0: SetText(item, name, Pick(input, kEntryIds)); break;
    case 1:
      if (input->Below(6) == 0) {
        SetText(item, name, std::string(200 + input->Below(200), 's'));
      } else {
        SetText(item, name, Pick(input, kSubjects));
      }
      break;
    case 2:
      if (input->Below(6) == 0) {
        item->SetProperty(name, outlook_sim::VariantFromString(nullptr));
      } else {
        SetText(item, name, Pick(input, kCategoryTexts));
      }
      break;
    case 3: item->SetProperty(name, outlook_sim::VariantFromI4(static_cast<LONG>(input->Below(4)))); break;
    case 4: item->SetProperty(name, outlook_sim::VariantFromI4(static_cast<LONG>(input->Below(8)))); break;
    case 5: item->SetProperty(name, outlook_sim::VariantFromI4(static_cast<LONG>(input->Below(7)) - 1)); break;
    case 6: {
      static const int kStarts[][4] = {{2024, 5, 15, 8}, {2024, 5, 15, 18}, {2024, 5, 16, 9},
                                       {2023, 1, 1, 0}, {1970, 1, 1, 0}, {2024, 5, 15, 12}};
      const int* start = Pick(input, kStarts);
      item->SetProperty(name, outlook_sim::VariantFromDate(start[0], start[1], start[2], start[3]));
      break;
    }
    default: item->SetProperty(name, outlook_sim::VariantFromI4(Pick(input, kClasses))); break;
  }
}

// The text the add-in reads from a property: a string's text, else empty.
std::string ReadText(SimItem* item, const char* name) {
  const VARIANT* value = item->PropertyValue(name);
  if (value == nullptr || value->vt != VT_BSTR || value->bstrVal == nullptr) return "";
  return ExpectedText(outlook_sim::BstrToUtf8(value->bstrVal).c_str());
}

std::vector<CStoreNode*> EntriesOf(CStoreNode* fileList) {
  std::vector<CStoreNode*> entries;
  if (fileList == nullptr) return entries;
  for (NodeCell* cell = fileList->children.First(); cell; cell = cell->next) {
    if (KindOf(cell->node) == NODE_KIND_ENTRY) entries.push_back(cell->node);
  }
  return entries;
}

// The entry an event will file: the first entry of FileList so named.
CStoreNode* FindFiled(const std::vector<CStoreNode*>& entries, const std::string& name) {
  for (CStoreNode* entry : entries) {
    if (name == NameOf(entry)) return entry;
  }
  return nullptr;
}

// existing (looked up before the event; it may be destroyed since) and any
// entry the event added.  Entries of before are compared by address only.
void CheckFiledEntry(CStoreNode* fileList, const std::vector<CStoreNode*>& before,
                     CStoreNode* existing, const std::string& name) {
  std::unordered_set<CStoreNode*> old(before.begin(), before.end());
  int added = 0;
  for (CStoreNode* node : EntriesOf(fileList)) {
    const bool isNew = old.count(node) == 0;
    if (!isNew && node != existing) continue;
    if (isNew) {
      ++added;
      if (existing != nullptr || name != NameOf(node)) {
        FuzzFail("event added \"%s\" while filing \"%s\"", NameOf(node), name.c_str());
      }
    }
    if (Tokens(static_cast<CEntryNode*>(node)->GetCategories()).empty()) {
      FuzzFail("filed entry \"%s\" kept with no category", NameOf(node));
    }
  }
  if (added > 1) FuzzFail("one event added %d entries", added);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  emu::Reset();
  FILETIME now;
  now.dwLowDateTime = static_cast<DWORD>(kNowTicks);
  now.dwHighDateTime = static_cast<DWORD>(kNowTicks >> 32);
  emu::SetSystemTime(now);
  emu::SetLocalTimeOffsetMinutes(static_cast<int32_t>(input.Below(3)) * 60 - 60);

  {
    ShellStoreModel model(ShellStoreModel::Shape::kEmptyRoot);
    BuildStore(&input, &model);
    RegisterShellStoreStandIn(&model);
    OutlookSim sim;
    CMyAddin addin;
    std::vector<SimItem*> items;
    for (int i = 0; i < 3; ++i) {
      SimItem* item = sim.NewItem();
      SetText(item, "EntryID", kEntryIds[i]);
      SetText(item, "Subject", "Subj");
      item->SetProperty("Class", outlook_sim::VariantFromI4(43));
      items.push_back(item);
    }

    bool refreshed = false;
    for (int event = 0; event < 12 && !input.Empty(); ++event) {
      SimItem* item = items[input.Below(3)];
      const uint32_t changes = input.Below(4);
      for (uint32_t i = 0; i < changes; ++i) ChangeProperty(&input, item);
      const bool documentPresent = input.Below(12) != 0;
      model.SetDocumentPresent(documentPresent);

      const DISPID ids[] = {outlook_sim::kDispidItemAdd, outlook_sim::kDispidItemChange,
                            outlook_sim::kDispidItemRemove, 0};
      const DISPID id = input.Below(6) < 4 ? ids[input.Below(2)] : ids[input.Below(4)];
      VARIANT argument;
      VariantInit(&argument);
      argument.vt = input.Below(16) == 0 ? VT_UNKNOWN : VT_DISPATCH;
      argument.pdispVal = item->Dispatch();
      DISPPARAMS params = {&argument, nullptr, 1, 0};
      const bool handled = id == outlook_sim::kDispidItemAdd ||
                           id == outlook_sim::kDispidItemChange;
      const bool filed = handled && argument.vt == VT_DISPATCH;

      CStoreNode* fileList = FirstChildNamed(model.Root(), "FileList");
      const std::vector<CStoreNode*> before = EntriesOf(fileList);
      const std::string name = ReadText(item, "EntryID") + "\\" + ReadText(item, "Subject");
      CStoreNode* existing = FindFiled(before, name);
      const int bstrs = emu::LiveBstrs();
      const int opens = model.OpenCalls();

      const HRESULT hr = addin.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                      &params, nullptr, nullptr, nullptr);
      if (hr != (handled ? S_OK : E_FAIL)) FuzzFail("Invoke(%d) answered %08x", id, hr);
      if (emu::LiveBstrs() != bstrs) FuzzFail("event left %d BSTRs", emu::LiveBstrs() - bstrs);
      if (model.LiveObjects() != 0 || model.IsOpen() || model.MismatchedCloses() != 0 ||
          model.UnexpectedCalls() != 0 || sim.TotalUnderflows() != 0) {
        FuzzFail("companion or Outlook objects misused");
      }
      if (model.OpenCalls() != opens + (filed ? 1 : 0)) FuzzFail("store opened %d times",
                                                                 model.OpenCalls() - opens);
      CheckWellFormed(model.Root());
      const bool storeRead = filed && documentPresent;
      if (storeRead) {
        CheckFiledEntry(fileList, before, existing, name);
        refreshed = true;
      } else if (EntriesOf(fileList) != before) {
        FuzzFail("an event without a store changed FileList");
      }
      if (refreshed) CheckQueryTree(model.Root());
    }
    UnregisterShellStoreStandIn();
  }
  emu::Reset();
  return 0;
}
