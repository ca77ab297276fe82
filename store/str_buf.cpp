#include "store/str_buf.h"

#include <cstdint>
#include <cstring>
#include <new>

#include "store/heap.h"
#include "store/layout_checks.h"

namespace {

// Length of the text in storage of capacity bytes, never reading past it (a
// buffer handed to us by the companion is trusted, but not that far).
size_t BoundedLength(const char* text, int32_t capacity) {
  if (text == nullptr || capacity <= 0) return 0;
  const void* zero = std::memchr(text, 0, static_cast<size_t>(capacity));
  return zero ? static_cast<size_t>(static_cast<const char*>(zero) - text)
              : static_cast<size_t>(capacity);
}

// Sizes are signed 32-bit on the wire; a larger request cannot be held.
bool FitsInCapacity(size_t size) {
  return size <= static_cast<size_t>(INT32_MAX);
}

}  // namespace

CStrBuf::CStrBuf() : text(nullptr), capacity(0) {
  Reserve(1, 0);
  if (text) text[0] = '\0';
}

CStrBuf::CStrBuf(const char* source) : text(nullptr), capacity(0) {
  if (source == nullptr) {
    Reserve(1, 0);
    if (text) text[0] = '\0';
    return;
  }
  Assign(source);
}

CStrBuf::CStrBuf(const CStrBuf& source) : CStrBuf(source.text) {}

CStrBuf::CStrBuf(CStrBuf&& source) noexcept
    : text(source.text), capacity(source.capacity) {
  source.text = nullptr;
  source.capacity = 0;
}

CStrBuf::~CStrBuf() {
  store_heap::Free(text);
  text = nullptr;
  capacity = 0;
}

void* CStrBuf::Destroy(uint32_t flags) {
  void* self = this;
  this->CStrBuf::~CStrBuf();
  if (flags & 1) store_heap::Free(self);
  return self;
}

void CStrBuf::Assign(const char* source) {
  if (source == nullptr) {
    if (text == nullptr) Reserve(1, 0);
    if (text) text[0] = '\0';
    return;
  }
  size_t length = std::strlen(source);
  if (FitsInCapacity(length + 1) &&
      static_cast<int32_t>(length + 1) > capacity) {
    Reserve(static_cast<int32_t>(length + 1), 0);
  }
  if (text == nullptr) return;  // no storage could be had
  // Without the memory to grow, keep what fits.
  if (length + 1 > static_cast<size_t>(capacity)) {
    length = static_cast<size_t>(capacity) - 1;
  }
  // memmove: the source may be this buffer's own text.
  std::memmove(text, source, length);
  text[length] = '\0';
}

void CStrBuf::Reserve(int32_t size, uint32_t keep) {
  if (size == 0) {
    store_heap::Free(text);
    text = nullptr;
    capacity = 0;
    return;
  }
  if (size <= capacity) return;  // signed: negative sizes are ignored too
  char* storage = static_cast<char*>(store_heap::Allocate(static_cast<size_t>(size)));
  if (storage == nullptr) return;  // the buffer stays as it was
  storage[0] = '\0';
  if (text != nullptr) {
    if (keep & 0xFFu) {
      const size_t length = BoundedLength(text, capacity);
      std::memcpy(storage, text, length);
      storage[length] = '\0';
    }
    store_heap::Free(text);
  }
  text = storage;
  capacity = size;
}

void CStrBuf::Append(const char* source) {
  if (source == nullptr) return;
  Append(source, std::strlen(source));
}

void CStrBuf::Append(const char* source, size_t length) {
  if (source == nullptr || length == 0) return;
  const size_t current = BoundedLength(text, capacity);
  const size_t need = current + length + 1;

  // A source inside our own storage must be read before that storage goes.
  const uintptr_t start = reinterpret_cast<uintptr_t>(text);
  const uintptr_t at = reinterpret_cast<uintptr_t>(source);
  const bool inside = text != nullptr && at >= start &&
                      at < start + static_cast<uintptr_t>(capacity);

  if (FitsInCapacity(need) && static_cast<int32_t>(need) > capacity) {
    if (inside) {
      char* storage = static_cast<char*>(store_heap::Allocate(need));
      if (storage != nullptr) {
        std::memcpy(storage, text, current);
        std::memcpy(storage + current, source, length);
        storage[current + length] = '\0';
        store_heap::Free(text);
        text = storage;
        capacity = static_cast<int32_t>(need);
        return;
      }
    } else {
      Reserve(static_cast<int32_t>(need), 1);
    }
  }
  if (text == nullptr || current + 1 > static_cast<size_t>(capacity)) return;
  // Without the memory to grow, keep what fits.
  const size_t room = static_cast<size_t>(capacity) - 1 - current;
  const size_t copied = length < room ? length : room;
  std::memmove(text + current, source, copied);
  text[current + copied] = '\0';
}

size_t CStrBuf::GetLength() const { return BoundedLength(text, capacity); }

CStrBuf* CStrBuf::Create(const char* source) {
  CStrBuf* buffer = new (std::nothrow) CStrBuf(source);
  if (buffer != nullptr && buffer->text == nullptr) {
    buffer->Destroy(1);
    return nullptr;
  }
  return buffer;
}

void* CStrBuf::operator new(size_t size, const std::nothrow_t&) noexcept {
  return store_heap::Allocate(size);
}

void CStrBuf::operator delete(void* memory, const std::nothrow_t&) noexcept {
  store_heap::Free(memory);
}

void CStrBuf::operator delete(void* memory) noexcept {
  store_heap::Free(memory);
}
