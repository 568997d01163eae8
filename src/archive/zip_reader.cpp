// The zip reader over libarchive: the only file that includes it, and
// the one that loads it.
#include <archive.h>
#include <archive_entry.h>
#include <locale.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>

#include "archive/zip_archive.h"
#include "platform/platform.h"

namespace vornik::archive {

namespace {

// libarchive is loaded when the first archive is read, not at start: a run
// over disk images alone, the usual one, starts without it and the dozen
// libraries it brings along (a few milliseconds a process).
#define VORNIK_ARCHIVE_CALLS(X)                                                                                  \
  X(archive_read_new) X(archive_read_free) X(archive_read_support_format_zip) X(archive_error_string)            \
  X(archive_set_error) X(archive_read_next_header) X(archive_entry_filetype) X(archive_entry_pathname)           \
  X(archive_entry_pathname_utf8) X(archive_entry_is_encrypted) X(archive_entry_size_is_set) X(archive_entry_size) \
  X(archive_read_data) X(archive_read_set_callback_data) X(archive_read_set_read_callback)                        \
  X(archive_read_set_seek_callback) X(archive_read_set_skip_callback) X(archive_read_open1)                       \
  X(archive_read_open_memory)

#ifndef VORNIK_LIBARCHIVE_NAME
#define VORNIK_LIBARCHIVE_NAME "libarchive.so.13"  // its name since libarchive 3.0
#endif

struct Library {
#define VORNIK_POINTER(f) decltype(&::f) f = nullptr;
  VORNIK_ARCHIVE_CALLS(VORNIK_POINTER)
#undef VORNIK_POINTER
  std::string error;  // why it could not be loaded; empty when it was
};

// The calls; each is there once Unavailable() has said no.
const Library& Lib() {
  static const Library library = [] {
    Library l;
    void* handle = platform::OpenSharedLibrary(VORNIK_LIBARCHIVE_NAME, l.error);
    if (handle == nullptr) return l;
#define VORNIK_LOAD(f)                                                                        \
  l.f = reinterpret_cast<decltype(&::f)>(platform::SharedLibraryFunction(handle, #f));        \
  if (l.f == nullptr && l.error.empty()) l.error = VORNIK_LIBARCHIVE_NAME " has no " #f;
    VORNIK_ARCHIVE_CALLS(VORNIK_LOAD)
#undef VORNIK_LOAD
    return l;
  }();
  return library;
}

// An error for the result when libarchive is not at hand.
bool Unavailable(ArchiveResult& result) {
  if (Lib().error.empty()) return false;
  result.error = "zip archives cannot be read: libarchive is not loaded: " + Lib().error;
  return true;
}

constexpr size_t kBlockBytes = 64 * 1024;  // read from the file at a time
constexpr size_t kChunkBytes = 1 << 20;    // unpacked into a member's bytes at a time
constexpr size_t kProbeBytes = 1 << 14;    // read at a time beyond the stated size

// libarchive turns member names into the thread's character set. Under a
// UTF-8 one for the walk, names come out alike in the window and the
// command-line program: UTF-8 where the archive says so, else as stored.
class Utf8Names {
 public:
  Utf8Names() {
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (utf8) previous_ = uselocale(utf8);
  }
  ~Utf8Names() {
    if (previous_) uselocale(previous_);
  }
  Utf8Names(const Utf8Names&) = delete;
  Utf8Names& operator=(const Utf8Names&) = delete;

 private:
  locale_t previous_ = static_cast<locale_t>(0);
};

// An archive file read through the platform layer, which opens it without
// blocking and refuses anything but a regular file.
struct FileInput {
  platform::ReadFile file;
  int64_t position = 0;
  std::vector<uint8_t> block = std::vector<uint8_t>(kBlockBytes);
};

la_ssize_t ReadBlock(::archive* a, void* data, const void** buffer) {
  auto* in = static_cast<FileInput*>(data);
  size_t got = 0;
  const int error = in->file.ReadAt(in->position, in->block.data(), in->block.size(), got);
  if (error != 0) {
    Lib().archive_set_error(a, error, "%s", platform::ErrorText(error).c_str());
    return ARCHIVE_FATAL;
  }
  in->position += static_cast<int64_t>(got);
  *buffer = in->block.data();
  return static_cast<la_ssize_t>(got);
}

la_int64_t Seek(::archive*, void* data, la_int64_t offset, int whence) {
  auto* in = static_cast<FileInput*>(data);
  const int64_t base = whence == SEEK_CUR ? in->position : whence == SEEK_END ? in->file.Length() : 0;
  if (offset < -base || offset > INT64_MAX - base) return ARCHIVE_FATAL;
  in->position = base + offset;
  return in->position;
}

la_int64_t Skip(::archive*, void* data, la_int64_t request) {
  auto* in = static_cast<FileInput*>(data);
  const int64_t skipped = std::clamp<int64_t>(in->file.Length() - in->position, 0, std::max<la_int64_t>(request, 0));
  in->position += skipped;
  return skipped;
}

using ArchivePtr = std::unique_ptr<::archive, decltype(&::archive_read_free)>;

ArchivePtr NewZipReader() {
  ArchivePtr a(Lib().archive_read_new(), Lib().archive_read_free);
  if (a) Lib().archive_read_support_format_zip(a.get());
  return a;
}

std::string LibraryError(::archive* a) {
  const char* text = Lib().archive_error_string(a);
  std::string said = text ? text : "unknown fault";
  // Some of the library's texts end in a line break.
  while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == ' ')) said.pop_back();
  return said;
}

// One walk over an opened archive.
class Walk {
 public:
  Walk(::archive* a, const ReadOptions& options, int64_t archive_size)
      : a_(a),
        options_(options),
        allowance_(std::min(options.limits.archive_bytes,
                            options.limits.member_bytes + options.limits.ratio * std::max<int64_t>(archive_size, 0))) {}

  void Run(const Visitor& visit, ArchiveResult& result) {
    for (size_t index = 0;; ++index) {
      archive_entry* entry = nullptr;
      const int header = Lib().archive_read_next_header(a_, &entry);
      if (header == ARCHIVE_EOF) return;
      if (header != ARCHIVE_OK && header != ARCHIVE_WARN) {
        result.error = index == 0 ? "not a zip archive, or a damaged one: " + LibraryError(a_)
                                  : "the archive cannot be read past its first " + std::to_string(index) +
                                        " entries: " + LibraryError(a_);
        return;
      }
      if (Lib().archive_entry_filetype(entry) != AE_IFREG) continue;
      const char* name = Lib().archive_entry_pathname(entry);
      if (!name) name = Lib().archive_entry_pathname_utf8(entry);
      Member member{.index = index, .name = name ? name : ""};
      const bool image = IsImageMemberName(member.name);
      if (!image && !IsArchiveMemberName(member.name)) continue;
      if (options_.only != kEveryMember && index != options_.only) continue;
      if (!image) {
        member.state = MemberState::kNested;
        member.error = "an archive inside the archive is not opened";
      } else {
        ++result.images;
        if (!options_.names_only && !ReadMemberOrFail(entry, member)) {
          visit(member);
          result.error = stop_;
          return;
        }
      }
      visit(member);
    }
  }

 private:
  bool ReadMemberOrFail(archive_entry* entry, Member& member) {
    try {
      return ReadMember(entry, member);
    } catch (const std::bad_alloc&) {
      member.bytes = {};
      member.state = MemberState::kFailed;
      member.error = "not read: out of memory";
      return true;
    }
  }

  // Reads the member's data into member.bytes; false when the walk cannot go on.
  bool ReadMember(archive_entry* entry, Member& member) {
    member.state = MemberState::kFailed;
    if (Lib().archive_entry_is_encrypted(entry)) {
      member.error = "the member is encrypted; it is not read";
      return true;
    }
    if (exhausted_) {
      member.error = "not read: the archive has unpacked " + AllowanceText();
      return true;
    }
    const int64_t cap = options_.limits.member_bytes;
    // A member that says it is larger is told by that alone. One that says
    // less than it holds is read up to the cap and told by its bytes.
    if (Lib().archive_entry_size_is_set(entry) && Lib().archive_entry_size(entry) >= cap) {
      member.state = MemberState::kTooLarge;
      return true;
    }
    std::vector<uint8_t>& bytes = member.bytes;
    if (Lib().archive_entry_size_is_set(entry)) bytes.reserve(static_cast<size_t>(std::max<int64_t>(Lib().archive_entry_size(entry), 0)));
    for (;;) {
      if (static_cast<int64_t>(bytes.size()) >= cap) {
        member.state = MemberState::kTooLarge;
        bytes = {};
        return true;
      }
      const size_t before = bytes.size();
      const size_t left = static_cast<size_t>(cap - static_cast<int64_t>(before));
      la_ssize_t got = 0;
      if (bytes.capacity() > before) {
        // Into the room kept for the size the archive states.
        const size_t want = std::min({kChunkBytes, left, bytes.capacity() - before});
        bytes.resize(before + want);
        got = Lib().archive_read_data(a_, bytes.data() + before, want);
        bytes.resize(before + static_cast<size_t>(std::max<la_ssize_t>(got, 0)));
      } else {
        // Past it (or with no size stated) a small read tells whether there
        // is more, so that a member of the size it states is held once.
        uint8_t probe[kProbeBytes];
        got = Lib().archive_read_data(a_, probe, std::min(kProbeBytes, left));
        if (got > 0) bytes.insert(bytes.end(), probe, probe + got);
      }
      if (got < 0) {
        member.error = "the member cannot be unpacked: " + LibraryError(a_);
        bytes = {};
        if (got != ARCHIVE_FATAL) return true;
        stop_ = "the archive cannot be read past this member: " + LibraryError(a_);
        return false;
      }
      if (got == 0) {
        member.state = MemberState::kRead;
        return true;
      }
      unpacked_ += got;
      if (unpacked_ > allowance_) {
        // A bomb: this member and every image after it are named, not read.
        exhausted_ = true;
        member.error = "not read: the archive unpacks to more than " + AllowanceText();
        bytes = {};
        return true;
      }
    }
  }

  std::string AllowanceText() const {
    return std::to_string(allowance_) + " bytes, the most it may";
  }

  ::archive* a_;
  const ReadOptions& options_;
  const int64_t allowance_;
  int64_t unpacked_ = 0;
  bool exhausted_ = false;
  std::string stop_;
};

}  // namespace

bool ZipSupported() { return true; }

ArchiveResult ReadZip(const std::string& path, const Visitor& visit, const ReadOptions& options) {
  const Utf8Names names;
  ArchiveResult result;
  if (Unavailable(result)) return result;
  FileInput in;
  if (const int error = in.file.Open(path); error != 0) {
    result.error = "the archive cannot be opened: " + platform::ErrorText(error);
    return result;
  }
  ArchivePtr a = NewZipReader();
  if (!a || Lib().archive_read_set_callback_data(a.get(), &in) != ARCHIVE_OK ||
      Lib().archive_read_set_read_callback(a.get(), ReadBlock) != ARCHIVE_OK ||
      Lib().archive_read_set_seek_callback(a.get(), Seek) != ARCHIVE_OK ||
      Lib().archive_read_set_skip_callback(a.get(), Skip) != ARCHIVE_OK || Lib().archive_read_open1(a.get()) != ARCHIVE_OK) {
    result.error = "not a zip archive, or a damaged one: " + (a ? LibraryError(a.get()) : std::string("out of memory"));
    return result;
  }
  Walk(a.get(), options, in.file.Length()).Run(visit, result);
  return result;
}

ArchiveResult ReadZipBytes(std::span<const uint8_t> bytes, const Visitor& visit, const ReadOptions& options) {
  const Utf8Names names;
  ArchiveResult result;
  if (Unavailable(result)) return result;
  ArchivePtr a = NewZipReader();
  if (!a || Lib().archive_read_open_memory(a.get(), bytes.data(), bytes.size()) != ARCHIVE_OK) {
    result.error = "not a zip archive, or a damaged one: " + (a ? LibraryError(a.get()) : std::string("out of memory"));
    return result;
  }
  Walk(a.get(), options, static_cast<int64_t>(bytes.size())).Run(visit, result);
  return result;
}

}  // namespace vornik::archive
