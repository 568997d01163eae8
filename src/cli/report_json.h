// JSON Lines output of `list --json`: one object per image.
#pragma once

#include <string>
#include <string_view>

#include "cli/image_report.h"

namespace vornik::cli {

// The report as one compact JSON object and a newline. Disk bytes are
// Latin-1 characters and host text is UTF-8 (a byte that is not part of a
// valid sequence becomes U+FFFD); every character outside printable ASCII
// is written as \uXXXX. The line is written into `buffer`, whose memory
// serves the next line too, and stays valid until then.
std::string_view ReportJsonLine(const ImageReport& report, std::string& buffer);

// The line of `check --json` for the report: the sector counts and each
// file's verdict; `buffer` as above.
std::string_view CheckJsonLine(const ImageReport& report, std::string& buffer);

}  // namespace vornik::cli
