// Save and Load of the node record (format in store/node_record.h).
#include "store/node_record.h"

#include <cstring>
#include <typeinfo>

#include "store/entry_node.h"
#include "store/heap.h"
#include "store/layout_checks.h"
#include "store/node.h"

using node_record::HeaderSize;
using node_record::ReadWord;
using node_record::WriteWord;

namespace {

// A kind's type-id chain, most-derived first.
struct KindChain {
  uint32_t ids[3];
  int32_t depth;
};

constexpr KindChain kNamedChain = {{NODE_KIND_NAMED, 0, 0}, 1};
constexpr KindChain kBranchChain = {{NODE_KIND_BRANCH, NODE_KIND_NAMED, 0}, 2};
constexpr KindChain kEntryChain = {
    {NODE_KIND_ENTRY, NODE_KIND_BRANCH, NODE_KIND_NAMED}, 3};
constexpr KindChain kQueryTermChain = {
    {NODE_KIND_QUERY_TERM, NODE_KIND_BRANCH, NODE_KIND_NAMED}, 3};
constexpr KindChain kCategoryChain = {
    {NODE_KIND_CATEGORY, NODE_KIND_BRANCH, NODE_KIND_NAMED}, 3};

// The chain of node's most-derived kind of this module.  The exact class is
// the common case (one type_info comparison each); a class derived from one
// of ours elsewhere falls back to the nearest of our kinds.
const KindChain& ChainOf(CNamedNode* node) {
  const std::type_info& type = typeid(*node);
  if (type == typeid(CEntryNode)) return kEntryChain;
  if (type == typeid(CNamedNode)) return kNamedChain;
  if (type == typeid(CQueryTermNode)) return kQueryTermChain;
  if (type == typeid(CCategoryNode)) return kCategoryChain;
  if (type == typeid(CBranchNode)) return kBranchChain;
  if (dynamic_cast<CEntryNode*>(node) != nullptr) return kEntryChain;
  if (dynamic_cast<CQueryTermNode*>(node) != nullptr) return kQueryTermChain;
  if (dynamic_cast<CCategoryNode*>(node) != nullptr) return kCategoryChain;
  if (dynamic_cast<CBranchNode*>(node) != nullptr) return kBranchChain;
  return kNamedChain;
}

CNamedNode* Owner(CNodeRecord* record) {
  return static_cast<CNamedNode*>(record);
}

// Reads a length word and the bytes it counts from body[position..limit).
bool TakeField(const uint8_t* body, uint64_t limit, uint64_t* position,
               const uint8_t** bytes, uint32_t* length) {
  if (*position + 4 > limit) return false;
  *length = ReadWord(body + *position);
  *position += 4;
  if (*position + *length > limit) return false;
  *bytes = body + *position;
  *position += *length;
  return true;
}

}  // namespace

int32_t INodeRecord::GetRecordSize() { return Save(nullptr, 0); }

uint32_t CNodeRecord::GetTypeId() { return ChainOf(Owner(this)).ids[0]; }

int32_t CNodeRecord::GetTypeDepth() { return ChainOf(Owner(this)).depth; }

// Layer by layer, as every kind of the chain writes its part: the named
// layer writes its header words and the body; each further layer writes the
// header again with its longer chain, so the most-derived layer's header is
// the one that stays.
int32_t CNodeRecord::Save(uint8_t* buffer, uint32_t /*option*/) {
  CNamedNode* node = Owner(this);
  const int32_t size = node->SaveNamedLayer(buffer);
  if (buffer == nullptr) return size;
  const KindChain& chain = ChainOf(node);
  int32_t layers = chain.depth;
  const int32_t depth = GetTypeDepth();
  if (depth < layers) layers = depth;
  for (int32_t layer = 2; layer <= layers; ++layer) {
    node->SaveWithChain(buffer, chain.ids + (chain.depth - layer), layer);
  }
  return size;
}

int32_t CNodeRecord::Load(const uint8_t* record, uint32_t /*option*/) {
  if (record == nullptr || ReadWord(record) != NODE_RECORD_MAGIC) return 0;
  // The header is trusted; its sizes must still be answerable as a count.
  const uint64_t header = 12 + 4 * static_cast<uint64_t>(ReadWord(record + 4));
  if (header > INT32_MAX) return 0;
  const uint32_t payload = ReadWord(record + header - 4);
  if (header + payload > INT32_MAX) return 0;
  return Owner(this)->LoadBody(record, static_cast<uint32_t>(header), payload);
}

int32_t CNamedNode::LoadBounded(const uint8_t* record, size_t size) {
  if (record == nullptr || size < 8) return 0;
  if (ReadWord(record) != NODE_RECORD_MAGIC) return 0;
  const uint64_t header = 12 + 4 * static_cast<uint64_t>(ReadWord(record + 4));
  if (header > size || header > INT32_MAX) return 0;
  const uint32_t payload = ReadWord(record + header - 4);
  if (header + payload > size || header + payload > INT32_MAX) return 0;
  return LoadBody(record, static_cast<uint32_t>(header), payload);
}

int32_t CNamedNode::LoadBody(const uint8_t* record, uint32_t headerSize,
                             uint32_t payloadSize) {
  const uint8_t* body = record + headerSize;
  uint64_t position = 0;
  const uint8_t* nameBytes = nullptr;
  uint32_t nameLength = 0;
  const uint8_t* blockBytes[3] = {nullptr, nullptr, nullptr};
  uint32_t blockLengths[3] = {0, 0, 0};
  if (!TakeField(body, payloadSize, &position, &nameBytes, &nameLength)) return 0;
  for (int i = 0; i < 3; ++i) {
    if (!TakeField(body, payloadSize, &position, &blockBytes[i], &blockLengths[i])) {
      return 0;
    }
  }

  // Everything fits; get all the memory before changing anything.  A zero
  // byte inside the name cuts it there, as assigning it as a text would.
  const void* zero = std::memchr(nameBytes, 0, nameLength);
  const size_t nameUsed =
      zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - nameBytes)
           : nameLength;
  char* nameStorage = nullptr;
  if (static_cast<int64_t>(nameUsed) + 1 > name.capacity || name.text == nullptr) {
    nameStorage = static_cast<char*>(store_heap::Allocate(nameUsed + 1));
    if (nameStorage == nullptr) return 0;
  }
  uint8_t* blockData[3] = {nullptr, nullptr, nullptr};
  for (int i = 0; i < 3; ++i) {
    if (blockLengths[i] == 0) continue;
    // One hidden zero after the bytes: a text block without its terminator
    // still reads as a text.
    blockData[i] = static_cast<uint8_t*>(
        store_heap::Allocate(static_cast<size_t>(blockLengths[i]) + 1));
    if (blockData[i] == nullptr) {
      for (int j = 0; j < i; ++j) store_heap::Free(blockData[j]);
      store_heap::Free(nameStorage);
      return 0;
    }
    std::memcpy(blockData[i], blockBytes[i], blockLengths[i]);
    blockData[i][blockLengths[i]] = 0;
  }

  // Commit: the same effect as Assign of the name (capacity never shrinks)
  // and replacing each block.
  if (nameStorage != nullptr) {
    store_heap::Free(name.text);
    name.text = nameStorage;
    name.capacity = static_cast<int32_t>(nameUsed + 1);
  }
  std::memmove(name.text, nameBytes, nameUsed);
  name.text[nameUsed] = '\0';
  DataBlock* blocks[3] = {&block1, &block2, &block3};
  for (int i = 0; i < 3; ++i) {
    store_heap::Free(blocks[i]->data);
    blocks[i]->data = blockData[i];
    blocks[i]->length = blockLengths[i];
  }
  return static_cast<int32_t>(headerSize + position);
}

int32_t CNamedNode::SaveWithChain(uint8_t* buffer, const uint32_t* ids,
                                  int32_t depth) {
  const int32_t ownDepth = GetTypeDepth();
  const int32_t payload =
      GetRecordSize() - static_cast<int32_t>(HeaderSize(static_cast<uint32_t>(ownDepth)));
  WriteWord(buffer, NODE_RECORD_MAGIC);
  WriteWord(buffer + 4, static_cast<uint32_t>(ownDepth));
  for (int32_t i = 0; i < depth; ++i) WriteWord(buffer + 8 + 4 * i, ids[i]);
  WriteWord(buffer + 8 + 4 * depth, static_cast<uint32_t>(payload));
  return 12 + 4 * depth;
}

int32_t CNamedNode::SaveNamedLayer(uint8_t* buffer) {
  const int32_t depth = GetTypeDepth();
  if (buffer != nullptr) {
    const uint32_t namedChain[1] = {NODE_KIND_NAMED};
    SaveWithChain(buffer, namedChain, 1);
  }
  size_t offset = HeaderSize(static_cast<uint32_t>(depth));
  const size_t nameLength = name.GetLength();
  if (buffer != nullptr) {
    WriteWord(buffer + offset, static_cast<uint32_t>(nameLength));
    if (nameLength != 0) std::memcpy(buffer + offset + 4, name.text, nameLength);
  }
  offset += 4 + nameLength;
  const DataBlock* blocks[3] = {&block1, &block2, &block3};
  for (const DataBlock* block : blocks) {
    if (buffer != nullptr) {
      WriteWord(buffer + offset, block->length);
      if (block->length != 0) {
        // A length without data (never made here) is written as zeros.
        if (block->data != nullptr) {
          std::memcpy(buffer + offset + 4, block->data, block->length);
        } else {
          std::memset(buffer + offset + 4, 0, block->length);
        }
      }
    }
    offset += 4 + block->length;
  }
  return static_cast<int32_t>(offset);
}
