#include "directory/dos_name.h"

namespace vornik {

DosName DosName::FromEntry(const uint8_t bytes[11]) {
  DosName d;
  for (int i = 0; i < 8; ++i) d.name[i] = static_cast<char>(bytes[i]);
  for (int i = 0; i < 3; ++i) d.ext[i] = static_cast<char>(bytes[8 + i]);
  return d;
}

DosName DosName::FromItem(const std::string& item) {
  DosName d;
  d.name.fill(' ');
  d.ext.fill(' ');
  for (size_t i = 0; i < 8 && i < item.size(); ++i) d.name[i] = item[i];
  for (size_t i = 0; i < 3 && 9 + i < item.size(); ++i) d.ext[i] = item[9 + i];
  return d;
}

std::string DosName::ItemText() const {
  return std::string(name.begin(), name.end()) + ' ' + std::string(ext.begin(), ext.end());
}

std::string DosName::Shown() const {
  std::string shown;
  bool slash = false;
  for (char c : ItemText()) {
    if (c != ' ') {
      shown += c;
    } else if (!slash) {
      shown += '/';
      slash = true;
    }
  }
  return shown;
}

std::string DosName::CopyName() const {
  std::string copy;
  for (char c : name)
    if (c != ' ') copy += c;
  copy += '.';
  for (char c : ext)
    if (c != ' ') copy += c;
  return copy;
}

}  // namespace vornik
