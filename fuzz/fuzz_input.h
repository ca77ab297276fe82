// FuzzInput: draws small values from a fuzzer's bytes, front to back.
//
// Once the bytes run out every draw answers zero (and every text is empty),
// so any input, however short, still describes a complete case; the fuzzer
// grows inputs only as far as new behaviour needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Empty() const { return position_ >= size_; }

  uint8_t Byte() { return Empty() ? 0 : data_[position_++]; }

  bool Bool() { return (Byte() & 1) != 0; }

  // A value in [0, bound); 0 when bound is 0.
  uint32_t Below(uint32_t bound) {
    if (bound <= 1) return 0;
    uint32_t value = Byte();
    if (bound > 256) value = (value << 8) | Byte();
    return value % bound;
  }

  uint32_t Word() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(Byte()) << (8 * i);
    return value;
  }

  // A text of up to maxLength characters, each picked from alphabet.
  std::string TextFrom(const char* alphabet, size_t alphabetLength,
                       size_t maxLength) {
    std::string text;
    size_t length = Below(static_cast<uint32_t>(maxLength + 1));
    for (size_t i = 0; i < length; ++i) {
      text.push_back(alphabet[Below(static_cast<uint32_t>(alphabetLength))]);
    }
    return text;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

// Stops the run with a message: libFuzzer records the input as a crash, and
// the corpus replay fails.
[[noreturn]] void FuzzFail(const char* format, ...);
