// JSON Lines output of `list --json`: one object per image.
#pragma once

#include <string>

#include "cli/image_report.h"

namespace vornik::cli {

// Appends the report as one JSON object and a newline.
void AppendReportJson(std::string& out, const ImageReport& report);

// A JSON string of disk bytes: each byte is the Latin-1 character of that
// code; control and non-ASCII characters are written as \u00XX.
void AppendJsonLatin1(std::string& out, const std::string& bytes);

// A JSON string of host text (UTF-8). Valid UTF-8 sequences pass unchanged;
// a byte that is not part of one is taken as Latin-1 and escaped.
void AppendJsonUtf8(std::string& out, const std::string& text);

}  // namespace vornik::cli
