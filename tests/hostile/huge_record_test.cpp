// Records whose length words claim far more than the bytes given: gigabyte
// names and blocks, a type count whose header size wraps in 32 bits.  The
// size-aware load refuses them and leaves the node as it was; the trusting
// load, bounded by the record's own payload size, never reads past it.
// Every record lies in a heap buffer of exactly its size.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "store/entry_node.h"
#include "store/node.h"

namespace {

void PutWord(std::vector<uint8_t>* out, uint32_t word) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(word >> (8 * i)));
}

// A depth-1 record; each length word is the true length unless overridden.
struct RecordSpec {
  uint32_t typeCount = 1;
  bool payloadOverride = false;
  uint32_t payload = 0;
  bool nameLengthOverride = false;
  uint32_t nameLength = 0;
  uint32_t blockOverride[3] = {0, 0, 0};
  bool blockOverridden[3] = {false, false, false};
};

std::vector<uint8_t> MakeRecord(const RecordSpec& spec) {
  const std::string name = "hostile";
  const std::string blocks[3] = {"one", "two", "three"};
  std::vector<uint8_t> body;
  PutWord(&body, spec.nameLengthOverride ? spec.nameLength : static_cast<uint32_t>(name.size()));
  body.insert(body.end(), name.begin(), name.end());
  for (int i = 0; i < 3; ++i) {
    PutWord(&body, spec.blockOverridden[i] ? spec.blockOverride[i]
                                           : static_cast<uint32_t>(blocks[i].size()));
    body.insert(body.end(), blocks[i].begin(), blocks[i].end());
  }
  std::vector<uint8_t> record;
  PutWord(&record, NODE_RECORD_MAGIC);
  PutWord(&record, spec.typeCount);
  PutWord(&record, NODE_KIND_NAMED);
  PutWord(&record, spec.payloadOverride ? spec.payload : static_cast<uint32_t>(body.size()));
  record.insert(record.end(), body.begin(), body.end());
  return record;
}

// The record in a heap buffer of exactly its size.
struct ExactBuffer {
  explicit ExactBuffer(const std::vector<uint8_t>& bytes)
      : size(bytes.size()), data(static_cast<uint8_t*>(std::malloc(bytes.size() + (bytes.empty() ? 1 : 0)))) {
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  }
  ~ExactBuffer() { std::free(data); }
  size_t size;
  uint8_t* data;
};

struct HugeCase {
  const char* name;
  RecordSpec spec;
};

RecordSpec NameLength(uint32_t length) {
  RecordSpec spec;
  spec.nameLengthOverride = true;
  spec.nameLength = length;
  return spec;
}

RecordSpec BlockLength(int block, uint32_t length) {
  RecordSpec spec;
  spec.blockOverridden[block] = true;
  spec.blockOverride[block] = length;
  return spec;
}

RecordSpec TypeCount(uint32_t count) {
  RecordSpec spec;
  spec.typeCount = count;
  return spec;
}

const HugeCase kHugeCases[] = {
    {"NameOfFourGigabytes", NameLength(0xFFFFFFFFu)},
    {"NameLengthWrapsPositionBack", NameLength(0xFFFFFFFCu)},
    {"NameOfTwoGigabytes", NameLength(0x80000000u)},
    {"NameOneByteTooLong", NameLength(8)},
    {"FirstBlockOfTwoGigabytes", BlockLength(0, 0x7FFFFFFFu)},
    {"SecondBlockOfFourGigabytes", BlockLength(1, 0xFFFFFFFFu)},
    {"LastBlockWrapsPositionBack", BlockLength(2, 0xFFFFFFF0u)},
    {"LastBlockOneByteTooLong", BlockLength(2, 6)},
    // Above: header whole, inner lengths lie.  Below: the header itself.
    // 12 + 4 * 0x40000000 is 12 again in 32-bit arithmetic.
    {"TypeCountWrapsHeaderSize", TypeCount(0x40000000u)},
    {"TypeCountOfGigabytes", TypeCount(0x7FFFFFFFu)},
};

constexpr size_t kInnerLieCases = 8;

class HugeRecord : public ::testing::TestWithParam<HugeCase> {
 protected:
  void SetUp() override {
    // A node with contents of its own, to see that a refusal keeps them.
    node_ = static_cast<CEntryNode*>(CreateNodeOfKind(NODE_KIND_ENTRY, "E1\\Subject"));
    ASSERT_NE(nullptr, node_);
    node_->SetCategories("Work,Home");
    node_->SetUserData("C:\\dir\\file.txt");
    node_->SetItemClass(43);
  }
  void TearDown() override { node_->Destroy(1); }

  void ExpectUnchanged() {
    EXPECT_STREQ("E1\\Subject", node_->GetName());
    EXPECT_STREQ("Work,Home", node_->GetCategories());
    EXPECT_STREQ("C:\\dir\\file.txt", node_->GetFullPathFromUserData(false));
    ASSERT_EQ(32u, node_->block1.length);
    int32_t itemClass;
    std::memcpy(&itemClass, node_->block1.data + 8, 4);
    EXPECT_EQ(43, itemClass);
  }

  CEntryNode* node_ = nullptr;
};

TEST_P(HugeRecord, BoundedLoadRefusesAndKeepsTheNode) {
  ExactBuffer record(MakeRecord(GetParam().spec));
  EXPECT_EQ(0, node_->LoadBounded(record.data, record.size));
  ExpectUnchanged();
}

// The payload size is the record's own and true here; only the inner length
// words lie.  Whatever the trusting load answers, it stays inside the record.
class TrustingHugeRecord : public HugeRecord {};

TEST_P(TrustingHugeRecord, StaysInsideThePayload) {
  ExactBuffer record(MakeRecord(GetParam().spec));
  const int32_t consumed = node_->Load(record.data, 0);
  EXPECT_GE(consumed, 0);
  EXPECT_LE(static_cast<size_t>(consumed), record.size);
  if (consumed == 0) ExpectUnchanged();
}

INSTANTIATE_TEST_SUITE_P(Lies, HugeRecord, ::testing::ValuesIn(kHugeCases),
                         [](const auto& info) { return std::string(info.param.name); });
// The trusting load is given only records whose header is whole.
INSTANTIATE_TEST_SUITE_P(InnerLies, TrustingHugeRecord,
                         ::testing::ValuesIn(kHugeCases, kHugeCases + kInnerLieCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A payload size that claims gigabytes with true inner lengths: the record
// is still whole, so both loads read exactly it.
TEST(HugeRecordPayload, GigabytePayloadWordOverWholeBodyIsBounded) {
  RecordSpec spec;
  spec.payloadOverride = true;
  spec.payload = 0xFFFFFFF0u;
  ExactBuffer record(MakeRecord(spec));
  CNamedNode* node = CreateNodeOfKind(NODE_KIND_NAMED, "before");
  const int32_t consumed = node->LoadBounded(record.data, record.size);
  if (consumed != 0) {
    EXPECT_EQ(static_cast<int32_t>(record.size), consumed);
    EXPECT_STREQ("hostile", node->GetName());
  } else {
    EXPECT_STREQ("before", node->GetName());
  }
  node->Destroy(1);
}

// Every record cut short, from nothing up to one byte less than whole.
TEST(HugeRecordPayload, EveryTruncationIsRefused) {
  const std::vector<uint8_t> whole = MakeRecord(RecordSpec());
  for (size_t size = 0; size < whole.size(); ++size) {
    SCOPED_TRACE(size);
    ExactBuffer record(std::vector<uint8_t>(whole.begin(), whole.begin() + size));
    CNamedNode* node = CreateNodeOfKind(NODE_KIND_NAMED, "before");
    EXPECT_EQ(0, node->LoadBounded(record.data, size));
    EXPECT_STREQ("before", node->GetName());
    node->Destroy(1);
  }
  ExactBuffer record(whole);
  CNamedNode* node = CreateNodeOfKind(NODE_KIND_NAMED, "before");
  EXPECT_EQ(static_cast<int32_t>(whole.size()), node->LoadBounded(record.data, record.size));
  EXPECT_STREQ("hostile", node->GetName());
  node->Destroy(1);
}

}  // namespace
