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

namespace {

bool IsWindowsDevice(const std::string& stem) {
  std::string upper;
  for (const char c : stem) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  if (upper == "CON" || upper == "PRN" || upper == "AUX" || upper == "NUL") return true;
  if (upper.size() < 4 || (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0)) return false;
  const std::string number = upper.substr(3);
  // Windows counts the superscript digits one to three as digits here too.
  return (number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "\xC2\xB9" ||
         number == "\xC2\xB2" || number == "\xC2\xB3";
}

}  // namespace

std::string WindowsHostName(std::string name) {
  for (char& c : name) {
    if (c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' || c == '*') c = '_';
  }
  // Windows drops dots and blanks at the end of a name.
  for (size_t i = name.size(); i > 0 && (name[i - 1] == '.' || name[i - 1] == ' '); --i) name[i - 1] = '_';
  // A device name stays one whatever its extension and the blanks after it.
  size_t stem = name.find('.');
  if (stem == std::string::npos) stem = name.size();
  while (stem > 0 && name[stem - 1] == ' ') --stem;
  if (IsWindowsDevice(name.substr(0, stem))) name.insert(stem, "_");
  return name;
}

std::string SafeHostName(const std::string& dos_name) {
  std::string safe;
  for (unsigned char c : dos_name) {
    const bool bad = c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == '/' || c == '\\';
    safe += bad ? '_' : static_cast<char>(c);
  }
  // "." and ".." (or any name of dots only) would name a folder.
  if (safe.find_first_not_of('.') == std::string::npos) {
    if (safe.empty()) return "_";
    safe[0] = '_';
  }
#ifdef _WIN32
  return WindowsHostName(Latin1ToUtf8(safe));
#else
  return Latin1ToUtf8(safe);
#endif
}

}  // namespace vornik
