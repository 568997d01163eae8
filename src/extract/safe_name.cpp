#include "extract/safe_name.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

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
constexpr bool Unsafe(uint32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == '/' || c == '\\'; }

// The bytes a safe name keeps as they are in UTF-8 too: printable ASCII
// but the slashes.
constexpr std::array<bool, 256> kKept = [] {
  std::array<bool, 256> kept{};
  for (uint32_t c = 0x20; c < 0x7F; ++c) kept[c] = !Unsafe(c);
  return kept;
}();

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

// A safe name as this system's folders take it.
std::string ForThisSystem(std::string name) {
#ifdef _WIN32
  return WindowsHostName(std::move(name));
#else
  return name;
#endif
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
  // Most names are printable ASCII with no slash and not dots only: they
  // stay as they are.
  const bool plain = std::all_of(dos_name.begin(), dos_name.end(), [](char c) { return kKept[static_cast<unsigned char>(c)]; });
  if (plain && dos_name.find_first_not_of('.') != std::string::npos) return ForThisSystem(dos_name);
  std::string safe = dos_name;
  for (char& c : safe)
    if (Unsafe(static_cast<unsigned char>(c))) c = '_';
  return ForThisSystem(Latin1ToUtf8(NotOnlyDots(std::move(safe))));
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
  return ForThisSystem(NotOnlyDots(safe));
}

}  // namespace vornik
