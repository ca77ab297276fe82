// The byte record in which a node describes itself, shared with the
// companion.  All words are 32-bit little-endian, with no alignment and no
// filler:
//
//   magic (NODE_RECORD_MAGIC), typeCount d, d type ids (most-derived first),
//   payloadSize (bytes after this word), nameLength n, n name bytes (no
//   terminator), then for block1, block2, block3: its length L and L bytes.
//
// The header (magic to payloadSize) is 12 + 4d bytes; the whole record
// 28 + 4d + n + L1 + L2 + L3.  Parent, children, auxWord1/2 and the kinds'
// own fields are not recorded.
#pragma once

#include <cstdint>

namespace node_record {

// Header bytes of a record whose chain has depth ids.
constexpr uint32_t HeaderSize(uint32_t depth) { return 12 + 4 * depth; }

inline uint32_t ReadWord(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) |
         static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 |
         static_cast<uint32_t>(bytes[3]) << 24;
}

inline void WriteWord(uint8_t* bytes, uint32_t word) {
  bytes[0] = static_cast<uint8_t>(word);
  bytes[1] = static_cast<uint8_t>(word >> 8);
  bytes[2] = static_cast<uint8_t>(word >> 16);
  bytes[3] = static_cast<uint8_t>(word >> 24);
}

}  // namespace node_record
