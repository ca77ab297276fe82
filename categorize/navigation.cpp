#include "categorize/navigation.h"

#include <cstring>
#include <new>

namespace {

bool NameEquals(CStoreNode* node, const char* name) {
  const char* own = AsNamed(node)->GetName();
  return std::strcmp(own ? own : "", name ? name : "") == 0;
}

}  // namespace

CStoreNode* FindChildByName(CStoreNode* parent, const char* name) {
  if (!parent) return nullptr;
  for (NodeCell* cell = parent->children.First(); cell; cell = cell->next) {
    if (cell->node && NameEquals(cell->node, name)) return cell->node;
  }
  return nullptr;
}

CStoreNode* GetStoreRoot(StoreHandle* store) {
  if (!store || !store->document) return nullptr;
  return store->document->root;
}

CStoreNode* FindTopFolder(StoreHandle* store, const char* name) {
  return FindChildByName(GetStoreRoot(store), name);
}

CStoreNode* FindCategory(StoreHandle* store, const char* name) {
  return FindChildByName(FindTopFolder(store, "CategoryTree"), name);
}

CEntryNode* FindEntry(StoreHandle* store, const char* name) {
  CStoreNode* fileList = FindTopFolder(store, "FileList");
  if (!fileList) return nullptr;
  for (NodeCell* cell = fileList->children.First(); cell; cell = cell->next) {
    CStoreNode* node = cell->node;
    if (!node || AsNamed(node)->GetTypeId() != NODE_KIND_ENTRY) continue;
    if (NameEquals(node, name)) return static_cast<CEntryNode*>(AsNamed(node));
  }
  return nullptr;
}

CEntryNode* CreateEntry(StoreHandle* store, const char* name) {
  CStoreNode* fileList = FindTopFolder(store, "FileList");
  if (!fileList) return nullptr;
  CEntryNode* entry = new (std::nothrow) CEntryNode(name);
  if (!entry) return nullptr;
  // Without memory for its name the node would stand for no item.
  if (!NameEquals(entry, name)) {
    entry->Destroy(1);
    return nullptr;
  }
  if (!fileList->AppendChild(entry)) {
    entry->Destroy(1);
    return nullptr;
  }
  return entry;
}

bool RemoveEmptyEntry(StoreHandle* store, CEntryNode* entry) {
  if (!entry) return false;
  const char* categories = entry->GetCategories();
  if (categories && categories[0] != '\0') return false;
  CStoreNode* fileList = FindTopFolder(store, "FileList");
  if (!fileList) return false;
  if (entry->GetParent() != fileList) return false;
  return fileList->UnlinkChild(entry);
}
