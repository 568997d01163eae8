// A DOS file name as a directory entry holds it: 8 name bytes and 3
// extension bytes, blank padded, each byte a character of that code. The
// list, the copy frame and the copy's file name show it three ways.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace vornik {

struct DosName {
  std::array<char, 8> name{};
  std::array<char, 3> ext{};

  // From entry bytes 5..15.
  static DosName FromEntry(const uint8_t bytes[11]);
  // From a list text: 8 name characters, a blank, 3 extension characters.
  static DosName FromItem(const std::string& item);

  // The list text: "PROG     CMD".
  std::string ItemText() const;
  void ItemText(std::string& text) const;  // into `text`, in the memory it has
  // As the copy frame shows a list text: the first blank becomes "/",
  // later blanks are dropped ("PROG/CMD", "MY/FILETXT", "README/").
  std::string Shown() const;
  void Shown(std::string& shown) const;  // into `shown`, in the memory it has
  // The copy's name: the non-blank name bytes, ".", the non-blank
  // extension bytes ("PROG.CMD", "README.").
  std::string CopyName() const;
};

}  // namespace vornik
