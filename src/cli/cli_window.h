// What the command-line program keeps of an opened image in place of the
// window: the two sorted lists, and the message boxes, which are printed to
// stderr as they come.
#pragma once

#include <string>

#include "state/messages.h"
#include "state/sorted_list.h"

namespace vornik::cli {

class CliWindow {
 public:
  // `label` starts every message printed (the image path).
  explicit CliWindow(std::string label) : label_(std::move(label)) {}

  SortedList& List1() { return list1_; }
  SortedList& List2() { return list2_; }

  // Prints each message box, its line breaks as newlines.
  void Show(const Notices& notices);
  // Text of the last message box shown, empty when none was.
  const std::string& LastMessage() const { return last_message_; }
  bool ShowedMessage() const { return !last_message_.empty(); }

  // Prints a note of the program's own (not a window message) to stderr,
  // made printable.
  void Note(const std::string& text) const;

 private:
  void Print(const std::string& printable) const;

  std::string label_;
  SortedList list1_, list2_;
  std::string last_message_;
};

// Text made safe for a terminal: control characters (C0, DEL and C1) and
// bytes that are not UTF-8 are written visibly as \xNN, so a name on a disk
// can neither move the cursor nor fake a line.
std::string Printable(const std::string& utf8_text);

// Length of the UTF-8 sequence at text[i] (1 for ASCII), 0 when it is none.
size_t Utf8Length(const std::string& text, size_t i);
bool IsUtf8(const std::string& text);

}  // namespace vornik::cli
