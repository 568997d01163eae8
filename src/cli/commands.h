// The subcommands of vornik-cli. Each returns its exit status.
#pragma once

#include <string>
#include <vector>

namespace vornik::cli {

int RunInfo(const std::vector<std::string>& images);
int RunList(const std::vector<std::string>& images, bool json);

struct ExtractRequest {
  std::string image;
  std::vector<std::string> names;  // NAME/EXT or NAME.EXT, any case
  bool all = false;
  bool force = false;
  bool exact = false;  // the DOS's size instead of whole sectors
  std::string dir = ".";
};

int RunExtract(const ExtractRequest& request);

// Which sectors and files of each image read back as written; exit status
// 2 when an image cannot be read at all, else 5 when anything is damaged
// or missing.
int RunCheck(const std::vector<std::string>& images, bool json);

// The disk map of `image` as an SVG document written to `svg`.
int RunMap(const std::string& image, const std::string& svg);

}  // namespace vornik::cli
