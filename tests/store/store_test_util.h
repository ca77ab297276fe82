// Helpers shared by the store tests: a fixture that fails on leaked or
// doubly freed heap memory, and record bytes written independently of the
// store's own writer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "store/heap.h"

namespace store_test {

// Every test of this fixture must give back all the store memory it took.
class HeapCheckedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store_heap::FailNone();
    liveAtStart_ = store_heap::Live();
  }
  void TearDown() override {
    store_heap::FailNone();
    EXPECT_EQ(store_heap::Live(), liveAtStart_) << "store memory leaked or freed twice";
  }

 private:
  int64_t liveAtStart_ = 0;
};

using Bytes = std::vector<uint8_t>;

inline void PutWord(Bytes* out, uint32_t word) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(word >> (8 * i)));
}

inline void PutBytes(Bytes* out, const std::string& bytes) {
  out->insert(out->end(), bytes.begin(), bytes.end());
}

inline uint32_t WordAt(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// A record as the format describes it: the chain, then payloadSize counted
// from the fields that follow.
inline Bytes MakeRecord(const std::vector<uint32_t>& chain, const std::string& name,
                        const std::string& block1, const std::string& block2,
                        const std::string& block3) {
  Bytes body;
  PutWord(&body, static_cast<uint32_t>(name.size()));
  PutBytes(&body, name);
  for (const std::string* block : {&block1, &block2, &block3}) {
    PutWord(&body, static_cast<uint32_t>(block->size()));
    PutBytes(&body, *block);
  }
  Bytes record;
  PutWord(&record, 0xE6010000u);
  PutWord(&record, static_cast<uint32_t>(chain.size()));
  for (uint32_t id : chain) PutWord(&record, id);
  PutWord(&record, static_cast<uint32_t>(body.size()));
  record.insert(record.end(), body.begin(), body.end());
  return record;
}

inline std::string BlockBytes(const uint8_t* data, uint32_t length) {
  return data ? std::string(reinterpret_cast<const char*>(data), length) : std::string();
}

}  // namespace store_test
