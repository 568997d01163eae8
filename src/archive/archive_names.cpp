#include <algorithm>

#include "archive/zip_archive.h"
#include "extract/safe_name.h"

namespace vornik::archive {

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UpperAscii(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), Upper);
  return text;
}

bool EndsWithAny(const std::string& name, std::initializer_list<const char*> endings) {
  const std::string upper = UpperAscii(name);
  return std::any_of(endings.begin(), endings.end(), [&](const char* ending) {
    const std::string e(ending);
    return upper.size() > e.size() && upper.compare(upper.size() - e.size(), e.size(), e) == 0;
  });
}

}  // namespace

bool IsZipPath(const std::string& path) { return EndsWithAny(path, {".ZIP"}); }

bool IsImageMemberName(const std::string& name) { return EndsWithAny(name, {".DSK", ".DMK", ".JV1", ".JV3"}); }

bool IsArchiveMemberName(const std::string& name) {
  return EndsWithAny(name, {".ZIP", ".7Z", ".RAR", ".TAR", ".GZ", ".TGZ", ".BZ2", ".XZ", ".ZST", ".LZH", ".LHA",
                            ".ARJ", ".ARC", ".CAB"});
}

std::string MemberLabel(const std::string& archive_path, const std::string& member_name) {
  return archive_path + "/" + member_name;
}

std::string MemberFolders::For(const std::string& member_name) {
  // Zip names use '/'; archives made on some systems use '\'.
  const size_t cut = member_name.find_last_of("/\\");
  const std::string base = SafeHostNameUtf8(cut == std::string::npos ? member_name : member_name.substr(cut + 1));
  if (taken_.insert(UpperAscii(base)).second) return base;
  const size_t dot = base.rfind('.');
  const size_t stem = dot == std::string::npos || dot == 0 ? base.size() : dot;
  for (int n = 2;; ++n) {
    const std::string name = base.substr(0, stem) + "-" + std::to_string(n) + base.substr(stem);
    if (taken_.insert(UpperAscii(name)).second) return name;
  }
}

}  // namespace vornik::archive
