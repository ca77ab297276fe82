// Node records from arbitrary bytes.  For every node kind the input goes
// through LoadBounded (in a buffer of exactly its size, so the sanitizers see
// any read past its end).  A load either refuses (0, and the node keeps its
// name and blocks) or yields a node whose own record reloads to the same name
// and blocks and saves to the same bytes again.  What a load must accept and
// what it must yield comes from an independent reader of the record format.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "store/entry_node.h"
#include "store/node.h"

namespace {

const uint32_t kKinds[] = {NODE_KIND_NAMED, NODE_KIND_BRANCH, NODE_KIND_ENTRY,
                           NODE_KIND_QUERY_TERM, NODE_KIND_CATEGORY};

struct Contents {
  std::string name;
  std::string blocks[3];
  bool present[3] = {false, false, false};

  bool operator==(const Contents& other) const {
    for (int i = 0; i < 3; ++i) {
      if (blocks[i] != other.blocks[i] || present[i] != other.present[i]) {
        return false;
      }
    }
    return name == other.name;
  }
};

Contents Snapshot(CNamedNode* node) {
  Contents contents;
  contents.name = node->GetName();
  const DataBlock* blocks[3] = {&node->block1, &node->block2, &node->block3};
  for (int i = 0; i < 3; ++i) {
    const DataBlock* block = blocks[i];
    if ((block->length == 0) != (block->data == nullptr)) {
      FuzzFail("block %d: length %u with data %p", i + 1, block->length,
               static_cast<void*>(block->data));
    }
    contents.present[i] = block->length != 0;
    if (block->length != 0) {
      contents.blocks[i].assign(reinterpret_cast<const char*>(block->data),
                                block->length);
    }
  }
  return contents;
}

uint32_t Word(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 |
         static_cast<uint32_t>(bytes[3]) << 24;
}

void PutWord(std::vector<uint8_t>* out, uint32_t word) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(word >> (8 * i)));
}

// The record format read independently of the store: 64-bit arithmetic, and
// every field checked against the input's size.
struct Reading {
  bool magic = false;         // the record begins with the magic word
  bool fits = false;          // header, name and blocks lie inside the input
  uint64_t header = 0;        // 12 + 4 * typeCount
  uint64_t end = 0;           // offset after block3 when it fits
  uint32_t payloadSize = 0;
  Contents contents;          // name cut at its first zero byte
};

Reading Read(const uint8_t* data, size_t size) {
  Reading reading;
  if (size < 4 || Word(data) != NODE_RECORD_MAGIC) return reading;
  reading.magic = true;
  if (size < 8) return reading;
  reading.header = 12 + 4 * static_cast<uint64_t>(Word(data + 4));
  if (reading.header > size) return reading;
  reading.payloadSize = Word(data + reading.header - 4);
  uint64_t position = reading.header;
  auto take = [&](std::string* out) {
    if (position + 4 > size) return false;
    uint64_t length = Word(data + position);
    position += 4;
    if (position + length > size) return false;
    out->assign(reinterpret_cast<const char*>(data + position), length);
    position += length;
    return true;
  };
  std::string name;
  if (!take(&name)) return reading;
  reading.contents.name = name.c_str();
  for (int i = 0; i < 3; ++i) {
    if (!take(&reading.contents.blocks[i])) return reading;
    reading.contents.present[i] = !reading.contents.blocks[i].empty();
  }
  reading.fits = true;
  reading.end = position;
  return reading;
}

std::vector<uint8_t> MakeRecord(const std::string& name,
                                const std::string (&blocks)[3]) {
  std::vector<uint8_t> record;
  PutWord(&record, NODE_RECORD_MAGIC);
  PutWord(&record, 1);
  PutWord(&record, NODE_KIND_NAMED);
  size_t payload = 4 + name.size();
  for (const auto& block : blocks) payload += 4 + block.size();
  PutWord(&record, static_cast<uint32_t>(payload));
  PutWord(&record, static_cast<uint32_t>(name.size()));
  record.insert(record.end(), name.begin(), name.end());
  for (const auto& block : blocks) {
    PutWord(&record, static_cast<uint32_t>(block.size()));
    record.insert(record.end(), block.begin(), block.end());
  }
  return record;
}

uint8_t* ExactCopy(const uint8_t* data, size_t size) {
  uint8_t* copy = static_cast<uint8_t*>(std::malloc(size == 0 ? 1 : size));
  if (copy == nullptr) std::abort();
  if (size != 0) std::memcpy(copy, data, size);
  return copy;
}

// Saves node, reloads the record into a fresh node of the same kind and
// checks that both hold the same contents and save the same bytes.
void CheckRoundTrip(CNamedNode* node, uint32_t kind) {
  const int32_t size = node->GetRecordSize();
  const int32_t depth = node->GetTypeDepth();
  if (size < 28 + 4 * depth) FuzzFail("record size %d too small", size);
  uint8_t* saved = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size)));
  if (node->Save(saved, 0) != size) FuzzFail("Save differs from GetRecordSize");
  const Reading reading = Read(saved, static_cast<size_t>(size));
  if (!reading.fits || reading.end != static_cast<uint64_t>(size) ||
      reading.header != static_cast<uint64_t>(12 + 4 * depth) ||
      reading.payloadSize != size - reading.header) {
    FuzzFail("saved record of kind %08x is not well formed", kind);
  }
  if (Word(saved + 8) != kind) FuzzFail("saved chain starts with %08x", Word(saved + 8));

  CNamedNode* copy = CreateNodeOfKind(kind, "fresh");
  if (copy->LoadBounded(saved, static_cast<size_t>(size)) != size) {
    FuzzFail("own record of kind %08x refused", kind);
  }
  const Contents original = Snapshot(node);
  if (!(Snapshot(copy) == original)) FuzzFail("reloaded contents differ");
  if (!(reading.contents == original)) FuzzFail("saved contents differ");
  uint8_t* again = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size)));
  if (copy->GetRecordSize() != size || copy->Save(again, 0) != size ||
      std::memcmp(saved, again, static_cast<size_t>(size)) != 0) {
    FuzzFail("second save differs");
  }
  std::free(again);
  std::free(saved);
  copy->Destroy(1);
}

// An entry reads its blocks as texts and rewrites its attribute record in
// place; neither may step outside what a record gave it.
void ExerciseEntry(CEntryNode* entry, uint32_t value) {
  volatile size_t sink = std::strlen(entry->GetCategories());
  sink = sink + std::strlen(entry->GetFullPathFromUserData(true));
  CStrBuf display = entry->GetDisplayName();
  sink = sink + display.GetLength();
  (void)sink;
  entry->SetItemClass(static_cast<int32_t>(value));
  entry->SetNodeValue(static_cast<int32_t>(value ^ 0x5a5a5a5au));
  const DataBlock& block = entry->block1;
  if (block.data == nullptr || block.length < 16) {
    FuzzFail("attribute record of %u bytes after SetItemClass", block.length);
  }
  if (static_cast<int32_t>(Word(block.data + 8)) != static_cast<int32_t>(value) ||
      Word(block.data + 12) != (value ^ 0x5a5a5a5au) || Word(block.data) == 0) {
    FuzzFail("attribute words not written");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t* input = ExactCopy(data, size);
  const Reading reading = Read(input, size);
  // A record that its own header describes exactly, as Save writes them.
  const bool wellFormed = reading.fits &&
                          reading.payloadSize == reading.end - reading.header;

  const std::string priorBlocks[3] = {std::string("attr\0x", 6), "Work,Home",
                                      std::string("C:\\dir\\f", 9)};
  const std::vector<uint8_t> prior = MakeRecord("prior\\name", priorBlocks);

  for (uint32_t kind : kKinds) {
    CNamedNode* node = CreateNodeOfKind(kind, "before");
    if (node == nullptr) FuzzFail("no node of kind %08x", kind);
    uint8_t* priorCopy = ExactCopy(prior.data(), prior.size());
    if (node->LoadBounded(priorCopy, prior.size()) != static_cast<int32_t>(prior.size())) {
      FuzzFail("well-formed prior record refused by kind %08x", kind);
    }
    std::free(priorCopy);
    const Contents before = Snapshot(node);

    const int32_t consumed = node->LoadBounded(input, size);
    if (consumed == 0) {
      if (wellFormed) FuzzFail("well-formed record refused by kind %08x", kind);
      if (!(Snapshot(node) == before)) FuzzFail("refused load changed the node");
    } else {
      if (!reading.fits) FuzzFail("accepted a record that overruns its input");
      if (consumed < 0 || static_cast<uint64_t>(consumed) > size ||
          (static_cast<uint64_t>(consumed) != reading.end &&
           static_cast<uint64_t>(consumed) != reading.header + reading.payloadSize)) {
        FuzzFail("load answered %d for a record of %llu bytes", consumed,
                 static_cast<unsigned long long>(reading.end));
      }
      if (!(Snapshot(node) == reading.contents)) FuzzFail("loaded contents differ");
      if (wellFormed && static_cast<uint64_t>(consumed) != reading.end) {
        FuzzFail("well-formed record: consumed %d of %llu", consumed,
                 static_cast<unsigned long long>(reading.end));
      }
    }
    // The trusting load must agree whenever the header's own sizes keep it
    // inside the input.
    if (wellFormed) {
      CNamedNode* trusting = CreateNodeOfKind(kind, "trusting");
      if (trusting->Load(input, 0) != static_cast<int32_t>(reading.end) ||
          !(Snapshot(trusting) == reading.contents)) {
        FuzzFail("Load and LoadBounded disagree on a well-formed record");
      }
      trusting->Destroy(1);
    }
    CheckRoundTrip(node, kind);
    if (kind == NODE_KIND_ENTRY) {
      ExerciseEntry(static_cast<CEntryNode*>(node), static_cast<uint32_t>(size) * 2654435761u);
      CheckRoundTrip(node, kind);
    }
    node->Destroy(1);
  }
  std::free(input);
  return 0;
}
