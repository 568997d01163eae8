// The window as the command-line program sees it: text boxes are recorded,
// the two sorted lists are kept, and a message box is printed to stderr and
// answered at once (OK, or No to a question).
#pragma once

#include <string>

#include "state/window_port.h"

namespace vornik::cli {

class CliWindow final : public WindowPort {
 public:
  // `label` starts every message printed (the image path).
  explicit CliWindow(std::string label) : label_(std::move(label)) {}

  void SetBoxText(TextBox box, const std::string& text) override;
  void SetBoxBackColor(TextBox, int32_t) override {}
  void SetBoxForeColor(TextBox, int32_t) override {}
  SortedList& List1() override { return list1_; }
  SortedList& List2() override { return list2_; }
  MsgAnswer MsgBox(const std::string& text, MsgIcon icon, MsgButtons buttons,
                   const std::string& title) override;

  const std::string& BoxText(TextBox box) const { return boxes_[static_cast<int>(box)]; }
  // Text of the last message box shown, empty when none was.
  const std::string& LastMessage() const { return last_message_; }
  bool ShowedMessage() const { return showed_message_; }

  // Prints a note of the program's own (not a window message) to stderr.
  void Note(const std::string& text) const;

 private:
  std::string label_;
  std::string boxes_[3];
  SortedList list1_, list2_;
  std::string last_message_;
  bool showed_message_ = false;
};

}  // namespace vornik::cli
