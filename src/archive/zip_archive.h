// Disk images inside zip archives, read without unpacking them to disk:
// which members are images (by their names), each one's bytes with caps on
// what is unpacked, and the folder an image's files are extracted into.
// The command-line program and the window share it; the core knows nothing
// of archives. A build without zip support (VORNIK_ZIP off) keeps the names
// and says so for every archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "image/layout.h"

namespace vornik::archive {

// Whether this build reads zip archives.
bool ZipSupported();

// Whether the file is taken for a zip archive: its name ends in ".zip", any case.
bool IsZipPath(const std::string& path);
// Whether a member is read as a disk image: its name ends in .dsk, .dmk,
// .jv1 or .jv3, any case.
bool IsImageMemberName(const std::string& name);
// Whether a member is an archive of its own (.zip, .7z, .rar, .tar, .gz, ...),
// which is named but never opened.
bool IsArchiveMemberName(const std::string& name);

// How an image inside an archive is named in everything shown: ARCHIVE/MEMBER.
std::string MemberLabel(const std::string& archive_path, const std::string& member_name);

// The folders the images of one archive are extracted into: each member's
// file name without its folders, made safe like a copy's name; a name that
// an earlier member of the run took (in any case) gets "-2", "-3", ...
// before its extension.
class MemberFolders {
 public:
  std::string For(const std::string& member_name);

 private:
  std::set<std::string> taken_;  // upper-cased
};

struct Limits {
  // Bytes read of one member: one more than any disk image has. A member
  // that states this size or more is not unpacked at all.
  int64_t member_bytes = kMaxImageBytes + 1;
  // Bytes unpacked from one archive in all; the image members after the
  // one that goes past it are named with an error, not read.
  int64_t archive_bytes = int64_t{1} << 30;
  // And at most this many times the archive's own size (beyond one
  // member's worth): deflate packs at most about 1030 to 1, so only a bomb
  // of another method, or members sharing their data, get near.
  int64_t ratio = 1100;
};

enum class MemberState {
  kNamed,     // names_only: the data was not read
  kRead,      // bytes holds the whole member
  kTooLarge,  // larger than any disk image, by its stated size or by what it unpacked to
  kFailed,    // encrypted, corrupt, past the archive's cap, or cut short: error says why
  kNested,    // an archive inside the archive: not opened
};

struct Member {
  size_t index = 0;  // its place among all of the archive's entries
  std::string name{};  // as stored: UTF-8 where the archive says so, else its bytes
  MemberState state = MemberState::kNamed;
  std::vector<uint8_t> bytes{};
  std::string error{};  // kFailed, kNested: in words (ASCII)
};

inline constexpr size_t kEveryMember = static_cast<size_t>(-1);

struct ReadOptions {
  Limits limits{};
  bool names_only = false;      // name the members, read no data
  size_t only = kEveryMember;   // or only the member of this index
};

struct ArchiveResult {
  std::string error{};  // what ended the walk early (or kept it from starting), ASCII; empty when none did
  size_t images = 0;  // the members visited as images (nested ones aside)
};

// Walks the archive's members in their order and hands each image member,
// and each archive inside it, to `visit` (its bytes may be moved out);
// every other member is passed over unread. A member that cannot be read
// is visited with its error, and the walk goes on where the archive allows.
using Visitor = std::function<void(Member&)>;
ArchiveResult ReadZip(const std::string& path, const Visitor& visit, const ReadOptions& options = {});
ArchiveResult ReadZipBytes(std::span<const uint8_t> bytes, const Visitor& visit, const ReadOptions& options = {});

}  // namespace vornik::archive
