#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "store/entry_node.h"
#include "store/node.h"
#include "tests/store/store_test_util.h"

namespace {

using store_test::BlockBytes;
using store_test::Bytes;
using store_test::HeapCheckedTest;
using store_test::MakeRecord;
using store_test::WordAt;

const uint32_t kAllKinds[] = {NODE_KIND_NAMED, NODE_KIND_BRANCH, NODE_KIND_ENTRY,
                              NODE_KIND_QUERY_TERM, NODE_KIND_CATEGORY};

// What a load may change, and the storage it lives in.
struct Contents {
  std::string name;
  std::string blocks[3];
  const void* storage[4];

  explicit Contents(CNamedNode* node) {
    name = node->GetName();
    const DataBlock* all[3] = {&node->block1, &node->block2, &node->block3};
    storage[0] = node->GetName();
    for (int i = 0; i < 3; ++i) {
      blocks[i] = BlockBytes(all[i]->data, all[i]->length);
      storage[i + 1] = all[i]->data;
    }
  }
  bool SameAs(const Contents& other) const {
    for (int i = 0; i < 3; ++i) {
      if (blocks[i] != other.blocks[i]) return false;
    }
    return name == other.name &&
           std::memcmp(storage, other.storage, sizeof storage) == 0;
  }
};

// A heap copy of exactly the given bytes, so that the sanitizers see any
// read past its end.
class ExactBuffer {
 public:
  ExactBuffer(const uint8_t* bytes, size_t size)
      : data_(static_cast<uint8_t*>(std::malloc(size ? size : 1))), size_(size) {
    if (size) std::memcpy(data_, bytes, size);
  }
  ~ExactBuffer() { std::free(data_); }
  ExactBuffer(const ExactBuffer&) = delete;
  ExactBuffer& operator=(const ExactBuffer&) = delete;
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  uint8_t* data_;
  size_t size_;
};

Bytes SaveOf(CNamedNode* node) {
  const int32_t size = node->GetRecordSize();
  Bytes bytes(static_cast<size_t>(size) + 8, 0xCC);
  EXPECT_EQ(node->Save(bytes.data(), 0), size);
  for (size_t i = static_cast<size_t>(size); i < bytes.size(); ++i) {
    EXPECT_EQ(bytes[i], 0xCC) << "Save wrote past its record at " << i;
  }
  bytes.resize(static_cast<size_t>(size));
  return bytes;
}

class NodeRecordTest : public HeapCheckedTest {
 protected:
  // A node of kind with a name and all three blocks filled, the attribute
  // block holding zero bytes and the text blocks their terminators.
  CNamedNode* FilledNode(uint32_t kind) {
    CNamedNode* node = CreateNodeOfKind(kind, "E1\\Subject");
    const uint8_t attributes[32] = {32, 0, 0, 0, 7, 0, 0, 0, 43};
    SetBlock(&node->block1, std::string(reinterpret_cast<const char*>(attributes), 32));
    SetBlock(&node->block2, std::string("Work,Home\0", 10));
    SetBlock(&node->block3, std::string("C:\\dir\\file.txt\0", 16));
    return node;
  }

  static void SetBlock(DataBlock* block, const std::string& bytes) {
    block->data = static_cast<uint8_t*>(store_heap::Allocate(bytes.size()));
    std::memcpy(block->data, bytes.data(), bytes.size());
    block->length = static_cast<uint32_t>(bytes.size());
  }
};

// The record of a node named "ab" with empty blocks, for each depth.
const uint8_t kBody[] = {0x02, 0x00, 0x00, 0x00, 0x61, 0x62, 0, 0, 0, 0,
                         0,    0,    0,    0,    0,    0,    0, 0};

TEST_F(NodeRecordTest, RecordsOfEveryKindByteForByte) {
  struct Case {
    uint32_t kind;
    std::vector<uint8_t> header;
  };
  const Case cases[] = {
      {NODE_KIND_NAMED,
       {0x00, 0x00, 0x01, 0xE6, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0xE6,
        0x12, 0x00, 0x00, 0x00}},
      {NODE_KIND_BRANCH,
       {0x00, 0x00, 0x01, 0xE6, 0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x01, 0xE6,
        0x01, 0x00, 0x01, 0xE6, 0x12, 0x00, 0x00, 0x00}},
      {NODE_KIND_ENTRY,
       {0x00, 0x00, 0x01, 0xE6, 0x03, 0x00, 0x00, 0x00, 0x05, 0x00, 0x01, 0xE6,
        0x03, 0x00, 0x01, 0xE6, 0x01, 0x00, 0x01, 0xE6, 0x12, 0x00, 0x00, 0x00}},
      {NODE_KIND_QUERY_TERM,
       {0x00, 0x00, 0x01, 0xE6, 0x03, 0x00, 0x00, 0x00, 0x07, 0x00, 0x01, 0xE6,
        0x03, 0x00, 0x01, 0xE6, 0x01, 0x00, 0x01, 0xE6, 0x12, 0x00, 0x00, 0x00}},
      {NODE_KIND_CATEGORY,
       {0x00, 0x00, 0x01, 0xE6, 0x03, 0x00, 0x00, 0x00, 0x08, 0x00, 0x01, 0xE6,
        0x03, 0x00, 0x01, 0xE6, 0x01, 0x00, 0x01, 0xE6, 0x12, 0x00, 0x00, 0x00}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    Bytes expected = c.header;
    expected.insert(expected.end(), std::begin(kBody), std::end(kBody));
    CNamedNode* node = CreateNodeOfKind(c.kind, "ab");
    EXPECT_EQ(node->GetRecordSize(), static_cast<int32_t>(expected.size()));
    EXPECT_EQ(node->Save(nullptr, 0), static_cast<int32_t>(expected.size()));
    EXPECT_EQ(SaveOf(node), expected);
    // Through the record interface, as the companion calls it.
    INodeRecord* record = node;
    Bytes again(expected.size());
    EXPECT_EQ(record->Save(again.data(), 0x55), static_cast<int32_t>(expected.size()));
    EXPECT_EQ(again, expected);
    node->Destroy(1);
  }
  EXPECT_EQ(sizeof kBody + 16, 34u);
}

TEST_F(NodeRecordTest, EmptyNameAndBlockBytesAreWrittenAsTheyAre) {
  CEntryNode* entry = new (std::nothrow) CEntryNode("");
  entry->SetCategories("Work");
  const Bytes saved = SaveOf(entry);
  const Bytes expected = MakeRecord({NODE_KIND_ENTRY, NODE_KIND_BRANCH, NODE_KIND_NAMED},
                                    "", "", std::string("Work\0", 5), "");
  EXPECT_EQ(saved, expected);
  EXPECT_EQ(WordAt(saved.data() + 24), 0u);  // nameLength
  entry->Destroy(1);
}

TEST_F(NodeRecordTest, RoundTripsForEveryKind) {
  for (uint32_t kind : kAllKinds) {
    SCOPED_TRACE(kind);
    CNamedNode* original = FilledNode(kind);
    const Bytes saved = SaveOf(original);
    std::vector<uint32_t> chain = {kind};
    if (kind != NODE_KIND_NAMED) {
      if (kind != NODE_KIND_BRANCH) chain.push_back(NODE_KIND_BRANCH);
      chain.push_back(NODE_KIND_NAMED);
    }
    const Contents contents(original);
    EXPECT_EQ(saved, MakeRecord(chain, contents.name, contents.blocks[0],
                                contents.blocks[1], contents.blocks[2]));

    for (bool bounded : {false, true}) {
      SCOPED_TRACE(bounded ? "LoadBounded" : "Load");
      CNamedNode* copy = CreateNodeOfKind(kind, "something else entirely");
      ExactBuffer record(saved.data(), saved.size());
      const int32_t consumed = bounded ? copy->LoadBounded(record.data(), record.size())
                                       : copy->Load(record.data(), 0);
      EXPECT_EQ(consumed, static_cast<int32_t>(saved.size()));
      Contents loaded(copy);
      Contents expected(original);
      EXPECT_EQ(loaded.name, expected.name);
      for (int i = 0; i < 3; ++i) EXPECT_EQ(loaded.blocks[i], expected.blocks[i]);
      // The name keeps its larger storage, as an Assign would.
      EXPECT_EQ(copy->name.GetCapacity(), 24);
      EXPECT_EQ(SaveOf(copy), saved);
      copy->Destroy(1);
    }
    original->Destroy(1);
  }
}

TEST_F(NodeRecordTest, AnyKindLoadsARecordOfAnyKind) {
  CNamedNode* category = FilledNode(NODE_KIND_CATEGORY);
  const Bytes deep = SaveOf(category);
  CNamedNode* named = CreateNodeOfKind(NODE_KIND_NAMED, "x");
  EXPECT_EQ(named->Load(deep.data(), 0), static_cast<int32_t>(deep.size()));
  EXPECT_EQ(named->GetTypeId(), NODE_KIND_NAMED);
  const Bytes shallow = SaveOf(named);
  EXPECT_EQ(shallow.size(), deep.size() - 8);
  EXPECT_TRUE(std::equal(shallow.begin() + 16, shallow.end(), deep.begin() + 24));

  CNamedNode* entry = CreateNodeOfKind(NODE_KIND_ENTRY, "y");
  EXPECT_EQ(entry->LoadBounded(shallow.data(), shallow.size()),
            static_cast<int32_t>(shallow.size()));
  Bytes expected = deep;
  expected[8] = 0x05;  // the entry's own id first
  EXPECT_EQ(SaveOf(entry), expected);
  entry->Destroy(1);
  named->Destroy(1);
  category->Destroy(1);
}

TEST_F(NodeRecordTest, LoadReplacesWhatTheNodeHeld) {
  CNamedNode* node = FilledNode(NODE_KIND_ENTRY);
  const Bytes record = MakeRecord({NODE_KIND_NAMED}, "n", "", "xy", "");
  const int64_t frees = store_heap::Frees();
  EXPECT_EQ(node->Load(record.data(), 0), static_cast<int32_t>(record.size()));
  EXPECT_EQ(store_heap::Frees() - frees, 3);  // the three old blocks
  EXPECT_STREQ(node->GetName(), "n");
  EXPECT_EQ(node->block1.length, 0u);
  EXPECT_EQ(node->block1.data, nullptr);
  EXPECT_EQ(BlockBytes(node->block2.data, node->block2.length), "xy");
  // The block came without a terminator; a hidden zero follows its bytes.
  EXPECT_EQ(node->block2.data[2], 0);
  EXPECT_STREQ(static_cast<CEntryNode*>(node)->GetCategories(), "xy");
  EXPECT_EQ(node->block3.data, nullptr);
  node->Destroy(1);
}

TEST_F(NodeRecordTest, AZeroByteCutsTheName) {
  CNamedNode* node = CreateNodeOfKind(NODE_KIND_NAMED, "");
  const Bytes record = MakeRecord({NODE_KIND_NAMED}, std::string("ab\0cd", 5), "", "", "");
  EXPECT_EQ(node->LoadBounded(record.data(), record.size()),
            static_cast<int32_t>(record.size()));
  EXPECT_STREQ(node->GetName(), "ab");
  node->Destroy(1);
}

TEST_F(NodeRecordTest, RefusedRecordsLeaveTheNodeAsItWas) {
  Bytes badMagic = MakeRecord({NODE_KIND_NAMED}, "n", "", "", "");
  badMagic[0] ^= 1;
  CNamedNode* node = FilledNode(NODE_KIND_ENTRY);
  const Contents before(node);
  EXPECT_EQ(node->Load(nullptr, 0), 0);
  EXPECT_EQ(node->Load(badMagic.data(), 0), 0);
  EXPECT_EQ(node->LoadBounded(nullptr, 100), 0);
  EXPECT_EQ(node->LoadBounded(badMagic.data(), badMagic.size()), 0);
  EXPECT_TRUE(Contents(node).SameAs(before));
  node->Destroy(1);
}

TEST_F(NodeRecordTest, BoundedLoadRefusesEveryTruncation) {
  CNamedNode* source = FilledNode(NODE_KIND_CATEGORY);
  const Bytes saved = SaveOf(source);
  source->Destroy(1);
  CNamedNode* node = FilledNode(NODE_KIND_ENTRY);
  const Contents before(node);
  for (size_t size = 0; size < saved.size(); ++size) {
    SCOPED_TRACE(size);
    ExactBuffer prefix(saved.data(), size);
    ASSERT_EQ(node->LoadBounded(prefix.data(), prefix.size()), 0);
    ASSERT_TRUE(Contents(node).SameAs(before));
  }
  ExactBuffer whole(saved.data(), saved.size());
  EXPECT_EQ(node->LoadBounded(whole.data(), whole.size()),
            static_cast<int32_t>(saved.size()));
  node->Destroy(1);
}

// The trusting load reads the header as given but nothing after it beyond
// the payload size it states.
TEST_F(NodeRecordTest, LoadRefusesABodyLongerThanItsPayloadSize) {
  CNamedNode* source = FilledNode(NODE_KIND_ENTRY);
  const Bytes saved = SaveOf(source);
  source->Destroy(1);
  const size_t header = 24;
  CNamedNode* node = FilledNode(NODE_KIND_QUERY_TERM);
  const Contents before(node);
  for (size_t payload = 0; payload < saved.size() - header; ++payload) {
    SCOPED_TRACE(payload);
    Bytes record(saved.begin(), saved.begin() + static_cast<long>(header + payload));
    for (int i = 0; i < 4; ++i) record[20 + i] = static_cast<uint8_t>(payload >> (8 * i));
    ExactBuffer exact(record.data(), record.size());
    ASSERT_EQ(node->Load(exact.data(), 0), 0);
    ASSERT_EQ(node->LoadBounded(exact.data(), exact.size()), 0);
    ASSERT_TRUE(Contents(node).SameAs(before));
  }
  node->Destroy(1);
}

TEST_F(NodeRecordTest, AnswersTheBytesOfTheFieldsRead) {
  // A payload size larger than the fields (within the buffer) is accepted;
  // the answer is where the last block ends.
  Bytes record = MakeRecord({NODE_KIND_NAMED}, "n", "a", "", "");
  const size_t fields = record.size();
  record.resize(fields + 6, 0xAB);
  record[12] = static_cast<uint8_t>(record[12] + 6);
  CNamedNode* node = CreateNodeOfKind(NODE_KIND_NAMED, "x");
  EXPECT_EQ(node->LoadBounded(record.data(), record.size()), static_cast<int32_t>(fields));
  EXPECT_EQ(node->Load(record.data(), 0), static_cast<int32_t>(fields));
  EXPECT_STREQ(node->GetName(), "n");
  node->Destroy(1);
}

TEST_F(NodeRecordTest, HugeLengthWordsAreRefused) {
  struct Case {
    const char* field;
    size_t offset;  // of the word in a depth-1 record named "n"
  };
  const Case cases[] = {
      {"typeCount", 4}, {"payloadSize", 12}, {"nameLength", 16},
      {"block1", 21},   {"block2", 25},      {"block3", 29},
  };
  const Bytes good = MakeRecord({NODE_KIND_NAMED}, "n", "", "", "");
  ASSERT_EQ(good.size(), 33u);
  for (const Case& c : cases) {
    for (uint32_t huge : {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 0x40000000u}) {
      SCOPED_TRACE(std::string(c.field) + " " + std::to_string(huge));
      Bytes record = good;
      for (int i = 0; i < 4; ++i) record[c.offset + i] = static_cast<uint8_t>(huge >> (8 * i));
      CNamedNode* node = FilledNode(NODE_KIND_ENTRY);
      const Contents before(node);
      ExactBuffer exact(record.data(), record.size());
      EXPECT_EQ(node->LoadBounded(exact.data(), exact.size()), 0);
      EXPECT_TRUE(Contents(node).SameAs(before));
      // The trusting load takes a payload size that is still a count at its
      // word: the fields within it are read and the record is accepted.
      const bool trustedPayload = c.offset == 12 && huge + 16ull <= 0x7FFFFFFFu;
      if (!trustedPayload) {
        EXPECT_EQ(node->Load(exact.data(), 0), 0);
        EXPECT_TRUE(Contents(node).SameAs(before));
      }
      node->Destroy(1);
    }
  }
}

TEST_F(NodeRecordTest, LoadWithoutMemoryLeavesTheNodeAsItWas) {
  const Bytes record = MakeRecord({NODE_KIND_ENTRY, NODE_KIND_BRANCH, NODE_KIND_NAMED},
                                  "a much longer name than before", "attr",
                                  std::string("Work\0", 5), "path");
  // Allocations: the name's storage, then the three blocks.
  for (int64_t skip = 0; skip < 4; ++skip) {
    SCOPED_TRACE(skip);
    CNamedNode* node = FilledNode(NODE_KIND_ENTRY);
    const Contents before(node);
    store_heap::FailAllocations(skip, 1);
    EXPECT_EQ(node->LoadBounded(record.data(), record.size()), 0);
    store_heap::FailNone();
    EXPECT_TRUE(Contents(node).SameAs(before));
    EXPECT_EQ(node->LoadBounded(record.data(), record.size()),
              static_cast<int32_t>(record.size()));
    node->Destroy(1);
  }
}

}  // namespace
