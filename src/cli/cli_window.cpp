#include "cli/cli_window.h"

#include <cstdio>

#include "extract/safe_name.h"

namespace vornik::cli {

size_t Utf8Length(const std::string& text, size_t i) {
  const auto c = static_cast<unsigned char>(text[i]);
  if (c < 0x80) return 1;
  const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
  if (length == 0 || c > 0xF4 || i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
  }
  return length;
}

bool IsUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const size_t length = Utf8Length(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string Printable(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  const auto escape = [&](unsigned c) {
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 0xF];
  };
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      escape(c);
      ++i;
      continue;
    }
    // A UTF-8 sequence passes whole, but for the C1 controls U+0080..U+009F.
    const size_t length = Utf8Length(text, i);
    if (length == 0) {
      escape(c);
      ++i;
    } else if (c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      escape(static_cast<unsigned char>(text[i + 1]));  // C2 80..9F is U+0080..U+009F
      i += 2;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

void CliWindow::Show(const Notices& notices) {
  for (const Notice& n : notices) {
    last_message_ = n.text;
    // A carriage return is the message box's line break: each line is
    // printed on its own.
    std::string shown;
    size_t start = 0;
    const std::string text = Latin1ToUtf8(n.text);
    for (size_t cr = text.find('\r'); ; cr = text.find('\r', start)) {
      shown += Printable(text.substr(start, cr == std::string::npos ? std::string::npos : cr - start));
      if (cr == std::string::npos) break;
      shown += '\n';
      start = cr + 1;
    }
    Print(shown);
  }
}

void CliWindow::Note(const std::string& text) const { Print(Printable(text)); }

void CliWindow::Print(const std::string& printable) const {
  const std::string line = "vornik-cli: " + Printable(label_) + ": " + printable + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace vornik::cli
