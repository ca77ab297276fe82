#include "server/registration.h"

#include <cstdio>
#include <cstring>

#include "platform/com.h"
#include "platform/kernel.h"
#include "server/module.h"
#include "server/module_counts.h"

namespace {

const char kClassId[] = "{3A7F9C21-5B0D-4E62-9D18-C4E7A2B65F03}";
const char kProgId[] = "BrindleAddin.BRAddin";
const char kDescription[] = "My Brindle Outlook Addin";
const char kHostApplication[] = "Outlook";
const char kAddinsKeyBefore[] = "Software\\Microsoft\\Office\\";
const char kAddinsKeyBetween[] = "\\Addins\\";
const DWORD kLoadBehavior = 3;

const DWORD kModulePathSize = 512;
const size_t kClassKeySize = 512;
const size_t kKeyPathSize = 1024;
const DWORD kSubkeyNameSize = 256;

// Owns an open registry key; closes it when it goes out of scope.
class RegKey {
 public:
  RegKey() : key_(nullptr) {}
  ~RegKey() { Close(); }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  HKEY Get() const { return key_; }
  // For the open and create calls: the guard must be empty.
  PHKEY Put() { return &key_; }
  void Close() {
    if (key_ != nullptr) RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_;
};

LONG CreateKey(HKEY root, LPCSTR path, RegKey* key) {
  return RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                         KEY_ALL_ACCESS, nullptr, key->Put(), nullptr);
}

void SetText(HKEY key, LPCSTR name, LPCSTR text) {
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                 static_cast<DWORD>(std::strlen(text) + 1));
}

void SetWord(HKEY key, LPCSTR name, DWORD value) {
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                 sizeof(value));
}

// Builds the add-in key path; false when it doesn't fit.
bool BuildAddinKeyPath(LPCSTR application, LPCSTR progId, char* path,
                       size_t size) {
  int length = std::snprintf(path, size, "%s%s%s%s", kAddinsKeyBefore,
                             application, kAddinsKeyBetween, progId);
  return length >= 0 && static_cast<size_t>(length) < size;
}

}  // namespace

bool WriteKeyDefault(HKEY root, LPCSTR keyPath, LPCSTR subkey, LPCSTR text) {
  char path[kKeyPathSize];
  int length = subkey != nullptr
                   ? std::snprintf(path, sizeof(path), "%s\\%s", keyPath, subkey)
                   : std::snprintf(path, sizeof(path), "%s", keyPath);
  if (length < 0 || static_cast<size_t>(length) >= sizeof(path)) return false;

  RegKey key;
  if (CreateKey(root, path, &key) != ERROR_SUCCESS) return false;
  if (text != nullptr) SetText(key.Get(), nullptr, text);
  return true;
}

HRESULT WriteAddinKey(LPCSTR application, LPCSTR progId, LPCSTR description,
                      DWORD loadBehavior) {
  char path[kKeyPathSize];
  if (!BuildAddinKeyPath(application, progId, path, sizeof(path))) {
    return E_ACCESSDENIED;
  }
  RegKey key;
  if (CreateKey(HKEY_CURRENT_USER, path, &key) != ERROR_SUCCESS) {
    return E_ACCESSDENIED;
  }
  SetWord(key.Get(), "LoadBehavior", loadBehavior);
  SetWord(key.Get(), "CommandLineSafe", 0);
  if (description != nullptr) {
    SetText(key.Get(), "FriendlyName", description);
    SetText(key.Get(), "Description", description);
  }
  return S_OK;
}

LONG DeleteAddinKey(LPCSTR application, LPCSTR progId) {
  char path[kKeyPathSize];
  if (!BuildAddinKeyPath(application, progId, path, sizeof(path))) {
    return ERROR_INVALID_PARAMETER;
  }
  return DeleteKeyRecursive(HKEY_CURRENT_USER, path);
}

LONG DeleteKeyRecursive(HKEY root, LPCSTR subkey) {
  RegKey key;
  LONG error = RegOpenKeyExA(root, subkey, 0, KEY_ALL_ACCESS, key.Put());
  if (error != ERROR_SUCCESS) return error;
  for (;;) {
    // Always index 0: each deleted subkey moves the next one up.
    char name[kSubkeyNameSize];
    DWORD nameSize = kSubkeyNameSize;
    if (RegEnumKeyExA(key.Get(), 0, name, &nameSize, nullptr, nullptr,
                      nullptr, nullptr) != ERROR_SUCCESS) {
      key.Close();
      return RegDeleteKeyA(root, subkey);
    }
    error = DeleteKeyRecursive(key.Get(), name);
    if (error != ERROR_SUCCESS) return error;
  }
}

STDAPI DllRegisterServer(void) {
  char modulePath[kModulePathSize];
  DWORD length = GetModuleFileNameA(g_moduleHandle, modulePath,
                                    kModulePathSize);
  // A path that filled the whole buffer was cut short; registering it would
  // point COM at a file that doesn't exist.
  if (length == 0 || length >= kModulePathSize) return E_FAIL;

  char classKey[kClassKeySize];
  std::snprintf(classKey, sizeof(classKey), "CLSID\\%s", kClassId);

  struct DefaultEntry {
    LPCSTR key;
    LPCSTR subkey;
    LPCSTR text;
  };
  // Entries 1 to 5, in the order they are written.
  const DefaultEntry entries[] = {
      {classKey, nullptr, kDescription},
      {classKey, "InprocServer32", modulePath},
      {classKey, "ProgID", kProgId},
      {kProgId, nullptr, kDescription},
      {kProgId, "CLSID", kClassId},
  };
  for (const DefaultEntry& entry : entries) {
    // A key that can't be written is skipped; the others still are.
    WriteKeyDefault(HKEY_CLASSES_ROOT, entry.key, entry.subkey, entry.text);
  }
  return WriteAddinKey(kHostApplication, kProgId, kDescription, kLoadBehavior);
}

STDAPI DllUnregisterServer(void) {
  char classKey[kClassKeySize];
  std::snprintf(classKey, sizeof(classKey), "CLSID\\%s", kClassId);
  DeleteKeyRecursive(HKEY_CLASSES_ROOT, classKey);
  DeleteKeyRecursive(HKEY_CLASSES_ROOT, kProgId);
  DeleteAddinKey(kHostApplication, kProgId);
  return S_OK;
}
