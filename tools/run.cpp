#include <ctime>
#include <new>

#include "addin/addin.h"
#include "host/outlook_sim.h"
#include "host/outlook_variant.h"
#include "host/shell_store_model.h"
#include "host/shell_store_stand_in.h"
#include "platform/emulation.h"
#include "server/module.h"
#include "store/entry_node.h"
#include "store/node.h"
#include "tools/replay.h"
#include "tools/text.h"

namespace replay {

namespace {

// A detached node for a scenario node, with its subtree; null when memory
// ran out (nothing is left behind then).  Depth is bounded by the reader's
// nesting limit.
CStoreNode* BuildNode(const ScenarioNode& source) {
  std::string name = Utf8ToAnsi(source.name);
  CNamedNode* node;
  if (source.kind == NODE_KIND_QUERY_FOLDER) {
    node = new (std::nothrow) CQueryFolderNode(name.c_str());
  } else {
    node = CreateNodeOfKind(source.kind, name.c_str());
  }
  if (node == nullptr) return nullptr;
  if (source.kind == NODE_KIND_ENTRY) {
    CEntryNode* entry = static_cast<CEntryNode*>(node);
    if (source.hasCategories) entry->SetCategories(Utf8ToAnsi(source.categories).c_str());
    if (source.hasUserData) entry->SetUserData(Utf8ToAnsi(source.userData).c_str());
    if (source.hasItemClass) entry->SetItemClass(source.itemClass);
    if (source.hasNodeValue) entry->SetNodeValue(source.nodeValue);
  }
  for (const ScenarioNode& child : source.children) {
    CStoreNode* built = BuildNode(child);
    if (built == nullptr || !node->AppendChild(built)) {
      if (built != nullptr) built->Destroy(1);
      node->Destroy(1);
      return nullptr;
    }
  }
  return node;
}

void SetClock(const LocalTime* now) {
  if (now != nullptr) {
    // The scenario's time is the local time; with the zone at UTC it is
    // also the system time.
    emu::SetLocalTimeOffsetMinutes(0);
    uint64_t ticks = ToFileTimeTicks(*now);
    FILETIME utc;
    utc.dwLowDateTime = static_cast<DWORD>(ticks);
    utc.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    emu::SetSystemTime(utc);
    return;
  }
  emu::UseRealClock();
  std::time_t seconds = std::time(nullptr);
  std::tm local;
  if (localtime_r(&seconds, &local) != nullptr) {
    emu::SetLocalTimeOffsetMinutes(static_cast<int32_t>(local.tm_gmtoff / 60));
  }
}

VARIANT PropertyVariant(const ItemProperty& property) {
  switch (property.kind) {
    case ItemProperty::Kind::kString:
      return outlook_sim::VariantFromUtf8(property.text);
    case ItemProperty::Kind::kInteger:
      return outlook_sim::VariantFromI4(property.integer);
    case ItemProperty::Kind::kDate:
      return outlook_sim::VariantFromDate(
          property.date.year, property.date.month, property.date.day,
          property.date.hour, property.date.minute, property.date.second);
    case ItemProperty::Kind::kEmpty:
      break;
  }
  return outlook_sim::VariantEmpty();
}

// Sends one event the way Outlook's event source does: the item as the one
// VT_DISPATCH argument, holding a reference of its own during the call.
HRESULT SendEvent(IDispatch* addin, outlook_sim::OutlookSim* sim,
                  const ScenarioEvent& event) {
  DISPPARAMS params = {nullptr, nullptr, 0, 0};
  VARIANT argument;
  VariantInit(&argument);
  IDispatch* item = nullptr;
  if (event.hasItem) {
    outlook_sim::SimItem* simItem = sim->NewItem();
    if (simItem != nullptr) {
      for (const ItemProperty& property : event.item) {
        simItem->SetProperty(property.name, PropertyVariant(property));
      }
      item = simItem->Dispatch();
      item->AddRef();
    }
    argument.vt = VT_DISPATCH;
    argument.pdispVal = item;
    params.rgvarg = &argument;
    params.cArgs = 1;
  }
  HRESULT hr = addin->Invoke(event.dispid, IID_NULL, LOCALE_USER_DEFAULT,
                             DISPATCH_METHOD, &params, nullptr, nullptr,
                             nullptr);
  if (item != nullptr) item->Release();
  return hr;
}

HRESULT CreateAddin(IDispatch** addin) {
  *addin = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = DllGetClassObject(CLSID_MyAddin, IID_IClassFactory,
                                 reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  if (factory == nullptr) return E_POINTER;
  hr = factory->CreateInstance(nullptr, IID_IDispatch,
                               reinterpret_cast<void**>(addin));
  factory->Release();
  if (SUCCEEDED(hr) && *addin == nullptr) hr = E_POINTER;
  return hr;
}

}  // namespace

bool RunScenario(const Scenario& scenario, const LocalTime* now,
                 Outcome* outcome, std::string* error) {
  *outcome = Outcome();
  emu::Reset();
  SetClock(now);

  CStoreNode* root = BuildNode(scenario.store);
  if (root == nullptr) {
    *error = "out of memory while building the store";
    emu::Reset();
    return false;
  }

  bool ok = true;
  {
    // The model's document is pointed at the scenario's root, which need not
    // be a branch named like the model's own; the model keeps and destroys
    // only its own root.
    ShellStoreModel model(ShellStoreModel::Shape::kEmptyRoot);
    model.Handle()->document->root = root;
    for (size_t i = 0; i < scenario.windows.size(); ++i) {
      model.SetWindow(static_cast<int>(i), scenario.windows[i].inUse,
                      reinterpret_cast<HWND>(
                          static_cast<uintptr_t>(scenario.windows[i].window)));
    }
    RegisterShellStoreStandIn(&model);

    outlook_sim::OutlookSim sim;
    IDispatch* addin = nullptr;
    HRESULT hr = CreateAddin(&addin);
    if (FAILED(hr)) {
      *error = "cannot create the add-in: " + HresultName(hr);
      ok = false;
    } else {
      for (size_t i = 0; i < scenario.events.size(); ++i) {
        size_t postsBefore = emu::PostedMessages().size();
        EventRecord record;
        record.dispid = scenario.events[i].dispid;
        record.hresult = SendEvent(addin, &sim, scenario.events[i]);
        outcome->events.push_back(record);
        const std::vector<emu::PostedMessage>& posted = emu::PostedMessages();
        for (size_t k = postsBefore; k < posted.size(); ++k) {
          PostRecord post;
          post.event = i;
          post.window = static_cast<uint32_t>(
              reinterpret_cast<uintptr_t>(posted[k].window));
          post.message = posted[k].message;
          post.wParam = static_cast<uint32_t>(posted[k].wParam);
          post.lParam = static_cast<int32_t>(posted[k].lParam);
          outcome->posts.push_back(post);
        }
      }
      addin->Release();
      outcome->store = StoreToJson(root);
    }
    UnregisterShellStoreStandIn();
  }
  root->Destroy(1);
  emu::Reset();
  return ok;
}

}  // namespace replay
