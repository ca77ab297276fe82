// CStrBuf: an owned, growable, zero-terminated 8-bit text buffer.
//
// Layout-bound: the companion holds and destroys buffers that this module
// made (node names), so the table order (Destroy, Assign, Reserve) and the
// field order (text, capacity) are a contract.  Growth is observable by the
// companion: storage grows to exactly the size asked for and never shrinks.
// Storage comes from the process's one C runtime heap (malloc/free).
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

class CStrBuf {
 public:
  // Empty: one byte of storage holding the empty text.
  CStrBuf();
  // A copy of source; a null source gives the empty text.
  explicit CStrBuf(const char* source);
  CStrBuf(const CStrBuf& source);
  CStrBuf(CStrBuf&& source) noexcept;
  CStrBuf& operator=(const CStrBuf&) = delete;
  ~CStrBuf();

  // Table slot 0, the deleting destructor as the companion calls it: runs the
  // destructor and, when bit 0 of flags is set, frees the object's memory.
  // Answers the object's address.
  virtual void* Destroy(uint32_t flags);
  // Replaces the text with a copy of source (null: the empty text).  The
  // capacity never shrinks.
  virtual void Assign(const char* source);
  // Makes sure at least size bytes are held; size 0 frees the storage.  Only
  // the low byte of keep is examined: non-zero keeps the old text.
  virtual void Reserve(int32_t size, uint32_t keep);

  // Concatenates source (which may lie inside this buffer's own storage).
  void Append(const char* source);
  void Append(const char* source, size_t length);

  // Never null unless Reserve(0, ...) released the storage.
  const char* GetText() const { return text; }
  int32_t GetCapacity() const { return capacity; }
  // Length of the text in bytes; 0 without storage.
  size_t GetLength() const;

  // Heap buffers are made and destroyed only through these (nothrow, C heap).
  static CStrBuf* Create(const char* source);
  static void* operator new(size_t size, const std::nothrow_t&) noexcept;
  static void operator delete(void* memory, const std::nothrow_t&) noexcept;
  static void operator delete(void* memory) noexcept;

  char* text;        // owned storage, null only while capacity is 0
  int32_t capacity;  // bytes of storage held
};
