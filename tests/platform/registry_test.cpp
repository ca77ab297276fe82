#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/emulation.h"
#include "platform/registry.h"

namespace {

const char kAddinKey[] =
    "Software\\Microsoft\\Office\\Outlook\\Addins\\BrindleAddin.BRAddin";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { emu::Reset(); }
  void TearDown() override { emu::Reset(); }

  LONG Create(HKEY parent, const char* path, HKEY* key,
              DWORD* disposition = nullptr) {
    return RegCreateKeyExA(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, nullptr, key, disposition);
  }

  // Creates and closes at once.
  void Make(HKEY root, const char* path) {
    HKEY key;
    ASSERT_EQ(Create(root, path, &key), ERROR_SUCCESS) << path;
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  }

  LONG SetText(HKEY key, const char* name, const char* text) {
    return RegSetValueExA(key, name, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(std::strlen(text) + 1));
  }

  std::vector<std::string> Enumerate(HKEY key) {
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
      char name[256];
      DWORD size = sizeof(name);
      const LONG error = RegEnumKeyExA(key, index, name, &size, nullptr,
                                       nullptr, nullptr, nullptr);
      if (error == ERROR_NO_MORE_ITEMS) break;
      EXPECT_EQ(error, ERROR_SUCCESS);
      if (error != ERROR_SUCCESS) break;
      EXPECT_EQ(size, std::strlen(name));
      names.push_back(name);
    }
    return names;
  }
};

TEST_F(RegistryTest, CreateMakesIntermediateKeysThenOpensExisting) {
  HKEY key;
  DWORD disposition = 0;
  ASSERT_EQ(Create(HKEY_CURRENT_USER, kAddinKey, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_NE(key, nullptr);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  EXPECT_EQ(emu::OpenRegistryHandles(), 1);
  EXPECT_TRUE(emu::RegistryKeyExists(HKEY_CURRENT_USER, "Software\\Microsoft"));
  EXPECT_TRUE(emu::RegistryKeyExists(HKEY_CURRENT_USER, kAddinKey));
  EXPECT_FALSE(emu::RegistryKeyExists(HKEY_CLASSES_ROOT, "Software"));

  HKEY again;
  ASSERT_EQ(Create(HKEY_CURRENT_USER, kAddinKey, &again, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  EXPECT_NE(again, key);
  EXPECT_EQ(emu::OpenRegistryHandles(), 2);

  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(again), ERROR_SUCCESS);
  EXPECT_EQ(emu::OpenRegistryHandles(), 0);
}

TEST_F(RegistryTest, NamesCompareWithoutCaseButKeepTheirSpelling) {
  Make(HKEY_CLASSES_ROOT, "CLSID\\{3A7F9C21-5B0D-4E62-9D18-C4E7A2B65F03}");
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT,
                          "clsid\\{3a7f9c21-5b0d-4e62-9d18-c4e7a2b65f03}", 0,
                          KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  DWORD disposition = 0;
  HKEY same;
  ASSERT_EQ(Create(HKEY_CLASSES_ROOT, "CLSID", &same, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  EXPECT_EQ(Enumerate(same),
            std::vector<std::string>{"{3A7F9C21-5B0D-4E62-9D18-C4E7A2B65F03}"});
  RegCloseKey(same);

  ASSERT_EQ(SetText(key, "", "first"), ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, "Name", "x"), ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, "NAME", "y"), ERROR_SUCCESS);
  RegCloseKey(key);
  const auto values = emu::RegistryValues(
      HKEY_CLASSES_ROOT, "CLSID\\{3A7F9C21-5B0D-4E62-9D18-C4E7A2B65F03}");
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].first, "");
  EXPECT_EQ(values[1].first, "Name");
  EXPECT_EQ(values[1].second.data, (std::vector<uint8_t>{'y', 0}));
}

TEST_F(RegistryTest, OpenOfMissingKeyFails) {
  Make(HKEY_CURRENT_USER, "Software");
  struct Case {
    HKEY root;
    const char* path;
  } cases[] = {{HKEY_CURRENT_USER, "Software\\Missing"},
               {HKEY_CURRENT_USER, "Missing"},
               {HKEY_CLASSES_ROOT, "Software"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    HKEY key = reinterpret_cast<HKEY>(0x1);
    EXPECT_EQ(RegOpenKeyExA(c.root, c.path, 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
  }
  EXPECT_EQ(emu::OpenRegistryHandles(), 0);
  EXPECT_FALSE(emu::RegistryKeyExists(HKEY_CURRENT_USER, "Software\\Missing"));
}

TEST_F(RegistryTest, ValuesKeepTypeAndExactBytes) {
  HKEY key;
  ASSERT_EQ(Create(HKEY_CURRENT_USER, kAddinKey, &key), ERROR_SUCCESS);
  const DWORD three = 3;
  const BYTE raw[] = {0, 1, 2, 0, 0};
  struct Case {
    const char* name;
    DWORD type;
    const BYTE* data;
    DWORD size;
  } cases[] = {
      {"LoadBehavior", REG_DWORD, reinterpret_cast<const BYTE*>(&three), 4},
      {"FriendlyName", REG_SZ,
       reinterpret_cast<const BYTE*>("My Brindle Outlook Addin"), 25},
      // Stored as given: no terminator is added or required.
      {"Unterminated", REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3},
      {"Binary", REG_BINARY, raw, sizeof(raw)},
      {"Empty", REG_BINARY, nullptr, 0},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(RegSetValueExA(key, c.name, 0, c.type, c.data, c.size),
              ERROR_SUCCESS)
        << c.name;
  }
  RegCloseKey(key);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    emu::RegistryValueData value;
    ASSERT_TRUE(emu::RegistryValue(HKEY_CURRENT_USER, kAddinKey, c.name, &value));
    EXPECT_EQ(value.type, c.type);
    EXPECT_EQ(value.data, std::vector<uint8_t>(c.data, c.data + c.size));
  }
  emu::RegistryValueData missing;
  EXPECT_FALSE(
      emu::RegistryValue(HKEY_CURRENT_USER, kAddinKey, "Description", &missing));

  // Overwriting replaces type and bytes.
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kAddinKey, 0, KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, "LoadBehavior", "2"), ERROR_SUCCESS);
  RegCloseKey(key);
  emu::RegistryValueData value;
  ASSERT_TRUE(
      emu::RegistryValue(HKEY_CURRENT_USER, kAddinKey, "LoadBehavior", &value));
  EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(value.data, (std::vector<uint8_t>{'2', 0}));
  EXPECT_EQ(emu::RegistryValues(HKEY_CURRENT_USER, kAddinKey).size(), 5u);
}

TEST_F(RegistryTest, EnumerationIsAlphabeticalWithoutCase) {
  HKEY parent;
  ASSERT_EQ(Create(HKEY_CLASSES_ROOT, "Parent", &parent), ERROR_SUCCESS);
  for (const char* name : {"beta", "_under", "Alpha", "GAMMA", "alpha2"}) {
    HKEY child;
    ASSERT_EQ(Create(parent, name, &child), ERROR_SUCCESS);
    RegCloseKey(child);
  }
  // Upper-case order puts "_" after the letters.
  const std::vector<std::string> expected = {"Alpha", "alpha2", "beta",
                                             "GAMMA", "_under"};
  EXPECT_EQ(Enumerate(parent), expected);
  EXPECT_EQ(emu::RegistrySubKeys(HKEY_CLASSES_ROOT, "Parent"), expected);
  RegCloseKey(parent);
}

TEST_F(RegistryTest, EnumerationNameBufferLimits) {
  HKEY parent;
  ASSERT_EQ(Create(HKEY_CLASSES_ROOT, "Parent", &parent), ERROR_SUCCESS);
  const std::string longest(255, 'k');
  Make(parent, "abc");
  Make(parent, longest.c_str());
  struct Case {
    DWORD index;
    DWORD size;
    LONG expected;
    DWORD sizeAfter;
  } cases[] = {
      {0, 3, ERROR_MORE_DATA, 3},   {0, 4, ERROR_SUCCESS, 3},
      {1, 255, ERROR_MORE_DATA, 255}, {1, 256, ERROR_SUCCESS, 255},
      {2, 256, ERROR_NO_MORE_ITEMS, 256},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.index << "/" << c.size);
    char name[300];
    std::memset(name, 'x', sizeof(name));
    DWORD size = c.size;
    EXPECT_EQ(RegEnumKeyExA(parent, c.index, name, &size, nullptr, nullptr,
                            nullptr, nullptr),
              c.expected);
    EXPECT_EQ(size, c.sizeAfter);
    if (c.expected == ERROR_SUCCESS) {
      EXPECT_EQ(std::string(name), c.index == 0 ? "abc" : longest);
    } else {
      EXPECT_EQ(name[0], 'x');
    }
  }
  // A name longer than 255 characters is refused.
  HKEY key;
  EXPECT_EQ(Create(parent, std::string(256, 'k').c_str(), &key),
            ERROR_INVALID_PARAMETER);
  RegCloseKey(parent);
}

TEST_F(RegistryTest, DeleteRemovesOnlyKeysWithoutSubkeys) {
  Make(HKEY_CLASSES_ROOT, "BrindleAddin.BRAddin\\CLSID\\Deep");
  HKEY key;
  ASSERT_EQ(Create(HKEY_CLASSES_ROOT, "BrindleAddin.BRAddin", &key),
            ERROR_SUCCESS);
  ASSERT_EQ(SetText(key, "", "My Brindle Outlook Addin"), ERROR_SUCCESS);
  RegCloseKey(key);

  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "BrindleAddin.BRAddin"),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "BrindleAddin.BRAddin\\CLSID"),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "BrindleAddin.BRAddin\\Nothing"),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "brindleaddin.braddin\\clsid\\DEEP"),
            ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "BrindleAddin.BRAddin\\CLSID"),
            ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "BrindleAddin.BRAddin"),
            ERROR_SUCCESS);
  EXPECT_FALSE(emu::RegistryKeyExists(HKEY_CLASSES_ROOT, "BrindleAddin.BRAddin"));

  // Values went with the key: a new key of that name starts empty.
  Make(HKEY_CLASSES_ROOT, "BrindleAddin.BRAddin");
  EXPECT_TRUE(
      emu::RegistryValues(HKEY_CLASSES_ROOT, "BrindleAddin.BRAddin").empty());
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, ""), ERROR_ACCESS_DENIED);
}

// The way a depth-first removal walks: always index 0, relative to an open
// key, and the next subkey moves up to index 0 after each deletion.
TEST_F(RegistryTest, DeletionRelativeToAnOpenKey) {
  Make(HKEY_CURRENT_USER, "Root\\a");
  Make(HKEY_CURRENT_USER, "Root\\b");
  Make(HKEY_CURRENT_USER, "Root\\c\\inner");
  HKEY root;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Root", 0, KEY_ALL_ACCESS, &root),
            ERROR_SUCCESS);
  const char* expectedOrder[] = {"a", "b", "c"};
  for (const char* expected : expectedOrder) {
    char name[256];
    DWORD size = sizeof(name);
    ASSERT_EQ(RegEnumKeyExA(root, 0, name, &size, nullptr, nullptr, nullptr,
                            nullptr),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, expected);
    HKEY child;
    ASSERT_EQ(RegOpenKeyExA(root, name, 0, KEY_ALL_ACCESS, &child),
              ERROR_SUCCESS);
    if (std::strcmp(name, "c") == 0) {
      EXPECT_EQ(RegDeleteKeyA(child, "inner"), ERROR_SUCCESS);
    }
    EXPECT_EQ(RegCloseKey(child), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyA(root, name), ERROR_SUCCESS);
  }
  char name[256];
  DWORD size = sizeof(name);
  EXPECT_EQ(RegEnumKeyExA(root, 0, name, &size, nullptr, nullptr, nullptr,
                          nullptr),
            ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(RegCloseKey(root), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Root"), ERROR_SUCCESS);
  EXPECT_TRUE(emu::RegistrySubKeys(HKEY_CURRENT_USER, "").empty());
  EXPECT_EQ(emu::OpenRegistryHandles(), 0);
}

TEST_F(RegistryTest, HandleToDeletedKeyFails) {
  HKEY key;
  ASSERT_EQ(Create(HKEY_CURRENT_USER, "Gone", &key), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Gone"), ERROR_SUCCESS);

  HKEY child = nullptr;
  char name[16];
  DWORD size = sizeof(name);
  EXPECT_EQ(SetText(key, "", "x"), ERROR_KEY_DELETED);
  EXPECT_EQ(Create(key, "Child", &child), ERROR_KEY_DELETED);
  EXPECT_EQ(RegOpenKeyExA(key, "", 0, KEY_READ, &child), ERROR_KEY_DELETED);
  EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr,
                          nullptr),
            ERROR_KEY_DELETED);
  EXPECT_EQ(RegDeleteKeyA(key, ""), ERROR_KEY_DELETED);
  EXPECT_EQ(child, nullptr);
  // A key of the same name made later is a different key.
  Make(HKEY_CURRENT_USER, "Gone");
  EXPECT_EQ(SetText(key, "", "x"), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(emu::OpenRegistryHandles(), 0);
}

TEST_F(RegistryTest, DeniedCreationCoversTheKeyAndBelow) {
  emu::DenyKeyCreation(HKEY_CURRENT_USER,
                       "Software\\Microsoft\\Office\\Outlook\\Addins");
  struct Case {
    HKEY root;
    const char* path;
    LONG expected;
  } cases[] = {
      {HKEY_CURRENT_USER, kAddinKey, ERROR_ACCESS_DENIED},
      {HKEY_CURRENT_USER, "software\\microsoft\\office\\outlook\\ADDINS",
       ERROR_ACCESS_DENIED},
      {HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\Outlook\\AddinsToo",
       ERROR_SUCCESS},
      {HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\Outlook", ERROR_SUCCESS},
      {HKEY_CLASSES_ROOT, "Software\\Microsoft\\Office\\Outlook\\Addins",
       ERROR_SUCCESS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    HKEY key = reinterpret_cast<HKEY>(0x1);
    EXPECT_EQ(Create(c.root, c.path, &key), c.expected);
    if (c.expected == ERROR_SUCCESS) {
      EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    } else {
      EXPECT_EQ(key, nullptr);
    }
  }
  EXPECT_FALSE(emu::RegistryKeyExists(
      HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\Outlook\\Addins"));

  // Through an opened parent as well.
  HKEY outlook;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER,
                          "Software\\Microsoft\\Office\\Outlook", 0,
                          KEY_ALL_ACCESS, &outlook),
            ERROR_SUCCESS);
  HKEY key;
  EXPECT_EQ(Create(outlook, "Addins\\BrindleAddin.BRAddin", &key),
            ERROR_ACCESS_DENIED);
  RegCloseKey(outlook);
  EXPECT_EQ(emu::OpenRegistryHandles(), 0);
}

TEST_F(RegistryTest, DenialLeavesNothingBehind) {
  emu::DenyKeyCreation(HKEY_CURRENT_USER, "Software\\Locked");
  HKEY key;
  EXPECT_EQ(Create(HKEY_CURRENT_USER, "Software\\Locked\\Inner", &key),
            ERROR_ACCESS_DENIED);
  EXPECT_FALSE(emu::RegistryKeyExists(HKEY_CURRENT_USER, "Software"));
}

TEST_F(RegistryTest, AccessRightsOfTheHandleAreEnforced) {
  Make(HKEY_CURRENT_USER, "Key\\Child");
  HKEY reader;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Key", 0, KEY_READ, &reader),
            ERROR_SUCCESS);
  EXPECT_EQ(SetText(reader, "", "x"), ERROR_ACCESS_DENIED);
  HKEY child;
  EXPECT_EQ(Create(reader, "New", &child), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(emu::RegistryKeyExists(HKEY_CURRENT_USER, "Key\\New"));
  EXPECT_EQ(Enumerate(reader), std::vector<std::string>{"Child"});
  RegCloseKey(reader);

  HKEY writer;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Key", 0, KEY_WRITE, &writer),
            ERROR_SUCCESS);
  EXPECT_EQ(SetText(writer, "", "x"), ERROR_SUCCESS);
  char name[16];
  DWORD size = sizeof(name);
  EXPECT_EQ(RegEnumKeyExA(writer, 0, name, &size, nullptr, nullptr, nullptr,
                          nullptr),
            ERROR_ACCESS_DENIED);
  RegCloseKey(writer);
}

TEST_F(RegistryTest, BadHandlesAndPaths) {
  HKEY key;
  ASSERT_EQ(Create(HKEY_CURRENT_USER, "Key", &key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  EXPECT_EQ(SetText(key, "", "x"), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);

  HKEY result;
  EXPECT_EQ(Create(HKEY_CURRENT_USER, "\\Leading", &result), ERROR_BAD_PATHNAME);
  EXPECT_EQ(Create(HKEY_CURRENT_USER, "a\\\\b", &result), ERROR_BAD_PATHNAME);
  ASSERT_EQ(Create(HKEY_CURRENT_USER, "Trailing\\", &result), ERROR_SUCCESS);
  RegCloseKey(result);
  EXPECT_TRUE(emu::RegistryKeyExists(HKEY_CURRENT_USER, "Trailing"));

  // An empty subkey opens a new handle to the same key.
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Key", 0, KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  HKEY same;
  ASSERT_EQ(RegOpenKeyExA(key, nullptr, 0, KEY_ALL_ACCESS, &same),
            ERROR_SUCCESS);
  ASSERT_EQ(SetText(same, "v", "1"), ERROR_SUCCESS);
  emu::RegistryValueData value;
  EXPECT_TRUE(emu::RegistryValue(HKEY_CURRENT_USER, "Key", "v", &value));
  RegCloseKey(same);
  RegCloseKey(key);
}

TEST_F(RegistryTest, ResetEmptiesTheRegistry) {
  HKEY key;
  ASSERT_EQ(Create(HKEY_CLASSES_ROOT, "CLSID", &key), ERROR_SUCCESS);
  emu::DenyKeyCreation(HKEY_CURRENT_USER, "Software");
  emu::Reset();
  EXPECT_EQ(emu::OpenRegistryHandles(), 0);
  EXPECT_FALSE(emu::RegistryKeyExists(HKEY_CLASSES_ROOT, "CLSID"));
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  Make(HKEY_CURRENT_USER, "Software");
}

}  // namespace
