// vornik-cli on the committed samples and on the real disk images beside
// the checkout: listings compared with the expected ones as parsed JSON, and
// every copied /CMD file checked to be a load module.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "cli_run.h"

namespace vornik::testing {
namespace {

namespace fs = std::filesystem;

// A load module is a run of records: type, length, body. Type 1 loads
// (length 0, 1, 2 mean 256, 257, 258, the 2-byte address included), type 2
// is the transfer address and ends it; header and comment types are
// skipped; any other type is not a load module. True when the transfer
// record is reached inside the bytes.
bool IsLoadModule(const std::vector<uint8_t>& bytes, std::string* why) {
  size_t at = 0;
  while (at + 2 <= bytes.size()) {
    const uint8_t type = bytes[at];
    size_t length = bytes[at + 1];
    if (type == 2) return true;
    if (type == 1) {
      if (length < 3) length += 256;
    } else if (type != 4 && type != 5 && type != 6 && type != 7 && type != 8 && type != 0x0A && type != 0x0C &&
               type != 0x0E && type != 0x10 && type != 0x1F) {
      *why = "record type " + std::to_string(type) + " at offset " + std::to_string(at);
      return false;
    }
    at += 2 + length;
  }
  *why = "no transfer record within " + std::to_string(bytes.size()) + " bytes";
  return false;
}

bool EndsWithCmd(const std::string& name) {
  if (name.size() < 4) return false;
  std::string ext = name.substr(name.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::toupper(c); });
  return ext == ".CMD";
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::string FileName(const std::string& path) { return fs::path(path).filename().string(); }

// Extracts every file of `image` and checks each copied /CMD file that
// has any bytes (an entry without extents copies to an empty file).
void CheckCommandFiles(const std::string& image, const std::vector<std::string>& exceptions) {
  TempDir out;
  RunCli({"extract", image, "--all", "-o", out.path().string()});
  for (const std::string& name : FolderNames(out.path())) {
    if (!EndsWithCmd(name) || std::find(exceptions.begin(), exceptions.end(), name) != exceptions.end()) continue;
    const std::vector<uint8_t> bytes = ReadBytes(out.path() / name);
    if (bytes.empty()) continue;
    std::string why;
    EXPECT_TRUE(IsLoadModule(bytes, &why)) << FileName(image) << " " << name << ": " << why;
  }
}

// ---- Samples ------------------------------------------------------------

const char* const kSamples[] = {"newdos80-jv1.dsk", "double-sided.jv3", "double-density.dmk"};

class SamplesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kSamples) {
      if (!fs::exists(fs::path(VORNIK_SAMPLES) / name)) GTEST_SKIP() << "sample " << name << " missing";
    }
  }
  static std::string Sample(const char* name) { return (fs::path(VORNIK_SAMPLES) / name).string(); }
};

TEST_F(SamplesTest, ListJsonDescribesEachSample) {
  struct Case {
    const char* name;
    std::string format;
    bool newdos;
    int sides, density;
  };
  const Case cases[] = {{"newdos80-jv1.dsk", "JV1", true, 1, 1},
                        {"double-sided.jv3", "JV3", false, 2, 2},
                        {"double-density.dmk", "DMK", false, 1, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RunResult r = RunCli({"list", "--json", Sample(c.name)});
    EXPECT_EQ(r.status, 0) << r.err;
    const Json j = Json::parse(r.out);
    EXPECT_EQ(j.at("format"), c.format);
    EXPECT_EQ(j.at("newdos"), c.newdos);
    EXPECT_EQ(j.at("sides"), c.sides);
    EXPECT_EQ(j.at("density"), c.density);
    std::vector<std::string> shown;
    for (const Json& f : j.at("files")) {
      shown.push_back(f.at("shown").get<std::string>());
      EXPECT_FALSE(f.at("bytes").is_null()) << f.dump();
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"HELLO/BAS", "HELLO/CMD", "NOTES/TXT", "README/TXT"}));
  }
}

// The same four files are on every sample: each format must copy them to
// the same bytes, and the listed sizes must be what is written.
TEST_F(SamplesTest, EveryFormatCopiesTheSameFiles) {
  std::map<std::string, std::vector<uint8_t>> first;
  for (const char* name : kSamples) {
    SCOPED_TRACE(name);
    TempDir out;
    const RunResult r = RunCli({"extract", Sample(name), "--all", "-o", out.path().string()});
    EXPECT_EQ(r.status, 0) << r.err;
    const Json listing = Json::parse(RunCli({"list", "--json", Sample(name)}).out);
    for (const Json& f : listing.at("files")) {
      const std::string pc_name = f.at("pc_name");
      const std::vector<uint8_t> bytes = ReadBytes(out.path() / pc_name);
      EXPECT_EQ(static_cast<int64_t>(bytes.size()), f.at("bytes")) << pc_name;
      auto [it, inserted] = first.emplace(pc_name, bytes);
      if (!inserted) {
        EXPECT_EQ(bytes, it->second) << pc_name;
      }
    }
    CheckCommandFiles(Sample(name), {});
  }
  EXPECT_EQ(first.size(), 4u);
}

// ---- Real disk images ---------------------------------------------------

class RealImagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(Dir() / "expected.jsonl")) GTEST_SKIP() << "no real images at " << VORNIK_REAL_IMAGES;
    std::ifstream in(Dir() / "expected.jsonl");
    for (std::string line; std::getline(in, line);) {
      if (line.empty()) continue;
      Json j = Json::parse(line);
      names_.push_back(FileName(j.at("image").get<std::string>()));
      expected_.push_back(std::move(j));
    }
  }
  static fs::path Dir() { return fs::path(VORNIK_REAL_IMAGES); }
  std::string Image(size_t i) const { return (Dir() / names_[i]).string(); }

  std::vector<std::string> names_;
  std::vector<Json> expected_;
};

TEST_F(RealImagesTest, ListJsonEqualsTheExpectedListing) {
  std::vector<std::string> args = {"list", "--json"};
  for (size_t i = 0; i < names_.size(); ++i) args.push_back(Image(i));
  const RunResult r = RunCli(args);
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), expected_.size()) << r.err;
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(names_[i]);
    Json got = Json::parse(lines[i]);
    Json want = expected_[i];
    ASSERT_TRUE(got.is_object() && got.contains("image")) << lines[i];
    EXPECT_EQ(got.at("image"), Image(i));
    // The image is compared by file name.
    got["image"] = FileName(got.at("image").get<std::string>());
    want["image"] = FileName(want.at("image").get<std::string>());
    if (want.value("kind", "") == "damaged") {
      EXPECT_EQ(got.at("kind"), "damaged") << lines[i];
      continue;
    }
    EXPECT_EQ(Keys(got), Keys(want));
    for (const auto& member : want.items()) {
      if (member.key() != "files") {
        EXPECT_EQ(got.value(member.key(), Json()).dump(), member.value().dump()) << member.key();
      }
    }
    const auto& got_files = got.at("files");
    const auto& want_files = want.at("files");
    EXPECT_EQ(got_files.size(), want_files.size());
    for (size_t k = 0; k < std::min(got_files.size(), want_files.size()); ++k) {
      EXPECT_EQ(got_files[k].dump(), want_files[k].dump()) << "file " << k;
    }
  }
}

TEST_F(RealImagesTest, CopiedCommandFilesAreLoadModules) {
  for (size_t i = 0; i < names_.size(); ++i) {
    if (expected_[i].contains("kind")) continue;
    // The sectors of this SUPERZAP/CMD were never written on that disk.
    const std::vector<std::string> exceptions =
        names_[i] == "GenieIIIs__esnd-07.dmk" ? std::vector<std::string>{"SUPERZAP.CMD"} : std::vector<std::string>{};
    CheckCommandFiles(Image(i), exceptions);
  }
}

}  // namespace
}  // namespace vornik::testing
