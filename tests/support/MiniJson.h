// A small strict JSON reader for tests that check a report's structure: objects, arrays,
// strings (with the escapes a writer uses), numbers, true, false and null. Throws
// std::runtime_error at the first thing that is not JSON, trailing text included.
#pragma once

#include <cctype>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

struct JsonValue {
  enum class Type { Null, Bool, Number, String, Array, Object } type = Type::Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> fields;
  std::vector<std::string> keyOrder;

  const JsonValue& operator[](const std::string& key) const {
    const auto it = fields.find(key);
    if (type != Type::Object || it == fields.end()) throw std::runtime_error("no key " + key);
    return it->second;
  }
};

class MiniJson {
 public:
  static JsonValue Parse(const std::string& text) {
    MiniJson reader(text);
    JsonValue value = reader.Value();
    reader.Space();
    if (reader.at_ != text.size()) reader.Fail("text after the value");
    return value;
  }

 private:
  explicit MiniJson(const std::string& text) : text_(text) {}

  [[noreturn]] void Fail(const std::string& what) const {
    throw std::runtime_error(what + " at offset " + std::to_string(at_));
  }
  void Space() {
    while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) ++at_;
  }
  char Peek() {
    Space();
    if (at_ >= text_.size()) Fail("unexpected end");
    return text_[at_];
  }
  void Expect(char c) {
    if (Peek() != c) Fail(std::string("expected ") + c);
    ++at_;
  }
  bool Literal(const char* word) {
    const std::string w(word);
    if (text_.compare(at_, w.size(), w) != 0) return false;
    at_ += w.size();
    return true;
  }
  std::string String() {
    Expect('"');
    std::string out;
    while (true) {
      if (at_ >= text_.size()) Fail("unterminated string");
      const char c = text_[at_++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) Fail("control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      const char e = text_.at(at_++);
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'n':
          out += '\n';
          break;
        case 't':
          out += '\t';
          break;
        case 'r':
          out += '\r';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'u':
          out += static_cast<char>(std::stoi(text_.substr(at_, 4), nullptr, 16));
          at_ += 4;
          break;
        default:
          Fail("bad escape");
      }
    }
  }
  JsonValue Value() {
    JsonValue v;
    const char c = Peek();
    if (c == '{') {
      v.type = JsonValue::Type::Object;
      ++at_;
      if (Peek() == '}') {
        ++at_;
        return v;
      }
      while (true) {
        std::string key = String();
        Expect(':');
        if (v.fields.count(key)) Fail("duplicate key " + key);
        v.keyOrder.push_back(key);
        v.fields[key] = Value();
        if (Peek() == ',') {
          ++at_;
          continue;
        }
        Expect('}');
        return v;
      }
    }
    if (c == '[') {
      v.type = JsonValue::Type::Array;
      ++at_;
      if (Peek() == ']') {
        ++at_;
        return v;
      }
      while (true) {
        v.items.push_back(Value());
        if (Peek() == ',') {
          ++at_;
          continue;
        }
        Expect(']');
        return v;
      }
    }
    if (c == '"') {
      v.type = JsonValue::Type::String;
      v.text = String();
      return v;
    }
    if (Literal("true")) {
      v.type = JsonValue::Type::Bool;
      v.boolean = true;
      return v;
    }
    if (Literal("false")) {
      v.type = JsonValue::Type::Bool;
      return v;
    }
    if (Literal("null")) return v;
    std::size_t used = 0;
    const std::string rest = text_.substr(at_, 40);
    if (!(c == '-' || std::isdigit(static_cast<unsigned char>(c)))) Fail("not a value");
    v.type = JsonValue::Type::Number;
    v.number = std::stod(rest, &used);
    at_ += used;
    return v;
  }

  const std::string& text_;
  std::size_t at_ = 0;
};
