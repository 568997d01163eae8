// A small JSON reader for the tests: enough to read the program's JSON Lines
// and the expected listings, keeping the key order of objects.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vornik::testing {

struct Json {
  enum class Type { kNull, kBool, kNumber, kString, kArray, kObject };
  Type type = Type::kNull;
  bool boolean = false;
  double number = 0;
  std::string text;  // strings as UTF-8
  std::vector<Json> items;
  std::vector<std::pair<std::string, Json>> members;  // in file order

  bool IsNull() const { return type == Type::kNull; }
  bool Has(const std::string& key) const;
  // The member of that key; a null value when there is none.
  const Json& operator[](const std::string& key) const;
  std::vector<std::string> Keys() const;
  int64_t Int() const { return static_cast<int64_t>(number); }

  bool operator==(const Json& other) const;
};

// Parses one JSON text; throws std::runtime_error on malformed input.
Json ParseJson(const std::string& text);

// Writes a value back as compact JSON (for failure messages).
std::string ToText(const Json& value);

}  // namespace vornik::testing
