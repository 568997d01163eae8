// JSON Lines output of `list --json`: one object per image.
#pragma once

#include <string>

#include "cli/image_report.h"

namespace vornik::cli {

// The report as one compact JSON object and a newline. Disk bytes are
// Latin-1 characters and host text is UTF-8 (a byte that is not part of a
// valid sequence becomes U+FFFD); every character outside printable ASCII
// is written as \uXXXX.
std::string ReportJsonLine(const ImageReport& report);

// The line of `check --json` for the report: the sector counts and each
// file's verdict.
std::string CheckJsonLine(const ImageReport& report);

}  // namespace vornik::cli
