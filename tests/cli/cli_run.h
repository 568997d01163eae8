// Runs the built vornik-cli and captures its output, and the small file
// helpers the end-to-end tests share.
#pragma once

#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace vornik::testing {

struct RunResult {
  int status = -1;  // exit status, -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs vornik-cli with these arguments in folder `cwd` (empty: the
// test's current folder).
RunResult RunCli(const std::vector<std::string>& args, const std::filesystem::path& cwd = {});

// A fresh empty folder, removed again when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
// The names in a folder, sorted.
std::vector<std::string> FolderNames(const std::filesystem::path& dir);

// Parsed JSON keeps the keys in the order of the text.
using Json = nlohmann::ordered_json;

// The keys of a JSON object in order.
std::vector<std::string> Keys(const Json& object);

}  // namespace vornik::testing
