// The three subcommands of vornik-cli. Each returns its exit status.
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

}  // namespace vornik::cli
