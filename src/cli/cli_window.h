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

  // Prints a note of the program's own (not a window message) to stderr.
  void Note(const std::string& text) const;

 private:
  std::string label_;
  SortedList list1_, list2_;
  std::string last_message_;
};

}  // namespace vornik::cli
