#include "json_value.h"

#include <cstdlib>
#include <stdexcept>

namespace vornik::testing {

namespace {

class Parser {
 public:
  explicit Parser(const std::string& text) : s_(text) {}

  Json Document() {
    Json value = Value();
    SkipBlanks();
    if (i_ != s_.size()) Fail("trailing characters");
    return value;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw std::runtime_error("JSON: " + what + " at offset " + std::to_string(i_));
  }
  void SkipBlanks() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\n' || s_[i_] == '\r')) ++i_;
  }
  char Next() {
    if (i_ >= s_.size()) Fail("unexpected end");
    return s_[i_++];
  }
  void Expect(char c) {
    if (Next() != c) Fail(std::string("expected ") + c);
  }
  bool Literal(const char* word) {
    const std::string w(word);
    if (s_.compare(i_, w.size(), w) != 0) return false;
    i_ += w.size();
    return true;
  }

  Json Value() {
    SkipBlanks();
    if (i_ >= s_.size()) Fail("unexpected end");
    Json v;
    const char c = s_[i_];
    if (c == '{') return Object();
    if (c == '[') return Array();
    if (c == '"') {
      v.type = Json::Type::kString;
      v.text = String();
    } else if (Literal("true")) {
      v.type = Json::Type::kBool;
      v.boolean = true;
    } else if (Literal("false")) {
      v.type = Json::Type::kBool;
    } else if (Literal("null")) {
      v.type = Json::Type::kNull;
    } else {
      v.type = Json::Type::kNumber;
      v.number = Number();
    }
    return v;
  }

  Json Object() {
    Json v;
    v.type = Json::Type::kObject;
    Expect('{');
    SkipBlanks();
    if (i_ < s_.size() && s_[i_] == '}') {
      ++i_;
      return v;
    }
    for (;;) {
      SkipBlanks();
      std::string key = String();
      SkipBlanks();
      Expect(':');
      v.members.emplace_back(std::move(key), Value());
      SkipBlanks();
      const char c = Next();
      if (c == '}') return v;
      if (c != ',') Fail("expected , or }");
    }
  }

  Json Array() {
    Json v;
    v.type = Json::Type::kArray;
    Expect('[');
    SkipBlanks();
    if (i_ < s_.size() && s_[i_] == ']') {
      ++i_;
      return v;
    }
    for (;;) {
      v.items.push_back(Value());
      SkipBlanks();
      const char c = Next();
      if (c == ']') return v;
      if (c != ',') Fail("expected , or ]");
    }
  }

  double Number() {
    const char* begin = s_.c_str() + i_;
    char* end = nullptr;
    const double value = std::strtod(begin, &end);
    if (end == begin) Fail("bad value");
    i_ += static_cast<size_t>(end - begin);
    return value;
  }

  unsigned Hex4() {
    unsigned code = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = Next();
      code <<= 4;
      if (c >= '0' && c <= '9') code |= unsigned(c - '0');
      else if (c >= 'a' && c <= 'f') code |= unsigned(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') code |= unsigned(c - 'A' + 10);
      else Fail("bad \\u escape");
    }
    return code;
  }

  static void PutUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += char(code);
    } else if (code < 0x800) {
      out += char(0xC0 | (code >> 6));
      out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += char(0xE0 | (code >> 12));
      out += char(0x80 | ((code >> 6) & 0x3F));
      out += char(0x80 | (code & 0x3F));
    } else {
      out += char(0xF0 | (code >> 18));
      out += char(0x80 | ((code >> 12) & 0x3F));
      out += char(0x80 | ((code >> 6) & 0x3F));
      out += char(0x80 | (code & 0x3F));
    }
  }

  std::string String() {
    Expect('"');
    std::string out;
    for (;;) {
      const char c = Next();
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) Fail("control character in string");
      if (c != '\\') {
        out += c;
        continue;
      }
      const char e = Next();
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          unsigned code = Hex4();
          if (code >= 0xD800 && code <= 0xDBFF) {
            Expect('\\');
            Expect('u');
            const unsigned low = Hex4();
            if (low < 0xDC00 || low > 0xDFFF) Fail("bad surrogate pair");
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
          }
          PutUtf8(out, code);
          break;
        }
        default: Fail("bad escape");
      }
    }
  }

  const std::string& s_;
  size_t i_ = 0;
};

void Quote(std::string& out, const std::string& text) {
  out += '"';
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
}

void Write(std::string& out, const Json& v) {
  switch (v.type) {
    case Json::Type::kNull: out += "null"; break;
    case Json::Type::kBool: out += v.boolean ? "true" : "false"; break;
    case Json::Type::kNumber: out += std::to_string(v.Int()); break;
    case Json::Type::kString: Quote(out, v.text); break;
    case Json::Type::kArray:
      out += '[';
      for (size_t k = 0; k < v.items.size(); ++k) {
        if (k) out += ',';
        Write(out, v.items[k]);
      }
      out += ']';
      break;
    case Json::Type::kObject:
      out += '{';
      for (size_t k = 0; k < v.members.size(); ++k) {
        if (k) out += ',';
        Quote(out, v.members[k].first);
        out += ':';
        Write(out, v.members[k].second);
      }
      out += '}';
      break;
  }
}

}  // namespace

bool Json::Has(const std::string& key) const {
  for (const auto& [k, v] : members) {
    if (k == key) return true;
  }
  return false;
}

const Json& Json::operator[](const std::string& key) const {
  static const Json kNull;
  for (const auto& [k, v] : members) {
    if (k == key) return v;
  }
  return kNull;
}

std::vector<std::string> Json::Keys() const {
  std::vector<std::string> keys;
  for (const auto& member : members) keys.push_back(member.first);
  return keys;
}

bool Json::operator==(const Json& other) const {
  return type == other.type && boolean == other.boolean && number == other.number && text == other.text &&
         items == other.items && members == other.members;
}

Json ParseJson(const std::string& text) { return Parser(text).Document(); }

std::string ToText(const Json& value) {
  std::string out;
  Write(out, value);
  return out;
}

}  // namespace vornik::testing
