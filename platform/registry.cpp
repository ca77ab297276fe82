// The registry: an in-memory tree of keys under the two roots the add-in
// writes to, reached through handles that are real, counted objects.
//
// Key names compare case-insensitively (by their upper-case form, which is
// also the order in which subkeys are enumerated).  A deleted key stays alive
// while handles refer to it, so that every later call through such a handle
// can answer ERROR_KEY_DELETED.
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/emulation.h"
#include "platform/internal.h"
#include "platform/registry.h"

namespace {

const size_t kMaxKeyNameLength = 255;

typedef emu::RegistryValueData StoredValue;

std::string Upper(const std::string& text) {
  std::string result = text;
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

struct Key {
  std::string name;  // as first created
  Key* parent = nullptr;
  bool deleted = false;
  FILETIME lastWrite = {0, 0};
  // By upper-case name: the map's order is the enumeration order.
  std::map<std::string, std::shared_ptr<Key>> children;
  std::vector<std::pair<std::string, StoredValue>> values;
};

struct RegHandle {
  std::shared_ptr<Key> key;
  REGSAM access;
};

struct DeniedPath {
  HKEY root;
  std::vector<std::string> upperNames;
};

struct RegistryState {
  std::shared_ptr<Key> classesRoot = std::make_shared<Key>();
  std::shared_ptr<Key> currentUser = std::make_shared<Key>();
  std::unordered_map<HKEY, std::unique_ptr<RegHandle>> handles;
  std::vector<DeniedPath> denied;
};

RegistryState& State() {
  static RegistryState state;
  return state;
}

std::shared_ptr<Key> RootKey(HKEY root) {
  if (root == HKEY_CLASSES_ROOT) return State().classesRoot;
  if (root == HKEY_CURRENT_USER) return State().currentUser;
  return nullptr;
}

// The key and access behind a handle, or the error to answer.
LONG Resolve(HKEY handle, std::shared_ptr<Key>* key, REGSAM* access) {
  if (std::shared_ptr<Key> root = RootKey(handle)) {
    *key = root;
    *access = KEY_ALL_ACCESS;
    return ERROR_SUCCESS;
  }
  auto found = State().handles.find(handle);
  if (found == State().handles.end()) return ERROR_INVALID_HANDLE;
  if (found->second->key->deleted) return ERROR_KEY_DELETED;
  *key = found->second->key;
  *access = found->second->access;
  return ERROR_SUCCESS;
}

// Splits "a\b\c" into its names.  Null and "" are no names; a trailing "\"
// is tolerated, an empty name anywhere else is a bad path.
LONG SplitPath(LPCSTR path, std::vector<std::string>* names) {
  names->clear();
  if (path == nullptr) return ERROR_SUCCESS;
  std::string current;
  for (const char* p = path;; ++p) {
    if (*p == '\\' || *p == '\0') {
      if (current.empty()) {
        if (*p == '\0' && (names->empty() || p[-1] == '\\')) break;
        return ERROR_BAD_PATHNAME;
      }
      if (current.size() > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
      names->push_back(current);
      current.clear();
      if (*p == '\0') break;
    } else {
      current.push_back(*p);
    }
  }
  return ERROR_SUCCESS;
}

std::shared_ptr<Key> Descend(const std::shared_ptr<Key>& base,
                             const std::vector<std::string>& names) {
  std::shared_ptr<Key> key = base;
  for (const std::string& name : names) {
    auto found = key->children.find(Upper(name));
    if (found == key->children.end()) return nullptr;
    key = found->second;
  }
  return key;
}

// The root a key lives under and the upper-case names leading to it.
HKEY PathOf(const Key* key, std::vector<std::string>* upperNames) {
  std::vector<std::string> reversed;
  while (key->parent != nullptr) {
    reversed.push_back(Upper(key->name));
    key = key->parent;
  }
  upperNames->assign(reversed.rbegin(), reversed.rend());
  return key == State().classesRoot.get() ? HKEY_CLASSES_ROOT
                                          : HKEY_CURRENT_USER;
}

bool IsDenied(HKEY root, const std::vector<std::string>& upperNames) {
  for (const DeniedPath& denied : State().denied) {
    if (denied.root != root || denied.upperNames.size() > upperNames.size()) {
      continue;
    }
    bool prefix = true;
    for (size_t i = 0; i < denied.upperNames.size() && prefix; ++i) {
      prefix = denied.upperNames[i] == upperNames[i];
    }
    if (prefix) return true;
  }
  return false;
}

FILETIME Now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return now;
}

HKEY NewHandle(const std::shared_ptr<Key>& key, REGSAM access) {
  std::unique_ptr<RegHandle> handle(new RegHandle{key, access});
  HKEY id = reinterpret_cast<HKEY>(handle.get());
  State().handles.emplace(id, std::move(handle));
  return id;
}

}  // namespace

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD,
                     REGSAM desired, LPSECURITY_ATTRIBUTES, PHKEY result,
                     LPDWORD disposition) {
  if (result == nullptr || subKey == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::shared_ptr<Key> base;
  REGSAM baseAccess;
  LONG error = Resolve(key, &base, &baseAccess);
  if (error != ERROR_SUCCESS) return error;
  std::vector<std::string> names;
  error = SplitPath(subKey, &names);
  if (error != ERROR_SUCCESS) return error;

  std::vector<std::string> target;
  const HKEY root = PathOf(base.get(), &target);
  for (const std::string& name : names) target.push_back(Upper(name));
  if (IsDenied(root, target)) return ERROR_ACCESS_DENIED;

  std::shared_ptr<Key> current = base;
  bool created = false;
  for (const std::string& name : names) {
    std::shared_ptr<Key>& slot = current->children[Upper(name)];
    if (!slot) {
      if ((baseAccess & KEY_CREATE_SUB_KEY) == 0) {
        current->children.erase(Upper(name));
        return ERROR_ACCESS_DENIED;
      }
      slot = std::make_shared<Key>();
      slot->name = name;
      slot->parent = current.get();
      slot->lastWrite = Now();
      created = true;
    }
    current = slot;
  }
  *result = NewHandle(current, desired);
  if (disposition != nullptr) {
    *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  }
  return ERROR_SUCCESS;
}

namespace {

// The existing key at subKey below key (a root or an open handle).
LONG FindSubKey(HKEY key, LPCSTR subKey, std::shared_ptr<Key>* target) {
  std::shared_ptr<Key> base;
  REGSAM access;
  LONG error = Resolve(key, &base, &access);
  if (error != ERROR_SUCCESS) return error;
  std::vector<std::string> names;
  error = SplitPath(subKey, &names);
  if (error != ERROR_SUCCESS) return error;
  *target = Descend(base, names);
  return *target ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM desired,
                   PHKEY result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::shared_ptr<Key> target;
  LONG error = FindSubKey(key, subKey, &target);
  if (error != ERROR_SUCCESS) return error;
  *result = NewHandle(target, desired);
  return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type,
                    const BYTE* data, DWORD size) {
  std::shared_ptr<Key> target;
  REGSAM access;
  const LONG error = Resolve(key, &target, &access);
  if (error != ERROR_SUCCESS) return error;
  if ((access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  if (data == nullptr && size != 0) return ERROR_INVALID_PARAMETER;
  const std::string name = valueName != nullptr ? valueName : "";
  StoredValue value;
  value.type = type;
  if (size != 0) value.data.assign(data, data + size);
  target->lastWrite = Now();
  const std::string upperName = Upper(name);
  for (auto& existing : target->values) {
    if (Upper(existing.first) == upperName) {
      existing.second = std::move(value);
      return ERROR_SUCCESS;
    }
  }
  target->values.emplace_back(name, std::move(value));
  return ERROR_SUCCESS;
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize,
                   LPDWORD, LPSTR keyClass, LPDWORD classSize,
                   FILETIME* lastWrite) {
  std::shared_ptr<Key> target;
  REGSAM access;
  const LONG error = Resolve(key, &target, &access);
  if (error != ERROR_SUCCESS) return error;
  if ((access & KEY_ENUMERATE_SUB_KEYS) == 0) return ERROR_ACCESS_DENIED;
  if (name == nullptr || nameSize == nullptr ||
      (keyClass != nullptr && classSize == nullptr)) {
    return ERROR_INVALID_PARAMETER;
  }
  if (index >= target->children.size()) return ERROR_NO_MORE_ITEMS;
  auto child = target->children.begin();
  std::advance(child, index);
  const std::string& childName = child->second->name;
  // The size counts characters including the terminator.
  if (childName.size() + 1 > *nameSize) return ERROR_MORE_DATA;
  std::memcpy(name, childName.c_str(), childName.size() + 1);
  *nameSize = static_cast<DWORD>(childName.size());
  if (keyClass != nullptr) {
    // Keys here never have a class.
    if (*classSize > 0) keyClass[0] = '\0';
    *classSize = 0;
  }
  if (lastWrite != nullptr) *lastWrite = child->second->lastWrite;
  return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) {
  if (subKey == nullptr) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<Key> target;
  LONG error = FindSubKey(key, subKey, &target);
  if (error != ERROR_SUCCESS) return error;
  // A root can't go, and neither can a key with subkeys: Windows deletes one
  // level at a time.
  if (target->parent == nullptr || !target->children.empty()) {
    return ERROR_ACCESS_DENIED;
  }
  target->deleted = true;
  target->values.clear();
  Key* parent = target->parent;
  target->parent = nullptr;
  parent->children.erase(Upper(target->name));
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  if (RootKey(key)) return ERROR_SUCCESS;
  if (State().handles.erase(key) == 0) return ERROR_INVALID_HANDLE;
  return ERROR_SUCCESS;
}

namespace emu {

namespace {

std::shared_ptr<Key> FindKey(HKEY root, const std::string& path) {
  std::shared_ptr<Key> base = RootKey(root);
  std::vector<std::string> names;
  if (!base || SplitPath(path.c_str(), &names) != ERROR_SUCCESS) {
    return nullptr;
  }
  return Descend(base, names);
}

}  // namespace

bool RegistryKeyExists(HKEY root, const std::string& path) {
  return FindKey(root, path) != nullptr;
}

std::vector<std::pair<std::string, struct RegistryValue>> RegistryValues(
    HKEY root, const std::string& path) {
  std::shared_ptr<Key> key = FindKey(root, path);
  if (!key) return {};
  return key->values;
}

std::vector<std::string> RegistrySubKeys(HKEY root, const std::string& path) {
  std::vector<std::string> names;
  std::shared_ptr<Key> key = FindKey(root, path);
  if (!key) return names;
  for (const auto& child : key->children) names.push_back(child.second->name);
  return names;
}

bool RegistryValue(HKEY root, const std::string& path, const std::string& name,
                   struct RegistryValue* out) {
  std::shared_ptr<Key> key = FindKey(root, path);
  if (!key) return false;
  const std::string upperName = Upper(name);
  for (const auto& value : key->values) {
    if (Upper(value.first) == upperName) {
      *out = value.second;
      return true;
    }
  }
  return false;
}

void DenyKeyCreation(HKEY root, const std::string& path) {
  std::vector<std::string> names;
  SplitPath(path.c_str(), &names);
  for (std::string& name : names) name = Upper(name);
  State().denied.push_back(DeniedPath{root, names});
}

int OpenRegistryHandles() { return static_cast<int>(State().handles.size()); }

namespace internal {

void ResetRegistry() { State() = RegistryState(); }

}  // namespace internal
}  // namespace emu
