// Self-registration driven through DllRegisterServer and
// DllUnregisterServer against the emulated registry.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/emulation.h"
#include "server/module.h"

namespace {

const char kClassKey[] = "CLSID\\{3A7F9C21-5B0D-4E62-9D18-C4E7A2B65F03}";
const char kProgIdKey[] = "BrindleAddin.BRAddin";
const char kAddinKey[] =
    "Software\\Microsoft\\Office\\Outlook\\Addins\\BrindleAddin.BRAddin";
const char kModulePath[] = "C:\\Program Files\\Brindle\\BrindleAddin.dll";

std::vector<uint8_t> TextBytes(const std::string& text) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

std::vector<uint8_t> WordBytes(DWORD value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

struct ExpectedValue {
  HKEY root;
  std::string key;
  std::string name;  // "" for the default value
  DWORD type;
  std::vector<uint8_t> data;
};

// Entries 1 to 9 as they must stand after registering from path.
std::vector<ExpectedValue> RegisteredValues(const std::string& path) {
  const std::string description = "My Brindle Outlook Addin";
  return {
      {HKEY_CLASSES_ROOT, kClassKey, "", REG_SZ, TextBytes(description)},
      {HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\InprocServer32", "",
       REG_SZ, TextBytes(path)},
      {HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\ProgID", "", REG_SZ,
       TextBytes("BrindleAddin.BRAddin")},
      {HKEY_CLASSES_ROOT, kProgIdKey, "", REG_SZ, TextBytes(description)},
      {HKEY_CLASSES_ROOT, std::string(kProgIdKey) + "\\CLSID", "", REG_SZ,
       TextBytes("{3A7F9C21-5B0D-4E62-9D18-C4E7A2B65F03}")},
      {HKEY_CURRENT_USER, kAddinKey, "LoadBehavior", REG_DWORD, WordBytes(3)},
      {HKEY_CURRENT_USER, kAddinKey, "CommandLineSafe", REG_DWORD,
       WordBytes(0)},
      {HKEY_CURRENT_USER, kAddinKey, "FriendlyName", REG_SZ,
       TextBytes(description)},
      {HKEY_CURRENT_USER, kAddinKey, "Description", REG_SZ,
       TextBytes(description)},
  };
}

void ExpectValue(const ExpectedValue& expected) {
  SCOPED_TRACE(expected.key + " : " + expected.name);
  struct emu::RegistryValue actual;
  ASSERT_TRUE(emu::RegistryValue(expected.root, expected.key, expected.name,
                                 &actual));
  EXPECT_EQ(expected.type, actual.type);
  EXPECT_EQ(expected.data, actual.data);
}

std::vector<std::string> ValueNames(HKEY root, const std::string& key) {
  std::vector<std::string> names;
  for (const auto& value : emu::RegistryValues(root, key)) {
    names.push_back(value.first);
  }
  return names;
}

bool NothingRegistered() {
  return !emu::RegistryKeyExists(HKEY_CLASSES_ROOT, kClassKey) &&
         !emu::RegistryKeyExists(HKEY_CLASSES_ROOT, kProgIdKey) &&
         !emu::RegistryKeyExists(HKEY_CURRENT_USER, kAddinKey);
}

// Creates root\path (and the keys above it) with one value.
void CreateKeyWithValue(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(root, path.c_str(), 0, nullptr,
                            REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr));
  const BYTE data[] = {'x', 0};
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExA(key, "Extra", 0, REG_SZ, data, sizeof(data)));
  ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    emu::Reset();
    emu::SetModulePath(kModulePath);
    DllMain(reinterpret_cast<HINSTANCE>(0x10000000), DLL_PROCESS_ATTACH,
            nullptr);
  }
  // Every key the module opened is closed again.
  void TearDown() override { EXPECT_EQ(0, emu::OpenRegistryHandles()); }
};

TEST_F(RegistrationTest, WritesEntriesOneToNineByteForByte) {
  ASSERT_EQ(S_OK, DllRegisterServer());
  for (const ExpectedValue& expected : RegisteredValues(kModulePath)) {
    ExpectValue(expected);
  }
}

TEST_F(RegistrationTest, WritesNothingElse) {
  ASSERT_EQ(S_OK, DllRegisterServer());
  struct KeyContents {
    HKEY root;
    std::string key;
    std::vector<std::string> values;
    std::vector<std::string> subkeys;
  };
  const KeyContents keys[] = {
      {HKEY_CLASSES_ROOT, kClassKey, {""}, {"InprocServer32", "ProgID"}},
      // No ThreadingModel.
      {HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\InprocServer32", {""},
       {}},
      {HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\ProgID", {""}, {}},
      {HKEY_CLASSES_ROOT, kProgIdKey, {""}, {"CLSID"}},
      {HKEY_CLASSES_ROOT, std::string(kProgIdKey) + "\\CLSID", {""}, {}},
      {HKEY_CURRENT_USER,
       kAddinKey,
       {"LoadBehavior", "CommandLineSafe", "FriendlyName", "Description"},
       {}},
  };
  for (const KeyContents& key : keys) {
    SCOPED_TRACE(key.key);
    EXPECT_EQ(key.values, ValueNames(key.root, key.key));
    std::vector<std::string> subkeys = emu::RegistrySubKeys(key.root, key.key);
    std::sort(subkeys.begin(), subkeys.end());
    EXPECT_EQ(key.subkeys, subkeys);
  }
  EXPECT_EQ(std::vector<std::string>{"{3A7F9C21-5B0D-4E62-9D18-C4E7A2B65F03}"},
            emu::RegistrySubKeys(HKEY_CLASSES_ROOT, "CLSID"));
}

TEST_F(RegistrationTest, RegistersTheModulesOwnPath) {
  const std::string paths[] = {
      "D:\\x.dll",
      "C:\\Users\\Ann\\AppData\\Local\\Brindle Add-in\\v2\\BrindleAddin.dll",
      std::string("C:\\") + std::string(504, 'p') + ".dll",  // 511 bytes
  };
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    emu::SetModulePath(path);
    ASSERT_EQ(S_OK, DllRegisterServer());
    ExpectValue(RegisteredValues(path)[1]);
  }
}

TEST_F(RegistrationTest, APathThatCantBeReadWholeWritesNothing) {
  const std::string paths[] = {
      "",                                                    // no path at all
      std::string("C:\\") + std::string(505, 'p') + ".dll",  // 512 bytes
      std::string("C:\\") + std::string(900, 'p') + ".dll",
  };
  for (const std::string& path : paths) {
    SCOPED_TRACE(path.size());
    emu::SetModulePath(path);
    EXPECT_EQ(E_FAIL, DllRegisterServer());
    EXPECT_TRUE(NothingRegistered());
  }
}

TEST_F(RegistrationTest, RegisteringAgainOverwritesTheSameEntries) {
  emu::SetModulePath("C:\\old\\BrindleAddin.dll");
  ASSERT_EQ(S_OK, DllRegisterServer());
  emu::SetModulePath(kModulePath);
  ASSERT_EQ(S_OK, DllRegisterServer());
  for (const ExpectedValue& expected : RegisteredValues(kModulePath)) {
    ExpectValue(expected);
  }
  EXPECT_EQ(4u, ValueNames(HKEY_CURRENT_USER, kAddinKey).size());
}

TEST_F(RegistrationTest, ADeniedAddinsKeyAnswersAccessDeniedAfterTheClass) {
  emu::DenyKeyCreation(HKEY_CURRENT_USER,
                       "Software\\Microsoft\\Office\\Outlook\\Addins");
  EXPECT_EQ(E_ACCESSDENIED, DllRegisterServer());
  const std::vector<ExpectedValue> expected = RegisteredValues(kModulePath);
  for (int entry = 0; entry < 5; ++entry) ExpectValue(expected[entry]);
  EXPECT_FALSE(emu::RegistryKeyExists(HKEY_CURRENT_USER, kAddinKey));
}

TEST_F(RegistrationTest, ADeniedClassKeyIsSkippedAndTheRestWritten) {
  emu::DenyKeyCreation(HKEY_CLASSES_ROOT,
                       std::string(kClassKey) + "\\InprocServer32");
  EXPECT_EQ(S_OK, DllRegisterServer());
  const std::vector<ExpectedValue> expected = RegisteredValues(kModulePath);
  for (size_t entry = 0; entry < expected.size(); ++entry) {
    if (entry == 1) continue;
    ExpectValue(expected[entry]);
  }
  EXPECT_FALSE(emu::RegistryKeyExists(
      HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\InprocServer32"));
}

TEST_F(RegistrationTest, UnregisteringRemovesTheTreesToAnyDepth) {
  ASSERT_EQ(S_OK, DllRegisterServer());
  // Keys and values registration never wrote, deep and wide.
  std::string deep = std::string(kClassKey) + "\\InprocServer32";
  for (int level = 0; level < 40; ++level) {
    deep += "\\level" + std::to_string(level);
  }
  CreateKeyWithValue(HKEY_CLASSES_ROOT, deep);
  for (int i = 0; i < 300; ++i) {
    CreateKeyWithValue(HKEY_CLASSES_ROOT,
                       std::string(kProgIdKey) + "\\wide" + std::to_string(i));
  }
  CreateKeyWithValue(HKEY_CURRENT_USER,
                     std::string(kAddinKey) + "\\a\\b\\c\\d\\e");
  CreateKeyWithValue(HKEY_CURRENT_USER, std::string(kAddinKey) + "\\f");
  // Neighbours that must stay.
  const char kOtherClass[] = "CLSID\\{00000000-1111-2222-3333-444444444444}";
  const char kOtherAddin[] =
      "Software\\Microsoft\\Office\\Outlook\\Addins\\Other.Addin";
  CreateKeyWithValue(HKEY_CLASSES_ROOT, kOtherClass);
  CreateKeyWithValue(HKEY_CLASSES_ROOT, "BrindleAddin.BRAddin.2");
  CreateKeyWithValue(HKEY_CURRENT_USER, kOtherAddin);

  EXPECT_EQ(S_OK, DllUnregisterServer());
  EXPECT_TRUE(NothingRegistered());
  EXPECT_TRUE(emu::RegistryKeyExists(HKEY_CLASSES_ROOT, kOtherClass));
  EXPECT_TRUE(emu::RegistryKeyExists(HKEY_CLASSES_ROOT,
                                     "BrindleAddin.BRAddin.2"));
  EXPECT_TRUE(emu::RegistryKeyExists(HKEY_CURRENT_USER, kOtherAddin));
}

TEST_F(RegistrationTest, UnregisteringWhatIsntThereSucceeds) {
  EXPECT_EQ(S_OK, DllUnregisterServer());  // nothing registered
  ASSERT_EQ(S_OK, DllRegisterServer());
  EXPECT_EQ(S_OK, DllUnregisterServer());
  EXPECT_TRUE(NothingRegistered());
  EXPECT_EQ(S_OK, DllUnregisterServer());  // twice in a row
  EXPECT_TRUE(NothingRegistered());
}

TEST_F(RegistrationTest, UnregisteringAPartialRegistration) {
  emu::DenyKeyCreation(HKEY_CURRENT_USER,
                       "Software\\Microsoft\\Office\\Outlook\\Addins");
  ASSERT_EQ(E_ACCESSDENIED, DllRegisterServer());
  EXPECT_EQ(S_OK, DllUnregisterServer());
  EXPECT_TRUE(NothingRegistered());
}

}  // namespace
