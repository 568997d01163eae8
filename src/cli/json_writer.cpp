#include "cli/json_writer.h"

#include <charconv>
#include <cstdint>

namespace vornik::cli {

namespace {

void AppendEscape(std::string& out, unsigned code) {
  static const char kHex[] = "0123456789abcdef";
  switch (code) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\r': out += "\\r"; return;
    case '\n': out += "\\n"; return;
    case '\t': out += "\\t"; return;
    default: break;
  }
  out += "\\u00";
  out += kHex[(code >> 4) & 0xF];
  out += kHex[code & 0xF];
}

bool NeedsEscape(unsigned char c) { return c < 0x20 || c == 0x7F || c == '"' || c == '\\'; }

// Length of the valid UTF-8 sequence starting at text[i] (2..4), or 0.
size_t Utf8SequenceLength(const std::string& text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t length = 0;
  uint32_t code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  if (overlong || surrogate || code > 0x10FFFF) return 0;
  return length;
}

void AppendKey(std::string& out, const char* key) {
  out += '"';
  out += key;
  out += "\":";
}

void AppendInt(std::string& out, int64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

void AppendIntField(std::string& out, const char* key, int64_t value) {
  AppendKey(out, key);
  AppendInt(out, value);
  out += ',';
}

void AppendFile(std::string& out, const FileRow& row) {
  out += '{';
  AppendKey(out, "item");
  AppendJsonLatin1(out, row.item);
  out += ',';
  AppendKey(out, "shown");
  AppendJsonLatin1(out, row.shown);
  out += ',';
  AppendKey(out, "pc_name");
  AppendJsonUtf8(out, row.pc_name);
  out += ',';
  AppendIntField(out, "sector", row.sector);
  AppendIntField(out, "entry", row.entry);
  AppendKey(out, "bytes");
  if (row.copied) {
    AppendInt(out, row.bytes);
  } else {
    out += "null,";
    AppendKey(out, "error");
    AppendJsonLatin1(out, row.error);
  }
  out += '}';
}

void AppendFailedImage(std::string& out, const ImageReport& report) {
  out += '{';
  AppendKey(out, "image");
  AppendJsonUtf8(out, report.path);
  out += ',';
  AppendKey(out, "error");
  AppendJsonLatin1(out, report.error);
  out += ',';
  AppendKey(out, "kind");
  out += '"';
  out += report.kind;
  out += "\"}\n";
}

}  // namespace

void AppendJsonLatin1(std::string& out, const std::string& bytes) {
  out += '"';
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (NeedsEscape(c) || c >= 0x80) {
      AppendEscape(out, c);
    } else {
      out += ch;
    }
  }
  out += '"';
}

void AppendJsonUtf8(std::string& out, const std::string& text) {
  out += '"';
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (NeedsEscape(c)) {
        AppendEscape(out, c);
      } else {
        out += text[i];
      }
      ++i;
      continue;
    }
    const size_t length = Utf8SequenceLength(text, i);
    if (length == 0) {
      AppendEscape(out, c);
      ++i;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  out += '"';
}

void AppendReportJson(std::string& out, const ImageReport& report) {
  if (!report.listed) {
    AppendFailedImage(out, report);
    return;
  }
  out += '{';
  AppendKey(out, "image");
  AppendJsonUtf8(out, report.path);
  out += ',';
  AppendKey(out, "format");
  AppendJsonLatin1(out, report.format);
  out += ',';
  AppendKey(out, "summary");
  AppendJsonLatin1(out, report.summary);
  out += ',';
  AppendKey(out, "newdos");
  out += report.newdos ? "true," : "false,";
  AppendIntField(out, "tracks", report.tracks);
  AppendIntField(out, "sides", report.sides);
  AppendIntField(out, "sectors_per_track", report.sectors_per_track);
  AppendIntField(out, "density", report.density);
  AppendIntField(out, "sectors_per_granule", report.sectors_per_granule);
  AppendKey(out, "directory");
  out += '{';
  AppendIntField(out, "first", report.dir_first);
  AppendKey(out, "last");
  AppendInt(out, report.dir_last);
  out += "},";
  AppendKey(out, "files");
  out += '[';
  for (size_t i = 0; i < report.files.size(); ++i) {
    if (i > 0) out += ',';
    AppendFile(out, report.files[i]);
  }
  out += "]}\n";
}

}  // namespace vornik::cli
