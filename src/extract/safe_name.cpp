#include "extract/safe_name.h"

#include <algorithm>

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

std::string SafeHostName(const std::string& dos_name) {
  std::string safe;
  for (unsigned char c : dos_name) {
    bool bad = c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == '/' || c == '\\';
#ifdef _WIN32
    bad = bad || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|';
#endif
    safe += bad ? '_' : static_cast<char>(c);
  }
  // "." and ".." (or any name of dots only) would name a folder.
  if (safe.find_first_not_of('.') == std::string::npos) {
    if (safe.empty()) return "_";
    safe[0] = '_';
  }
  return Latin1ToUtf8(safe);
}

}  // namespace vornik
