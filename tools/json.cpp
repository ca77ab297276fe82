#include "tools/json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace json {

const char* TypeDescription(Type type) {
  switch (type) {
    case Type::kNull: return "null";
    case Type::kBool: return "a boolean";
    case Type::kInteger: return "an integer";
    case Type::kReal: return "a number with a fraction or exponent";
    case Type::kString: return "a string";
    case Type::kArray: return "an array";
    case Type::kObject: return "an object";
  }
  return "a value";
}

Value Value::Bool(bool value) {
  Value v;
  v.type_ = Type::kBool;
  v.bool_ = value;
  return v;
}

Value Value::Integer(int64_t value) {
  Value v;
  v.type_ = Type::kInteger;
  v.integer_ = value;
  return v;
}

Value Value::Real(double value) {
  Value v;
  v.type_ = Type::kReal;
  v.real_ = value;
  return v;
}

Value Value::String(std::string value) {
  Value v;
  v.type_ = Type::kString;
  v.string_ = std::move(value);
  return v;
}

Value Value::Array() {
  Value v;
  v.type_ = Type::kArray;
  return v;
}

Value Value::Object() {
  Value v;
  v.type_ = Type::kObject;
  return v;
}

const Value* Value::Find(const std::string& key) const {
  if (type_ != Type::kObject) return nullptr;
  for (const Member& member : members_) {
    if (member.first == key) return &member.second;
  }
  return nullptr;
}

Value& Value::Push(Value value) {
  type_ = Type::kArray;
  items_.push_back(std::move(value));
  return items_.back();
}

Value& Value::Set(std::string key, Value value) {
  type_ = Type::kObject;
  members_.emplace_back(std::move(key), std::move(value));
  return members_.back().second;
}

namespace {

bool IsIdentifier(const std::string& key) {
  if (key.empty()) return false;
  for (size_t i = 0; i < key.size(); ++i) {
    char c = key[i];
    bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    bool digit = c >= '0' && c <= '9';
    if (!letter && !(digit && i > 0)) return false;
  }
  return true;
}

// Length of the UTF-8 sequence at text[i] when it is well-formed, else 0.
size_t Utf8SequenceLength(const std::string& text, size_t i) {
  unsigned char lead = static_cast<unsigned char>(text[i]);
  if (lead < 0x80) return 1;
  size_t length;
  uint32_t min;
  uint32_t code;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, min = 0x80, code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, min = 0x800, code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, min = 0x10000, code = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    unsigned char c = static_cast<unsigned char>(text[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    code = (code << 6) | (c & 0x3F);
  }
  if (code < min || code > 0x10FFFF) return 0;
  if (code >= 0xD800 && code <= 0xDFFF) return 0;
  return length;
}

void AppendUtf8(std::string* out, uint32_t code) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

}  // namespace

bool IsValidUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    size_t length = Utf8SequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string MemberPath(const std::string& parent, const std::string& key) {
  if (IsIdentifier(key)) return parent + "." + key;
  return parent + "[" + Quote(key) + "]";
}

std::string ElementPath(const std::string& parent, size_t index) {
  return parent + "[" + std::to_string(index) + "]";
}

// Recursive descent over the text, one value at a time; depth is bounded by
// kMaxDepth.
class Parser {
 public:
  Parser(const std::string& text, ParseError* error)
      : text_(text), error_(error) {}

  bool ParseDocument(Value* value) {
    if (text_.compare(0, 3, "\xEF\xBB\xBF") == 0) Advance(3);
    SkipSpace();
    if (!ParseValue(value, "$", 0)) return false;
    SkipSpace();
    if (pos_ < text_.size()) return Fail("unexpected text after the document");
    return true;
  }

 private:
  bool Fail(const std::string& message) {
    error_->line = line_;
    error_->column = column_;
    error_->message = message;
    return false;
  }

  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

  void Advance(size_t count) {
    for (size_t k = 0; k < count && pos_ < text_.size(); ++k) {
      if (text_[pos_] == '\n') {
        ++line_;
        column_ = 1;
      } else {
        ++column_;
      }
      ++pos_;
    }
  }

  void SkipSpace() {
    while (!AtEnd()) {
      char c = text_[pos_];
      if (c != ' ' && c != '\t' && c != '\n' && c != '\r') break;
      Advance(1);
    }
  }

  std::string Describe() const {
    if (AtEnd()) return "the end of the text";
    unsigned char c = static_cast<unsigned char>(text_[pos_]);
    if (c >= 0x20 && c < 0x7F) return std::string("'") + static_cast<char>(c) + "'";
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "byte 0x%02X", c);
    return buffer;
  }

  bool ParseValue(Value* value, const std::string& path, int depth) {
    value->path_ = path;
    value->line_ = line_;
    value->column_ = column_;
    char c = Peek();
    if (c == '{' || c == '[') {
      if (depth >= kMaxDepth) {
        return Fail("nesting deeper than " + std::to_string(kMaxDepth) +
                    " levels");
      }
      return c == '{' ? ParseObject(value, path, depth)
                      : ParseArray(value, path, depth);
    }
    if (c == '"') {
      value->type_ = Type::kString;
      return ParseString(&value->string_);
    }
    if (c == '-' || (c >= '0' && c <= '9')) return ParseNumber(value);
    if (Literal("true")) {
      value->type_ = Type::kBool;
      value->bool_ = true;
      return true;
    }
    if (Literal("false")) {
      value->type_ = Type::kBool;
      value->bool_ = false;
      return true;
    }
    if (Literal("null")) {
      value->type_ = Type::kNull;
      return true;
    }
    return Fail("expected a value, found " + Describe());
  }

  bool Literal(const char* word) {
    size_t length = std::char_traits<char>::length(word);
    if (text_.compare(pos_, length, word) != 0) return false;
    char after = pos_ + length < text_.size() ? text_[pos_ + length] : '\0';
    if ((after >= 'a' && after <= 'z') || (after >= '0' && after <= '9')) {
      return false;
    }
    Advance(length);
    return true;
  }

  bool ParseObject(Value* value, const std::string& path, int depth) {
    value->type_ = Type::kObject;
    Advance(1);
    SkipSpace();
    if (Peek() == '}') {
      Advance(1);
      return true;
    }
    for (;;) {
      if (Peek() != '"') return Fail("expected a key in quotes, found " + Describe());
      int keyLine = line_;
      int keyColumn = column_;
      std::string key;
      if (!ParseString(&key)) return false;
      if (value->Find(key) != nullptr) {
        line_ = keyLine;
        column_ = keyColumn;
        return Fail("key " + Quote(key) + " given twice");
      }
      SkipSpace();
      if (Peek() != ':') return Fail("expected ':' after the key, found " + Describe());
      Advance(1);
      SkipSpace();
      value->members_.emplace_back(key, Value());
      if (!ParseValue(&value->members_.back().second, MemberPath(path, key),
                      depth + 1)) {
        return false;
      }
      SkipSpace();
      if (Peek() == ',') {
        Advance(1);
        SkipSpace();
        continue;
      }
      if (Peek() == '}') {
        Advance(1);
        return true;
      }
      return Fail("expected ',' or '}', found " + Describe());
    }
  }

  bool ParseArray(Value* value, const std::string& path, int depth) {
    value->type_ = Type::kArray;
    Advance(1);
    SkipSpace();
    if (Peek() == ']') {
      Advance(1);
      return true;
    }
    for (;;) {
      value->items_.emplace_back();
      if (!ParseValue(&value->items_.back(),
                      ElementPath(path, value->items_.size() - 1), depth + 1)) {
        return false;
      }
      SkipSpace();
      if (Peek() == ',') {
        Advance(1);
        SkipSpace();
        continue;
      }
      if (Peek() == ']') {
        Advance(1);
        return true;
      }
      return Fail("expected ',' or ']', found " + Describe());
    }
  }

  bool ParseHex4(uint32_t* code) {
    uint32_t result = 0;
    for (int k = 0; k < 4; ++k) {
      char c = Peek();
      uint32_t digit;
      if (c >= '0' && c <= '9') {
        digit = c - '0';
      } else if (c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
      } else if (c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10;
      } else {
        return Fail("expected four hex digits after \\u");
      }
      result = result * 16 + digit;
      Advance(1);
    }
    *code = result;
    return true;
  }

  bool ParseString(std::string* out) {
    Advance(1);  // the opening quote
    for (;;) {
      if (AtEnd()) return Fail("unterminated string");
      unsigned char c = static_cast<unsigned char>(text_[pos_]);
      if (c == '"') {
        Advance(1);
        return true;
      }
      if (c < 0x20) return Fail("control character in a string (write it as an escape)");
      if (c == '\\') {
        Advance(1);
        if (!ParseEscape(out)) return false;
        continue;
      }
      size_t length = Utf8SequenceLength(text_, pos_);
      if (length == 0) return Fail("invalid UTF-8 in a string");
      out->append(text_, pos_, length);
      pos_ += length;
      ++column_;
    }
  }

  bool ParseEscape(std::string* out) {
    char c = Peek();
    const char* simple = nullptr;
    switch (c) {
      case '"': simple = "\""; break;
      case '\\': simple = "\\"; break;
      case '/': simple = "/"; break;
      case 'b': simple = "\b"; break;
      case 'f': simple = "\f"; break;
      case 'n': simple = "\n"; break;
      case 'r': simple = "\r"; break;
      case 't': simple = "\t"; break;
      case 'u': break;
      default: return Fail("unknown escape \\" + std::string(1, c));
    }
    if (simple != nullptr) {
      out->append(simple);
      Advance(1);
      return true;
    }
    Advance(1);
    uint32_t code;
    if (!ParseHex4(&code)) return false;
    if (code >= 0xDC00 && code <= 0xDFFF) return Fail("lone low surrogate in \\u escape");
    if (code >= 0xD800 && code <= 0xDBFF) {
      if (text_.compare(pos_, 2, "\\u") != 0) {
        return Fail("high surrogate not followed by a low surrogate");
      }
      Advance(2);
      uint32_t low;
      if (!ParseHex4(&low)) return false;
      if (low < 0xDC00 || low > 0xDFFF) {
        return Fail("high surrogate not followed by a low surrogate");
      }
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(out, code);
    return true;
  }

  bool ParseNumber(Value* value) {
    size_t start = pos_;
    size_t end = pos_;
    if (text_[end] == '-') ++end;
    if (end >= text_.size() || !(text_[end] >= '0' && text_[end] <= '9')) {
      return Fail("expected a digit");
    }
    if (text_[end] == '0' && end + 1 < text_.size() && text_[end + 1] >= '0' &&
        text_[end + 1] <= '9') {
      return Fail("leading zeros are not allowed in numbers");
    }
    while (end < text_.size() && text_[end] >= '0' && text_[end] <= '9') ++end;
    bool integer = true;
    if (end < text_.size() && text_[end] == '.') {
      integer = false;
      ++end;
      size_t digits = end;
      while (end < text_.size() && text_[end] >= '0' && text_[end] <= '9') ++end;
      if (end == digits) {
        Advance(end - start);
        return Fail("expected a digit after '.'");
      }
    }
    if (end < text_.size() && (text_[end] == 'e' || text_[end] == 'E')) {
      integer = false;
      ++end;
      if (end < text_.size() && (text_[end] == '+' || text_[end] == '-')) ++end;
      size_t digits = end;
      while (end < text_.size() && text_[end] >= '0' && text_[end] <= '9') ++end;
      if (end == digits) {
        Advance(end - start);
        return Fail("expected a digit in the exponent");
      }
    }
    std::string literal = text_.substr(start, end - start);
    if (integer) {
      // Accumulate towards the negative side, which holds INT64_MIN.
      bool negative = literal[0] == '-';
      int64_t result = 0;
      for (size_t k = negative ? 1 : 0; k < literal.size(); ++k) {
        int digit = literal[k] - '0';
        if (result < (INT64_MIN + digit) / 10) {
          return Fail("integer " + literal + " is out of range");
        }
        result = result * 10 - digit;
      }
      if (!negative) {
        if (result == INT64_MIN) return Fail("integer " + literal + " is out of range");
        result = -result;
      }
      value->type_ = Type::kInteger;
      value->integer_ = result;
    } else {
      value->type_ = Type::kReal;
      value->real_ = std::strtod(literal.c_str(), nullptr);
    }
    Advance(end - start);
    return true;
  }

  const std::string& text_;
  ParseError* error_;
  size_t pos_ = 0;
  int line_ = 1;
  int column_ = 1;
};

bool Parse(const std::string& text, Value* value, ParseError* error) {
  *value = Value();
  Parser parser(text, error);
  return parser.ParseDocument(value);
}

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04X", c);
          out += buffer;
        } else {
          out.push_back(ch);
        }
    }
  }
  out += "\"";
  return out;
}

namespace {

// Scalars and empty containers print in one piece.
bool IsAtom(const Value& value) {
  if (value.IsArray()) return value.Items().empty();
  if (value.IsObject()) return value.Members().empty();
  return true;
}

void WriteAtom(const Value& value, std::string* out) {
  switch (value.type()) {
    case Type::kNull: *out += "null"; break;
    case Type::kBool: *out += value.AsBool() ? "true" : "false"; break;
    case Type::kInteger: *out += std::to_string(value.AsInteger()); break;
    case Type::kReal: {
      if (!std::isfinite(value.AsReal())) {
        *out += "null";
        break;
      }
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%.17g", value.AsReal());
      *out += buffer;
      break;
    }
    case Type::kString: *out += Quote(value.AsString()); break;
    case Type::kArray: *out += "[]"; break;
    case Type::kObject: *out += "{}"; break;
  }
}

constexpr size_t kLineWidth = 100;

// A container of atoms only, on one line; false when it holds a container
// with content or the line would be too long.
bool WriteFlat(const Value& value, size_t indent, std::string* out) {
  std::string line = value.IsArray() ? "[" : "{";
  if (value.IsArray()) {
    for (size_t i = 0; i < value.Items().size(); ++i) {
      if (!IsAtom(value.Items()[i])) return false;
      if (i > 0) line += ", ";
      WriteAtom(value.Items()[i], &line);
    }
    line += "]";
  } else {
    for (size_t i = 0; i < value.Members().size(); ++i) {
      const Member& member = value.Members()[i];
      if (!IsAtom(member.second)) return false;
      if (i > 0) line += ", ";
      line += Quote(member.first) + ": ";
      WriteAtom(member.second, &line);
    }
    line += "}";
  }
  if (indent + line.size() > kLineWidth) return false;
  *out += line;
  return true;
}

void WriteValue(const Value& value, size_t indent, std::string* out) {
  if (IsAtom(value)) {
    WriteAtom(value, out);
    return;
  }
  if (WriteFlat(value, indent, out)) return;
  std::string pad(indent + 2, ' ');
  if (value.IsArray()) {
    const std::vector<Value>& items = value.Items();
    *out += "[\n";
    for (size_t i = 0; i < items.size(); ++i) {
      *out += pad;
      WriteValue(items[i], indent + 2, out);
      *out += i + 1 < items.size() ? ",\n" : "\n";
    }
    *out += std::string(indent, ' ') + "]";
    return;
  }
  const std::vector<Member>& members = value.Members();
  *out += "{\n";
  for (size_t i = 0; i < members.size(); ++i) {
    *out += pad + Quote(members[i].first) + ": ";
    WriteValue(members[i].second, indent + 2, out);
    *out += i + 1 < members.size() ? ",\n" : "\n";
  }
  *out += std::string(indent, ' ') + "}";
}

}  // namespace

std::string Write(const Value& value) {
  std::string out;
  WriteValue(value, 0, &out);
  out += "\n";
  return out;
}

}  // namespace json
