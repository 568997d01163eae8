// The archive module on the zips of make_zips.py: which members are
// visited and how each one reads, the caps on what is unpacked, and the
// folders an archive's images go into.
#include <gtest/gtest.h>

#include <cctype>

#include "archive/zip_archive.h"
#include "support.h"

namespace vornik::archive {
namespace {

const std::string kZips = VORNIK_TEST_ZIPS;
const char* const kStates[] = {"named", "read", "too-large", "failed", "nested"};

// Each visited member as "NAME STATE BYTES[ ERROR]", the error up to its colon;
// then the archive's error, if any.
std::vector<std::string> Walk(const std::function<ArchiveResult(const Visitor&)>& read) {
  std::vector<std::string> seen;
  const ArchiveResult result = read([&](Member& m) {
    seen.push_back(m.name + " " + kStates[int(m.state)] + " " + std::to_string(m.bytes.size()) +
                   (m.error.empty() ? "" : " " + m.error.substr(0, m.error.find(':'))));
    // A message is one line: none ends in the library's line break.
    if (!m.error.empty() && std::isspace(static_cast<unsigned char>(m.error.back()))) seen.back() += " [ends in blank]";
  });
  if (!result.error.empty()) seen.push_back("error: " + result.error.substr(0, result.error.find(':')));
  return seen;
}

TEST(ZipArchive, EachImageMemberReadsOrSaysWhyNot) {
  const std::string bad = kZips + "/bad.zip", nested = "nested.zip nested 0 an archive inside the archive is not opened",
                    corrupt = "corrupt.dsk failed 0 the member cannot be unpacked",
                    encrypted = "encrypted.dsk failed 0 the member is encrypted; it is not read";
  const testing::Bytes bytes = testing::ReadBytes(bad);
  const struct {
    const char* label;
    std::function<ArchiveResult(const Visitor&)> read;
    std::vector<std::string> want;
  } cases[] = {
      {"other members passed over, names as stored", [](const Visitor& v) { return ReadZip(kZips + "/mixed.zip", v); },
       {"disks/one.dsk read 300", "TWO.JV3 read 3", "inner.zip nested 0 an archive inside the archive is not opened",
        "caf\u00e9.Dmk read 10", "../../evil.jv1 read 12", "ctl\x1b.dsk read 17",
        "short.dsk failed 0 the member cannot be unpacked"}},
      {"bombs, corrupt, encrypted: the rest is read", [&](const Visitor& v) { return ReadZip(bad, v); },
       {"bomb.dsk too-large 0", "liar.dsk too-large 0", corrupt, "good.dsk read 102400", nested, encrypted,
        "last.dsk read 102400"}},
      {"past the archive's cap the images are named, not read",
       [&](const Visitor& v) {
         return ReadZip(bad, v, {.limits = {.member_bytes = 1 << 20, .archive_bytes = (1 << 20) + 50000}});
       },
       {"bomb.dsk too-large 0", "liar.dsk too-large 0", corrupt, "good.dsk failed 0 not read", nested, encrypted,
        "last.dsk failed 0 not read"}},
      {"names only", [&](const Visitor& v) { return ReadZip(bad, v, {.names_only = true}); },
       {"bomb.dsk named 0", "liar.dsk named 0", "corrupt.dsk named 0", "good.dsk named 0", nested,
        "encrypted.dsk named 0", "last.dsk named 0"}},
      {"one member by its index", [&](const Visitor& v) { return ReadZip(bad, v, {.only = 3}); },
       {"good.dsk read 102400"}},
      {"cut short in memory", [&](const Visitor& v) { return ReadZipBytes({bytes.data(), bytes.size() - 3000}, v); },
       {"bomb.dsk too-large 0", "liar.dsk too-large 0", corrupt, "good.dsk read 102400", nested, encrypted,
        "error: the archive cannot be read past its first 6 entries"}},
      {"not a zip", [](const Visitor& v) { return ReadZip(kZips + "/../CTestTestfile.cmake", v); },
       {"error: not a zip archive, or a damaged one"}},
      {"missing", [](const Visitor& v) { return ReadZip(kZips + "/none.zip", v); }, {"error: the archive cannot be opened"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Walk(c.read), c.want) << c.label;
}

TEST(ZipArchive, MemberFoldersStayInsideAndApart) {
  const std::pair<const char*, const char*> cases[] = {
      {"disks/one.dsk", "one.dsk"},    {"other/ONE.DSK", "ONE-2.DSK"},    {"one.dsk", "one-3.dsk"},
      {"../../evil.jv1", "evil.jv1"},  {"/abs/x.dmk", "x.dmk"},          {"win\\path\\x.dmk", "x-2.dmk"},
      {"ctl\x1b\xc2\x85.dsk", "ctl__.dsk"},
      {"caf\xc3\xa9.dsk", "caf\xc3\xa9.dsk"}, {"caf\xe9.dsk", "caf\xc3\xa9-2.dsk"},  // not UTF-8: Latin-1
      {"a/..", "_."},                  {"dir/", "_"},
  };
  MemberFolders folders;
  for (const auto& [member, folder] : cases) EXPECT_EQ(folders.For(member), folder) << member;
}

}  // namespace
}  // namespace vornik::archive
