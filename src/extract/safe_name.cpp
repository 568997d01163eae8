#include "extract/safe_name.h"

#include <algorithm>
#include <cstdint>

namespace vornik {

std::string Latin1ToUtf8(const std::string& text) {
  if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) return text;
  std::string out;
  out.reserve(2 * text.size());
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

namespace {

// A character that could leave the folder or trouble the file system.
bool Unsafe(uint32_t c) {
  bool bad = c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == '/' || c == '\\';
#ifdef _WIN32
  bad = bad || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|';
#endif
  return bad;
}

// "." and ".." (or any name of dots only) would name a folder.
std::string NotOnlyDots(std::string safe) {
  if (safe.find_first_not_of('.') == std::string::npos) {
    if (safe.empty()) return "_";
    safe[0] = '_';
  }
  return safe;
}

// The character of the UTF-8 sequence at text[i] and its length, or a
// length of 0 when no valid sequence starts there.
size_t DecodeUtf8(const std::string& text, size_t i, uint32_t& c) {
  const auto lead = static_cast<unsigned char>(text[i]);
  const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || i + length > text.size()) return 0;
  c = length == 1 ? lead : lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    c = (c << 6) | (next & 0x3F);
  }
  // Overlong forms, surrogates and anything past U+10FFFF are no characters.
  const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < least[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return 0;
  return length;
}

}  // namespace

std::string SafeHostName(const std::string& dos_name) {
  std::string safe;
  for (unsigned char c : dos_name) safe += Unsafe(c) ? '_' : static_cast<char>(c);
  return Latin1ToUtf8(NotOnlyDots(safe));
}

std::string SafeHostNameUtf8(const std::string& name) {
  std::string safe;
  uint32_t c = 0;
  for (size_t i = 0; i < name.size();) {
    const size_t length = DecodeUtf8(name, i, c);
    if (length == 0) return SafeHostName(name);
    safe += Unsafe(c) ? std::string(1, '_') : name.substr(i, length);
    i += length;
  }
  return NotOnlyDots(safe);
}

}  // namespace vornik
