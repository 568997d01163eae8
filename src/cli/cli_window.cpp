#include "cli/cli_window.h"

#include <cstdio>

#include "extract/safe_name.h"

namespace vornik::cli {

void CliWindow::Show(const Notices& notices) {
  for (const Notice& n : notices) {
    last_message_ = n.text;
    // A carriage return is the message box's line break.
    std::string shown = Latin1ToUtf8(n.text);
    for (char& c : shown) {
      if (c == '\r') c = '\n';
    }
    Note(shown);
  }
}

void CliWindow::Note(const std::string& text) const {
  std::string line = "vornik-cli: " + label_ + ": " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace vornik::cli
