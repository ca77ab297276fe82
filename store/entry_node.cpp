#include "store/entry_node.h"

#include <cstring>

#include "platform/kernel.h"
#include "store/heap.h"
#include "store/layout_checks.h"
#include "store/node_record.h"

using node_record::ReadWord;
using node_record::WriteWord;

namespace {

const char kSeparator = ',';
const char kNoUserData[] = "GetFullPathFromUserData called incorrectly";

// Steps over a comma-separated list one non-empty token at a time, exactly
// as the index-by-index scan of GetToken numbers them.
class TokenWalker {
 public:
  TokenWalker(const char* text, char separator)
      : at_(text ? text : ""), separator_(separator) {}

  // The next token: false at the end of the text.
  bool Next(const char** start, size_t* length) {
    while (*at_ != '\0' && *at_ == separator_) ++at_;
    if (*at_ == '\0') return false;
    const char* begin = at_;
    while (*at_ != '\0' && *at_ != separator_) ++at_;
    *start = begin;
    *length = static_cast<size_t>(at_ - begin);
    return true;
  }

 private:
  const char* at_;
  char separator_;
};

bool IsPresent(const DataBlock& block) {
  return block.length != 0 && block.data != nullptr;
}

const char* TextOf(const CStrBuf& buffer) {
  return buffer.GetText() ? buffer.GetText() : "";
}

}  // namespace

CEntryNode::CEntryNode(const char* nameText) : CBranchNode(nameText) {
  std::memset(emptyText, 0, sizeof emptyText);
}

CEntryNode::CEntryNode(const CStrBuf& nameText) : CBranchNode(nameText) {
  std::memset(emptyText, 0, sizeof emptyText);
}

void* CEntryNode::Destroy(uint32_t flags) {
  void* self = this;
  this->CEntryNode::~CEntryNode();
  if (flags & 1) store_heap::Free(self);
  return self;
}

const char* CEntryNode::GetCategories() {
  if (IsPresent(block2)) return reinterpret_cast<const char*>(block2.data);
  return emptyText;
}

void CEntryNode::SetCategories(const char* text) {
  SetTextBlock(&block2, text);
}

// One pass over the list's tokens, then one allocation for the new list.
// Without memory the list stays as it was and the answer is false.
bool CEntryNode::AddCategory(const CStrBuf& name) {
  const char* list = GetCategories();
  const char* added = TextOf(name);
  const size_t addedLength = std::strlen(added);
  if (CategoryListContains(list, added, addedLength)) return false;

  const size_t listLength = std::strlen(list);
  const size_t comma = listLength != 0 ? 1 : 0;
  const size_t textLength = listLength + comma + addedLength;
  // The text, its terminator and the hidden zero every block carries.
  char* text = static_cast<char*>(store_heap::Allocate(textLength + 2));
  if (text == nullptr) return false;
  std::memcpy(text, list, listLength);
  if (comma) text[listLength] = kSeparator;
  std::memcpy(text + listLength + comma, added, addedLength);
  text[textLength] = '\0';
  text[textLength + 1] = '\0';
  ClearBlock(&block2);
  block2.data = reinterpret_cast<uint8_t*>(text);
  block2.length = static_cast<uint32_t>(textLength + 1);
  return true;
}

// One pass over the list's tokens into a result that can only be shorter.
// The list is rewritten in every case, so empty tokens go too.  Without
// memory the list stays as it was and the answer is false.
bool CEntryNode::RemoveCategory(const CStrBuf& name) {
  const char* list = GetCategories();
  const char* removed = TextOf(name);
  const size_t removedLength = std::strlen(removed);
  const size_t listLength = std::strlen(list);
  char* result = static_cast<char*>(store_heap::Allocate(listLength + 2));
  if (result == nullptr) return false;

  bool found = false;
  size_t used = 0;
  TokenWalker tokens(list, kSeparator);
  const char* token = nullptr;
  size_t tokenLength = 0;
  while (tokens.Next(&token, &tokenLength)) {
    if (tokenLength == removedLength &&
        std::memcmp(token, removed, tokenLength) == 0) {
      found = true;
      continue;
    }
    if (used != 0) result[used++] = kSeparator;
    std::memcpy(result + used, token, tokenLength);
    used += tokenLength;
  }
  result[used] = '\0';
  result[used + 1] = '\0';
  ClearBlock(&block2);
  block2.data = reinterpret_cast<uint8_t*>(result);
  block2.length = static_cast<uint32_t>(used + 1);
  return found;
}

void CEntryNode::SetUserData(const char* text) {
  SetTextBlock(&block3, text);
}

const char* CEntryNode::GetFullPathFromUserData(bool fileNameOnly) {
  if (!IsPresent(block3)) return kNoUserData;
  const char* path = reinterpret_cast<const char*>(block3.data);
  if (!fileNameOnly || path[0] == '\0' || path[1] != ':') return path;
  const char* backslash = std::strrchr(path, '\\');
  if (backslash == nullptr) {
    OutputDebugStringA("GFPFUD: error\n");
    return path;
  }
  return backslash + 1;
}

void CEntryNode::Notify(uint32_t /*first*/, uint32_t /*second*/) {}

int32_t CEntryNode::GetInfoCode(uint32_t* code) {
  if (code != nullptr) *code = 0;
  return 3;
}

CStrBuf CEntryNode::GetDisplayName() { return CStrBuf(GetDisplayNameText()); }

const char* CEntryNode::GetDisplayNameText() {
  const char* text = TextOf(name);
  const char* candidate = text;
  const char* backslash = std::strrchr(text, '\\');
  const bool driveRoot = text[0] != '\0' && text[1] == ':' && text[2] == '\\' &&
                         text[3] == '\0';
  if (backslash != nullptr && !driveRoot) candidate = backslash + 1;
  if (IsPresent(block3)) candidate = GetFullPathFromUserData(false);
  return candidate;
}

namespace {

// Writes one word of the attribute record in block1 at offset (8 or 12).  A
// record is replaced by a new 32-byte one when it is unsized (first word 0)
// or too short to hold both words; its preserved word goes over only when it
// has one.  No write ever lands past the block's end.
void WriteAttributeWord(DataBlock* block, uint32_t offset, uint32_t value,
                        void (*clear)(DataBlock*)) {
  uint32_t preserved = 0;
  if (block->data != nullptr) {
    const bool tooShort = block->length < 16;
    if (tooShort || ReadWord(block->data) == 0) {
      if (block->length >= 8) preserved = ReadWord(block->data + 4);
      clear(block);
    }
  }
  if (block->data != nullptr) {
    WriteWord(block->data + offset, value);
    return;
  }
  const uint32_t size = sizeof(EntryAttributes);
  uint8_t* record = static_cast<uint8_t*>(store_heap::Allocate(size + 1));
  if (record == nullptr) {
    clear(block);
    return;
  }
  std::memset(record, 0, size + 1);
  WriteWord(record, size);
  WriteWord(record + 4, preserved);
  WriteWord(record + offset, value);
  block->data = record;
  block->length = size;
}

}  // namespace

void CEntryNode::SetItemClass(int32_t itemClass) {
  WriteAttributeWord(&block1, 8, static_cast<uint32_t>(itemClass), &ClearBlock);
}

void CEntryNode::SetNodeValue(int32_t nodeValue) {
  WriteAttributeWord(&block1, 12, static_cast<uint32_t>(nodeValue), &ClearBlock);
}

CStrBuf GetToken(const CStrBuf& text, int32_t index, char separator) {
  const char* scan = TextOf(text);
  int32_t completed = 0;
  const char* start = nullptr;
  for (;; ++scan) {
    const char c = *scan;
    if (start == nullptr) {
      if (c == '\0') break;
      if (c != separator) start = scan;
      continue;
    }
    if (c != separator && c != '\0') continue;
    // A token ends here.
    if (completed == index) {
      CStrBuf token;
      token.Append(start, static_cast<size_t>(scan - start));
      return token;
    }
    ++completed;
    start = nullptr;
    if (c == '\0') break;
  }
  return CStrBuf();
}

bool CategoryListContains(const char* list, const char* name, size_t length) {
  if (list == nullptr || name == nullptr || length == 0) return false;
  TokenWalker tokens(list, kSeparator);
  const char* token = nullptr;
  size_t tokenLength = 0;
  while (tokens.Next(&token, &tokenLength)) {
    if (tokenLength == length && std::memcmp(token, name, length) == 0) return true;
  }
  return false;
}
