#include "cli/cli_window.h"

#include <cstdio>

#include "extract/safe_name.h"

namespace vornik::cli {

void CliWindow::SetBoxText(TextBox box, const std::string& text) { boxes_[static_cast<int>(box)] = text; }

MsgAnswer CliWindow::MsgBox(const std::string& text, MsgIcon, MsgButtons buttons, const std::string&) {
  last_message_ = text;
  showed_message_ = true;
  // A carriage return is the message box's line break.
  std::string shown = Latin1ToUtf8(text);
  for (char& c : shown) {
    if (c == '\r') c = '\n';
  }
  Note(shown);
  return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
}

void CliWindow::Note(const std::string& text) const {
  std::string line = "vornik-cli: " + label_ + ": " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace vornik::cli
