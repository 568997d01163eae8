// Writing a copy out: a new file appears whole under its name or not at
// all, shared by the window and the command-line program.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace vornik {

// What stopped a write. kCreate with an error number such as ENOENT,
// ENOTDIR, EACCES or EROFS is a matter of the folder, not of the one file.
enum class WriteFailure {
  kNone,
  kCreate,   // no new file could be made in the target's folder
  kWrite,    // the bytes could not be written or flushed to the disk
  kRename,   // the finished file could not be given its name
  kExists,   // the name is taken and replacing was not asked for
  kIsImage,  // the name is the image being read
  kNotAFile, // the name is a device, a pipe or a socket: never written over
};

struct WriteError {
  WriteFailure kind = WriteFailure::kNone;
  int code = 0;      // the system's error number; 0 for kIsImage
  std::string text;  // what failed, on which path, and the system's reason
};

struct WriteOptions {
  bool replace = false;    // replace an existing file of that name (in one step)
  platform::FileId image;  // never written over, whether or not replace is set
};

// Writes `size` bytes to a new file in the target's folder and gives it the
// name `path` once every byte is on the disk. Without `replace` that last
// step itself refuses an existing name, so a file that appears meanwhile is
// never overwritten. On failure no file of that name changes and no
// temporary file stays; `error` says why.
bool WriteFileAtomic(const std::string& path, const uint8_t* data, size_t size, const WriteOptions& options,
                     WriteError* error);

// True when any entry (file, folder, link, dot file) of that name exists.
bool PathExists(const std::string& path);

}  // namespace vornik
