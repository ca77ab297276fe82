// CEntryNode: the store node that stands for one Outlook item (under
// FileList) or one query result (inside a query folder).
//
// Its blocks: block1 an EntryAttributes record, block2 the category list
// (text and its terminator), block3 the user-data path (text and its
// terminator).  These bytes and the eight virtual operations below (after
// GetBranchFlag, in this order) are shared with the companion.
#pragma once

#include <cstddef>
#include <cstdint>

#include "store/node.h"
#include "store/str_buf.h"

// The 32-byte record in an entry's block1; eight little-endian words.
struct EntryAttributes {
  uint32_t recordSize;     // 32; 0 marks an unsized record to be replaced
  uint32_t preservedWord;  // taken over from a replaced unsized record
  int32_t itemClass;       // OlObjectClass of the item behind the entry
  int32_t nodeValue;       // for a query result: the companion's node value
  uint32_t reservedWords[4];
};

class CEntryNode : public CBranchNode {
 public:
  explicit CEntryNode(const char* name);
  explicit CEntryNode(const CStrBuf& name);

  void* Destroy(uint32_t flags) override;

  // The category list text; the empty text (never null) when block2 is
  // absent.  Valid until the list is next replaced.
  virtual const char* GetCategories();
  // Replaces the list with a copy of text; null leaves block2 absent.
  virtual void SetCategories(const char* text);
  // Appends name (after "," when the list is not empty) unless a token of the
  // list equals it; true when appended.
  virtual bool AddCategory(const CStrBuf& name);
  // Drops every token equal to name and rewrites the list without empty
  // tokens; true when a token was dropped.
  virtual bool RemoveCategory(const CStrBuf& name);
  // Replaces the user-data path with a copy of text; null leaves it absent.
  virtual void SetUserData(const char* text);
  // The user-data path, or its part after the last backslash when
  // fileNameOnly and it starts with a drive ("X:").  Without user data: the
  // fixed text "GetFullPathFromUserData called incorrectly".
  virtual const char* GetFullPathFromUserData(bool fileNameOnly);
  // Called by the companion only; does nothing.
  virtual void Notify(uint32_t first, uint32_t second);
  // Stores 0 through code when it is not null; answers 3.
  virtual int32_t GetInfoCode(uint32_t* code);

  // The name to show: the user-data path when there is one, else the part of
  // the name after its last backslash (the whole name when it has none or
  // is a drive root such as "C:\").
  CStrBuf GetDisplayName();
  // The same name without the copy: a pointer into the entry's own name or
  // user data, valid until either is next replaced.
  const char* GetDisplayNameText();
  // Write the itemClass (offset 8) and nodeValue (offset 12) words of the
  // attribute record, creating or replacing the record as needed.
  void SetItemClass(int32_t itemClass);
  void SetNodeValue(int32_t nodeValue);

  // A single zero byte: what GetCategories answers without a list.
  char emptyText[4];

 protected:
  ~CEntryNode() = default;
};

// The token at index (from 0, over the non-empty tokens only) of text split
// at separator; the empty text when there is none.
CStrBuf GetToken(const CStrBuf& text, int32_t index, char separator);

// True when a non-empty comma-separated token of list equals the length
// bytes at name.  Allocates nothing; the hot path of query leaves.
bool CategoryListContains(const char* list, const char* name, size_t length);
