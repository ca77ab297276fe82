// A small JSON reader and writer for the replay command's scenarios and
// output.
//
// The reader takes UTF-8 text (a leading byte-order mark is skipped), checks
// that every string is valid UTF-8, keeps integers as int64 (an integer
// literal outside int64 is an error) and other numbers as doubles, and gives
// each value its place in the document as a JSON path ("$.events[2].item")
// so that later checks can name it.  Object members keep their order; a key
// given twice is an error.  Nesting is limited (kMaxDepth) so that no input
// can exhaust the stack.  Nothing throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace json {

enum class Type { kNull, kBool, kInteger, kReal, kString, kArray, kObject };

// "null", "a boolean", "an integer", ... for messages.
const char* TypeDescription(Type type);

class Value;
using Member = std::pair<std::string, Value>;

class Value {
 public:
  Value() = default;
  static Value Null() { return Value(); }
  static Value Bool(bool value);
  static Value Integer(int64_t value);
  static Value Real(double value);
  static Value String(std::string value);
  static Value Array();
  static Value Object();

  Type type() const { return type_; }
  bool IsNull() const { return type_ == Type::kNull; }
  bool IsBool() const { return type_ == Type::kBool; }
  bool IsInteger() const { return type_ == Type::kInteger; }
  bool IsString() const { return type_ == Type::kString; }
  bool IsArray() const { return type_ == Type::kArray; }
  bool IsObject() const { return type_ == Type::kObject; }

  bool AsBool() const { return bool_; }
  int64_t AsInteger() const { return integer_; }
  double AsReal() const { return real_; }
  const std::string& AsString() const { return string_; }
  const std::vector<Value>& Items() const { return items_; }
  const std::vector<Member>& Members() const { return members_; }

  // The member named key, or null when this is not an object or has none.
  const Value* Find(const std::string& key) const;

  // Building (the writer's side).  Push/Set on a value of another type
  // turn it into an array/object first.
  Value& Push(Value value);
  Value& Set(std::string key, Value value);

  // Where the value stands in the document it was read from ("$" for the
  // top); empty for values built in code.
  const std::string& path() const { return path_; }
  int line() const { return line_; }
  int column() const { return column_; }

 private:
  friend class Parser;

  Type type_ = Type::kNull;
  bool bool_ = false;
  int64_t integer_ = 0;
  double real_ = 0;
  std::string string_;
  std::vector<Value> items_;
  std::vector<Member> members_;
  std::string path_;
  int line_ = 0;
  int column_ = 0;
};

constexpr int kMaxDepth = 256;

struct ParseError {
  int line = 0;    // from 1
  int column = 0;  // from 1, in bytes
  std::string message;
};

// Parses a whole document.  On failure answers false and fills error (the
// value is then unspecified).
bool Parse(const std::string& text, Value* value, ParseError* error);

// The path of a member or an element below parent's path: `$.key`, or
// `$["odd key"]` when the key is not a plain identifier; `$[3]`.
std::string MemberPath(const std::string& parent, const std::string& key);
std::string ElementPath(const std::string& parent, size_t index);

// Serializes with two-space indentation; a container that holds only
// scalars and empty containers stays on one line when it fits 100 columns.  Strings are written as UTF-8,
// escaping only what JSON requires (and DEL).
std::string Write(const Value& value);
// A JSON string literal of text.
std::string Quote(const std::string& text);

// True when text is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(const std::string& text);

}  // namespace json
