// The calls that differ between operating systems, behind one small
// interface: opening an image for reading, the identity of a file, and
// writing a new file into a folder so that no partial file and no stray
// temporary file can stay and no name is replaced unless asked for.
// platform_posix.cpp implements it for Linux and other POSIX systems; a
// build for another system supplies its own file beside it.
//
// Error numbers are errno values (ENOENT, EEXIST, ...); a system whose own
// codes differ maps them onto these, and ErrorText() says them in words.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vornik::platform {

// What makes a file the same file under any of its names: device and
// inode here (volume and file index elsewhere). An invalid id equals
// nothing that is valid.
struct FileId {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool valid = false;
  // Not a device, a pipe or a socket: a copy may be written over it (a
  // folder in the way fails on its own).
  bool plain = true;
  bool operator==(const FileId& o) const { return device == o.device && inode == o.inode && valid == o.valid; }
};

// The system's words for an error number.
std::string ErrorText(int error);
// The folder part of a path ("." when it has none).
std::string FolderOf(const std::string& path);
// A file's path in `folder`, joined with the system's own separator.
std::string InFolder(const std::string& folder, const std::string& name);
// The form in which the system's folders tell two names apart: the name
// itself, or on Windows (whose folders ignore case) its upper case.
std::string FolderKey(const std::string& name);

// The program's arguments in UTF-8 (on Windows read from the wide command
// line, so that a name in any script arrives whole).
std::vector<std::string> Arguments(int argc, char** argv);

// Gives standard input, output and error that are closed a harmless place
// to point at, so that no file the program opens later takes their place
// (and output meant for the terminal lands in it). Returns true when
// standard output was closed.
bool SecureStandardStreams();

// A shared library loaded by its file name (found where the system finds
// libraries), or nullptr with `why` saying what went wrong; it stays loaded.
void* OpenSharedLibrary(const std::string& name, std::string& why);
// The address of a function the library exports, or nullptr.
void* SharedLibraryFunction(void* library, const char* name);

// ---- reading -------------------------------------------------------------

// A regular file open for reading; closed when the object goes.
class ReadFile {
 public:
  ReadFile() = default;
  ~ReadFile() { Close(); }
  ReadFile(const ReadFile&) = delete;
  ReadFile& operator=(const ReadFile&) = delete;

  // Opens `path` without ever blocking and then asks the open file what it
  // is: anything but a regular file (a FIFO, a device, a folder) is closed
  // again and refused. Returns 0 or an error number (EISDIR for a folder,
  // EINVAL for any other kind of file).
  int Open(const std::string& path);
  bool IsOpen() const { return handle_ != kNone; }
  // Length and identity as the open file told them.
  int64_t Length() const { return length_; }
  FileId Id() const { return id_; }
  // Reads `count` bytes from the start into `out`, in as few calls as the
  // system allows. Returns 0 or an error number (EIO when the file ended early).
  int ReadFromStart(uint8_t* out, size_t count) const {
    for (size_t done = 0; done < count;) {
      size_t got = 0;
      if (const int error = ReadAt(static_cast<int64_t>(done), out + done, count - done, got); error != 0) return error;
      if (got == 0) return EIO;  // shorter than it was
      done += got;
    }
    return IsOpen() ? 0 : EBADF;
  }
  // Reads at most `count` bytes from `offset` on into `out`; `got` is how
  // many were read (0 at the end). Returns 0 or an error number.
  int ReadAt(int64_t offset, uint8_t* out, size_t count, size_t& got) const;
  void Close();

 private:
  static constexpr intptr_t kNone = -1;
  intptr_t handle_ = kNone;  // a descriptor here, a handle elsewhere
  int64_t length_ = -1;
  FileId id_;
};

// The identity of whatever `path` names; with `follow` a symbolic link
// gives that of its target. Invalid when nothing is there.
FileId IdOfPath(const std::string& path, bool follow);

// ---- writing -------------------------------------------------------------

// Makes the folder `path` (one level). A folder already there is used as
// it is; anything else there, a symbolic link included, is refused with
// EEXIST, so that nothing is written through it. Returns 0 or an error number.
int MakeFolder(const std::string& path);

// A new file being written in a folder. Where the system can, it has no
// name until Publish, so that even a killed program leaves nothing behind;
// otherwise it lives under a hidden name ".vornik-XXXXXX" that Discard, the
// destructor and the signals that end the program (SIGINT, SIGTERM, SIGHUP,
// SIGXFSZ, where not ignored) remove. A program has one at a time.
class PendingFile {
 public:
  PendingFile() = default;
  ~PendingFile() { Discard(); }
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // Each returns 0 or an error number.
  int Create(const std::string& folder);
  // Writes all `size` bytes (after any written before).
  int Write(const uint8_t* data, size_t size);
  // Gives the file the permissions of a newly created one and waits until
  // its bytes are on the disk.
  int Flush();
  // Gives the file its final name. With `replace` an existing file of that
  // name is replaced in one step; without it the step itself refuses with
  // EEXIST when the name is taken, however late it was taken.
  int Publish(const std::string& path, bool replace);
  // Forgets the file unless it was published.
  void Discard();

 private:
  static constexpr intptr_t kNone = -1;
  intptr_t handle_ = kNone;
  std::string folder_;
  std::string temp_;  // the hidden name, empty while the file has none
};

}  // namespace vornik::platform
