#include "tools/report.h"

#include <cstdio>
#include <cstring>

#include "store/entry_node.h"
#include "store/node.h"
#include "tools/text.h"

namespace replay {

namespace {

bool IsPresent(const DataBlock& block) {
  return block.length != 0 && block.data != nullptr;
}

// A block's text: its bytes up to the first zero, never past its length.
std::string BlockText(const DataBlock& block) {
  const char* text = reinterpret_cast<const char*>(block.data);
  size_t length = 0;
  while (length < block.length && text[length] != '\0') ++length;
  return std::string(text, length);
}

// The little-endian word at offset, 0 when the block is too short for it.
int32_t BlockWord(const DataBlock& block, uint32_t offset) {
  if (block.length < offset + 4) return 0;
  const uint8_t* p = block.data + offset;
  uint32_t word = p[0] | (p[1] << 8) | (p[2] << 16) |
                  (static_cast<uint32_t>(p[3]) << 24);
  return static_cast<int32_t>(word);
}

json::Value NodeToJson(CStoreNode* node) {
  CNamedNode* named = AsNamed(node);
  uint32_t kind = named->GetTypeId();
  json::Value value = json::Value::Object();
  value.Set("name", json::Value::String(Windows1252ToUtf8(named->GetName())));
  std::string kindName = KindNameOf(kind);
  if (kindName[0] >= '0' && kindName[0] <= '9') {
    value.Set("kind", json::Value::Integer(kind));
  } else {
    value.Set("kind", json::Value::String(kindName));
  }
  if (kind == NODE_KIND_ENTRY) {
    if (IsPresent(named->block2)) {
      value.Set("categories",
                json::Value::String(Windows1252ToUtf8(BlockText(named->block2))));
    }
    if (IsPresent(named->block3)) {
      value.Set("userData",
                json::Value::String(Windows1252ToUtf8(BlockText(named->block3))));
    }
    if (IsPresent(named->block1)) {
      value.Set("itemClass", json::Value::Integer(BlockWord(named->block1, 8)));
      value.Set("nodeValue", json::Value::Integer(BlockWord(named->block1, 12)));
    }
  }
  json::Value& children = value.Set("children", json::Value::Array());
  for (NodeCell* cell = node->children.First(); cell != nullptr;
       cell = cell->next) {
    children.Push(NodeToJson(cell->node));
  }
  return value;
}

// --- the readable form ---

const json::Value& Member(const json::Value& node, const char* key) {
  static const json::Value kNull;
  const json::Value* value = node.Find(key);
  return value != nullptr ? *value : kNull;
}

std::string KindText(const json::Value& node) {
  const json::Value& kind = Member(node, "kind");
  if (kind.IsString()) return kind.AsString();
  return "kind " + std::to_string(kind.AsInteger());
}

// A name as shown: bare, unless it is empty, has spaces at its ends, holds
// a control character or (in a query formula) a character of the formula.
std::string ShowName(const std::string& name, bool inFormula) {
  bool quote = name.empty() || name.front() == ' ' || name.back() == ' ';
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == '"') quote = true;
    if (inFormula && (c == ',' || c == '(' || c == ')')) quote = true;
  }
  return quote ? json::Quote(name) : name;
}

// The query under a "__QuerySpec" node as a formula, AND(Work, NOT(Private)).
std::string Formula(const json::Value& node, int depth) {
  std::string text = ShowName(Member(node, "name").AsString(), true);
  const std::vector<json::Value>& children = Member(node, "children").Items();
  if (children.empty()) return text;
  if (depth > 64) return text + "(...)";
  text += "(";
  for (size_t i = 0; i < children.size(); ++i) {
    if (i > 0) text += ", ";
    text += Formula(children[i], depth + 1);
  }
  return text + ")";
}

std::string ClassText(int64_t itemClass) {
  switch (itemClass) {
    case 26: return "appointment";
    case 40: return "contact";
    case 43: return "mail";
    case 44: return "note";
    case 48: return "task";
    default: return "class " + std::to_string(itemClass);
  }
}

class TextWriter {
 public:
  explicit TextWriter(std::string* out) : out_(out) {}

  void Node(const json::Value& node, int indent) {
    const std::string name = Member(node, "name").AsString();
    const std::string kind = KindText(node);
    std::string pad(indent, ' ');
    if (name == "__QuerySpec") {
      std::string formula;
      const std::vector<json::Value>& terms = Member(node, "children").Items();
      for (size_t i = 0; i < terms.size(); ++i) {
        if (i > 0) formula += ", ";
        formula += Formula(terms[i], 0);
      }
      *out_ += pad + "query: " + (terms.empty() ? "(empty)" : formula) + "\n";
      return;
    }
    std::string line = pad + ShowName(name, false);
    if (kind == "entry") {
      line += Entry(node);
    } else if (kind == "query_folder") {
      line += "  [query folder]";
    } else if (kind != "branch") {
      line += "  [" + kind + "]";
    }
    *out_ += line + "\n";
    Children(node, indent + 2);
  }

 private:
  // An entry shows where it came from (a query result's source), its
  // category list in braces and its item class.
  std::string Entry(const json::Value& node) {
    std::string text;
    const json::Value* userData = node.Find("userData");
    const json::Value* categories = node.Find("categories");
    if (userData != nullptr) text += "  <- " + ShowName(userData->AsString(), false);
    if (categories != nullptr) text += "  {" + categories->AsString() + "}";
    if (userData == nullptr && categories == nullptr) text += "  [entry]";
    if (const json::Value* itemClass = node.Find("itemClass")) {
      text += "  " + ClassText(itemClass->AsInteger());
    }
    return text;
  }

  // Runs of childless categories go on wrapped lines of their own, so that
  // a category tree reads at a glance.
  void Children(const json::Value& node, int indent) {
    const std::vector<json::Value>& children = Member(node, "children").Items();
    size_t i = 0;
    while (i < children.size()) {
      if (!IsLeafCategory(children[i])) {
        Node(children[i], indent);
        ++i;
        continue;
      }
      std::string prefix(indent, ' ');
      prefix += "categories: ";
      std::string line = prefix;
      bool first = true;
      for (; i < children.size() && IsLeafCategory(children[i]); ++i) {
        std::string name = ShowName(Member(children[i], "name").AsString(), true);
        std::string piece = first ? name : ", " + name;
        if (!first && line.size() + piece.size() > 78) {
          *out_ += line + ",\n";
          line = std::string(prefix.size(), ' ') + name;
        } else {
          line += piece;
        }
        first = false;
      }
      *out_ += line + "\n";
    }
  }

  static bool IsLeafCategory(const json::Value& node) {
    return KindText(node) == "category" &&
           Member(node, "children").Items().empty();
  }

  std::string* out_;
};

std::string EventLabel(const ScenarioEvent* event, int32_t dispid) {
  std::string label = EventName(dispid);
  if (event == nullptr || !event->hasItem) return label;
  std::string entryId;
  std::string subject;
  for (const ItemProperty& property : event->item) {
    if (property.kind != ItemProperty::Kind::kString) continue;
    if (property.name == "EntryID") entryId = property.text;
    if (property.name == "Subject") subject = property.text;
  }
  if (entryId.empty() && subject.empty()) return label + " (item)";
  return label + " " + entryId + " \"" + subject + "\"";
}

std::string Hex(uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%X", value);
  return buffer;
}

}  // namespace

json::Value StoreToJson(CStoreNode* root) {
  if (root == nullptr) return json::Value();
  return NodeToJson(root);
}

json::Value OutcomeToJson(const Outcome& outcome) {
  json::Value out = json::Value::Object();
  json::Value& events = out.Set("events", json::Value::Array());
  for (const EventRecord& event : outcome.events) {
    json::Value& item = events.Push(json::Value::Object());
    item.Set("dispid", json::Value::Integer(event.dispid));
    item.Set("hresult", json::Value::Integer(event.hresult));
  }
  json::Value& posts = out.Set("posts", json::Value::Array());
  for (const PostRecord& post : outcome.posts) {
    json::Value& item = posts.Push(json::Value::Object());
    item.Set("event", json::Value::Integer(static_cast<int64_t>(post.event)));
    item.Set("window", json::Value::Integer(post.window));
    item.Set("message", json::Value::Integer(post.message));
    item.Set("wParam", json::Value::Integer(post.wParam));
    item.Set("lParam", json::Value::Integer(post.lParam));
  }
  out.Set("store", outcome.store);
  return out;
}

std::string HresultName(int32_t hresult) {
  switch (static_cast<uint32_t>(hresult)) {
    case 0x00000000u: return "S_OK";
    case 0x00000001u: return "S_FALSE";
    case 0x80004005u: return "E_FAIL";
    case 0x80004001u: return "E_NOTIMPL";
    case 0x8007000Eu: return "E_OUTOFMEMORY";
    case 0x80070057u: return "E_INVALIDARG";
    default: {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<uint32_t>(hresult));
      return buffer;
    }
  }
}

std::string FormatText(const Outcome& outcome, const Scenario& scenario,
                       const std::string& nowText) {
  std::string out;
  out += "Store after " + std::to_string(outcome.events.size()) +
         (outcome.events.size() == 1 ? " event" : " events") +
         (nowText.empty() ? std::string(" (real clock)")
                          : " (local time " + nowText + ")") +
         ":\n";
  if (outcome.store.IsObject()) {
    TextWriter writer(&out);
    writer.Node(outcome.store, 2);
  }

  out += "\nEvents:\n";
  if (outcome.events.empty()) out += "  (none)\n";
  for (size_t i = 0; i < outcome.events.size(); ++i) {
    const ScenarioEvent* event =
        i < scenario.events.size() ? &scenario.events[i] : nullptr;
    out += "  event " + std::to_string(i) + " " +
           EventLabel(event, outcome.events[i].dispid) + " -> " +
           HresultName(outcome.events[i].hresult) + "\n";
  }

  out += "\nRefreshes posted:\n";
  if (outcome.posts.empty()) out += "  (none)\n";
  for (const PostRecord& post : outcome.posts) {
    std::string message;
    if (post.message == 0x0111) {
      message = "WM_COMMAND " + std::to_string(post.wParam);
      if (post.lParam != 0) message += " lParam " + std::to_string(post.lParam);
    } else {
      message = "message " + Hex(post.message) + " wParam " +
                std::to_string(post.wParam) + " lParam " +
                std::to_string(post.lParam);
    }
    int32_t dispid = post.event < outcome.events.size()
                         ? outcome.events[post.event].dispid
                         : 0;
    out += "  event " + std::to_string(post.event) + " " + EventName(dispid) +
           " -> window " + Hex(post.window) + ": " + message + "\n";
  }
  return out;
}

}  // namespace replay
