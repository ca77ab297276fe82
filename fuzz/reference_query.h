// The reference the query and event fuzzers compare the product against:
// a category list's tokens and the query table, read straight from their
// description and written independently of query/ and store/entry_node.
#pragma once

#include <string>
#include <vector>

#include "store/node.h"

inline const char* NameOf(CStoreNode* node) {
  return AsNamed(node)->GetName();
}

// The non-empty comma-separated tokens of list, in order.
inline std::vector<std::string> Tokens(const std::string& list) {
  std::vector<std::string> tokens;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    if (end > start) tokens.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return tokens;
}

// The query table: "__QuerySpec" stands for its first child, AND, OR and NOT
// as their children say (no children: true, false, false), any other name
// is a leaf true when a token equals it.  Recursion is fine at the depths
// the fuzzers build.
inline bool Reference(CStoreNode* node, const std::vector<std::string>& tokens) {
  const std::string name = NameOf(node);
  NodeCell* first = node->children.First();
  if (name == "__QuerySpec") return first != nullptr && Reference(first->node, tokens);
  if (name == "AND") {
    for (NodeCell* cell = first; cell; cell = cell->next) {
      if (!Reference(cell->node, tokens)) return false;
    }
    return true;
  }
  if (name == "OR") {
    for (NodeCell* cell = first; cell; cell = cell->next) {
      if (Reference(cell->node, tokens)) return true;
    }
    return false;
  }
  if (name == "NOT") return first != nullptr && !Reference(first->node, tokens);
  for (const auto& token : tokens) {
    if (token == name) return true;
  }
  return false;
}
