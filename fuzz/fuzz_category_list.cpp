// Category lists under random sequences of SetCategories, AddCategory and
// RemoveCategory, checked after every step against a small model of the
// list: its text (or its absence), GetCategories, every GetToken answer and
// CategoryListContains must agree with the model, and block2 must hold the
// text with its terminator.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "store/entry_node.h"
#include "store/str_buf.h"

namespace {

// Names are drawn from a small alphabet so that operations meet: commas,
// spaces and the empty name are as likely as letters.
const char kAlphabet[] = {'a', 'b', 'A', ',', ' ', 'O'};

class ListModel {
 public:
  // The list text, or absent (no block2).
  bool present = false;
  std::string text;

  static std::vector<std::string> Tokens(const std::string& text, char separator) {
    std::vector<std::string> tokens;
    std::string current;
    for (char c : text) {
      if (c == separator) {
        if (!current.empty()) tokens.push_back(current);
        current.clear();
      } else {
        current.push_back(c);
      }
    }
    if (!current.empty()) tokens.push_back(current);
    return tokens;
  }

  void Set(const char* newText) {
    present = newText != nullptr;
    text = newText == nullptr ? "" : newText;
  }

  bool Add(const std::string& name) {
    for (const auto& token : Tokens(text, ',')) {
      if (token == name) return false;
    }
    std::string result = text;
    if (!result.empty()) result += ",";
    result += name;
    Set(result.c_str());
    return true;
  }

  bool Remove(const std::string& name) {
    bool found = false;
    std::string result;
    for (const auto& token : Tokens(text, ',')) {
      if (token == name) {
        found = true;
        continue;
      }
      if (!result.empty()) result += ",";
      result += token;
    }
    Set(result.c_str());
    return found;
  }
};

void Check(CEntryNode* entry, const ListModel& model, FuzzInput* input) {
  const char* categories = entry->GetCategories();
  if (categories == nullptr) FuzzFail("GetCategories answered null");
  if (model.text != categories) {
    FuzzFail("list \"%s\", expected \"%s\"", categories, model.text.c_str());
  }
  const DataBlock& block = entry->block2;
  if (!model.present) {
    if (block.length != 0 || block.data != nullptr) FuzzFail("block2 should be absent");
  } else if (block.length != model.text.size() + 1 || block.data == nullptr ||
             std::memcmp(block.data, model.text.c_str(), block.length) != 0) {
    FuzzFail("block2 does not hold \"%s\" and its terminator", model.text.c_str());
  }

  // Every token, and the first index past them, for the list itself and
  // (sometimes) with another separator.
  const char separator = input->Below(4) == 0 ? kAlphabet[input->Below(sizeof kAlphabet)] : ',';
  const CStrBuf text(categories);
  const auto tokens = ListModel::Tokens(model.text, separator);
  for (size_t i = 0; i <= tokens.size() + 1; ++i) {
    CStrBuf token = GetToken(text, static_cast<int32_t>(i), separator);
    const std::string expected = i < tokens.size() ? tokens[i] : "";
    if (expected != token.GetText()) {
      FuzzFail("token %zu of \"%s\" by '%c' is \"%s\", expected \"%s\"", i,
               model.text.c_str(), separator, token.GetText(), expected.c_str());
    }
  }

  // Contains agrees with the tokens for some names, the empty one included.
  const auto commaTokens = ListModel::Tokens(model.text, ',');
  for (int round = 0; round < 2; ++round) {
    const std::string name = input->TextFrom(kAlphabet, sizeof kAlphabet, 3);
    bool expected = false;
    for (const auto& token : commaTokens) expected = expected || token == name;
    if (CategoryListContains(categories, name.data(), name.size()) != expected) {
      FuzzFail("contains \"%s\" in \"%s\" should be %d", name.c_str(),
               categories, expected);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput input(data, size);
  CEntryNode* entry = new (std::nothrow) CEntryNode("E\\S");
  ListModel model;
  Check(entry, model, &input);
  for (int step = 0; step < 64 && !input.Empty(); ++step) {
    const uint32_t operation = input.Below(8);
    const std::string name = input.TextFrom(kAlphabet, sizeof kAlphabet, 4);
    if (operation == 0) {
      const bool null = input.Below(3) == 0;
      entry->SetCategories(null ? nullptr : name.c_str());
      model.Set(null ? nullptr : name.c_str());
    } else if (operation <= 4) {
      const bool added = entry->AddCategory(CStrBuf(name.c_str()));
      if (added != model.Add(name)) FuzzFail("AddCategory(\"%s\") answered %d", name.c_str(), added);
    } else {
      const bool removed = entry->RemoveCategory(CStrBuf(name.c_str()));
      if (removed != model.Remove(name)) {
        FuzzFail("RemoveCategory(\"%s\") answered %d", name.c_str(), removed);
      }
    }
    Check(entry, model, &input);
  }
  entry->Destroy(1);
  return 0;
}
