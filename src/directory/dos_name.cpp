#include "directory/dos_name.h"

#include <algorithm>
#include <cstring>

namespace vornik {

DosName DosName::FromEntry(const uint8_t bytes[11]) {
  DosName d;
  for (int i = 0; i < 8; ++i) d.name[i] = static_cast<char>(bytes[i]);
  for (int i = 0; i < 3; ++i) d.ext[i] = static_cast<char>(bytes[8 + i]);
  return d;
}

DosName DosName::FromItem(const std::string& item) {
  DosName d;
  if (item.size() >= 12) {  // a list text: both parts are there
    std::memcpy(d.name.data(), item.data(), 8);
    std::memcpy(d.ext.data(), item.data() + 9, 3);
    return d;
  }
  d.name.fill(' ');
  d.ext.fill(' ');
  for (size_t i = 0; i < 8 && i < item.size(); ++i) d.name[i] = item[i];
  for (size_t i = 0; i < 3 && 9 + i < item.size(); ++i) d.ext[i] = item[9 + i];
  return d;
}

std::string DosName::ItemText() const {
  std::string text;
  ItemText(text);
  return text;
}

void DosName::ItemText(std::string& text) const {
  char item[12];
  std::memcpy(item, name.data(), 8);
  item[8] = ' ';
  std::memcpy(item + 9, ext.data(), 3);
  text.assign(item, sizeof item);
}

std::string DosName::Shown() const {
  std::string shown;
  Shown(shown);
  return shown;
}

void DosName::Shown(std::string& shown) const {
  // The name up to its first blank, "/" for that blank (at the latest the
  // one between name and extension), then the characters after it that are
  // not blanks.
  char text[12];
  std::memcpy(text, name.data(), name.size());
  size_t n = 0;
  while (n < name.size() && name[n] != ' ') ++n;
  text[n++] = '/';
  for (size_t i = n; i < name.size(); ++i)
    if (name[i] != ' ') text[n++] = name[i];
  for (const char c : ext)
    if (c != ' ') text[n++] = c;
  shown.assign(text, n);
}

std::string DosName::CopyName() const {
  char copy[12];
  size_t n = 0;
  for (char c : name)
    if (c != ' ') copy[n++] = c;
  copy[n++] = '.';
  for (char c : ext)
    if (c != ' ') copy[n++] = c;
  return std::string(copy, n);
}

}  // namespace vornik
