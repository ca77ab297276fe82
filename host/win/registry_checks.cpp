#include "host/win/registry_checks.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const char kClassKey[] = "CLSID\\{3A7F9C21-5B0D-4E62-9D18-C4E7A2B65F03}";
const char kProgIdKey[] = "BrindleAddin.BRAddin";
const char kAddinKey[] =
    "Software\\Microsoft\\Office\\Outlook\\Addins\\BrindleAddin.BRAddin";
const char kDescription[] = "My Brindle Outlook Addin";
const char kCompanionServerKey[] =
    "CLSID\\{6D2E8B40-917C-4F3A-B5E6-0A9C3D7E1F54}\\InprocServer32";

struct Value {
  std::string name;
  DWORD type;
  std::string data;  // the raw bytes, terminator included

  bool operator==(const Value& other) const {
    return name == other.name && type == other.type && data == other.data;
  }
};

Value Text(const char* name, const std::string& text) {
  return {name, REG_SZ, text + std::string(1, '\0')};
}

Value Dword(const char* name, DWORD number) {
  return {name, REG_DWORD,
          std::string(reinterpret_cast<const char*>(&number), sizeof number)};
}

std::string Show(const Value& value) {
  std::string data;
  if (value.type == REG_DWORD && value.data.size() == 4) {
    DWORD number;
    std::copy(value.data.begin(), value.data.end(),
              reinterpret_cast<char*>(&number));
    data = std::to_string(number);
  } else {
    for (char c : value.data) data += c == '\0' ? std::string("\\0") : std::string(1, c);
  }
  return "[" + (value.name.empty() ? std::string("(default)") : value.name) +
         " type " + std::to_string(value.type) + " \"" + data + "\" " +
         std::to_string(value.data.size()) + " bytes]";
}

std::string Show(const std::vector<Value>& values) {
  std::string text;
  for (const Value& value : values) text += Show(value);
  return text.empty() ? "none" : text;
}

std::string Show(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += "[" + name + "]";
  return text.empty() ? "none" : text;
}

std::string RootName(HKEY root) {
  return root == HKEY_CLASSES_ROOT ? "HKCR\\" : "HKCU\\";
}

// An open key, closed on scope exit.
class Key {
 public:
  Key(HKEY root, const std::string& path) {
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS)
      key_ = nullptr;
  }
  ~Key() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  bool Open() const { return key_ != nullptr; }

  std::vector<Value> Values() const {
    std::vector<Value> values;
    for (DWORD index = 0;; ++index) {
      char name[256];
      DWORD nameSize = sizeof name;
      BYTE data[2048];
      DWORD dataSize = sizeof data;
      DWORD type = 0;
      if (RegEnumValueA(key_, index, name, &nameSize, nullptr, &type, data,
                        &dataSize) != ERROR_SUCCESS)
        break;
      values.push_back({std::string(name, nameSize), type,
                        std::string(reinterpret_cast<char*>(data), dataSize)});
    }
    std::sort(values.begin(), values.end(),
              [](const Value& a, const Value& b) { return a.name < b.name; });
    return values;
  }

  std::vector<std::string> SubKeys() const {
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
      char name[256];
      DWORD nameSize = sizeof name;
      if (RegEnumKeyExA(key_, index, name, &nameSize, nullptr, nullptr,
                        nullptr, nullptr) != ERROR_SUCCESS)
        break;
      names.push_back(std::string(name, nameSize));
    }
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  HKEY key_ = nullptr;
};

// The key holds exactly these values (sorted by name) and subkeys (sorted).
void ExpectKey(CheckLog* log, HKEY root, const std::string& path,
               std::vector<Value> values, std::vector<std::string> subKeys) {
  std::string where = RootName(root) + path;
  Key key(root, path);
  if (!log->Expect(key.Open(), "key " + where + " exists")) return;
  std::sort(values.begin(), values.end(),
            [](const Value& a, const Value& b) { return a.name < b.name; });
  std::vector<Value> seen = key.Values();
  log->Expect(seen == values, "values of " + where + " are " + Show(values),
              "found " + Show(seen));
  std::vector<std::string> seenKeys = key.SubKeys();
  log->Expect(seenKeys == subKeys, "subkeys of " + where + " are " + Show(subKeys),
              "found " + Show(seenKeys));
}

void ExpectNoKey(CheckLog* log, HKEY root, const std::string& path) {
  Key key(root, path);
  log->Expect(!key.Open(), "key " + RootName(root) + path + " is gone");
}

}  // namespace

void CheckRegistered(CheckLog* log, const char* moduleDosPath) {
  log->Section("registration of the add-in (entries 1 to 9, nothing else)");
  const std::string classKey = kClassKey;
  const std::string progIdKey = kProgIdKey;
  ExpectKey(log, HKEY_CLASSES_ROOT, classKey, {Text("", kDescription)},
            {"InprocServer32", "ProgID"});
  ExpectKey(log, HKEY_CLASSES_ROOT, classKey + "\\InprocServer32",
            {Text("", moduleDosPath)}, {});
  ExpectKey(log, HKEY_CLASSES_ROOT, classKey + "\\ProgID",
            {Text("", "BrindleAddin.BRAddin")}, {});
  ExpectKey(log, HKEY_CLASSES_ROOT, progIdKey, {Text("", kDescription)},
            {"CLSID"});
  ExpectKey(log, HKEY_CLASSES_ROOT, progIdKey + "\\CLSID",
            {Text("", "{3A7F9C21-5B0D-4E62-9D18-C4E7A2B65F03}")}, {});
  ExpectKey(log, HKEY_CURRENT_USER, kAddinKey,
            {Dword("LoadBehavior", 3), Dword("CommandLineSafe", 0),
             Text("FriendlyName", kDescription),
             Text("Description", kDescription)},
            {});

  log->Section("registration of the companion stand-in");
  Key companion(HKEY_CLASSES_ROOT, kCompanionServerKey);
  std::vector<Value> values = companion.Values();
  bool apartment = std::find(values.begin(), values.end(),
                             Text("ThreadingModel", "Apartment")) != values.end();
  log->Expect(apartment,
              std::string("HKCR\\") + kCompanionServerKey +
                  " has ThreadingModel \"Apartment\"",
              "found " + Show(values));
}

void CheckAddedByHand(CheckLog* log) {
  log->Section("keys added by hand below the add-in's keys");
  const std::string classKey = kClassKey;
  const std::string progIdKey = kProgIdKey;
  const std::string addinKey = kAddinKey;
  ExpectKey(log, HKEY_CLASSES_ROOT, classKey + "\\InprocServer32\\Added\\Deeper",
            {Text("ByHand", "x")}, {});
  ExpectKey(log, HKEY_CLASSES_ROOT, progIdKey + "\\Added", {Text("ByHand", "x")},
            {});
  ExpectKey(log, HKEY_CURRENT_USER, addinKey + "\\Added\\Deeper\\Deepest",
            {Text("ByHand", "x")}, {});
}

void CheckUnregistered(CheckLog* log) {
  log->Section("unregistration");
  ExpectNoKey(log, HKEY_CLASSES_ROOT, kClassKey);
  ExpectNoKey(log, HKEY_CLASSES_ROOT, kProgIdKey);
  ExpectNoKey(log, HKEY_CURRENT_USER, kAddinKey);
  // Only the add-in's own trees go.
  Key addins(HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\Outlook\\Addins");
  log->Expect(addins.Open(), "HKCU\\Software\\Microsoft\\Office\\Outlook\\Addins stays");
  Key companion(HKEY_CLASSES_ROOT, kCompanionServerKey);
  log->Expect(companion.Open(), "the companion stand-in's class stays registered");
}
