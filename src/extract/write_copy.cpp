#include "extract/write_copy.h"

#include <cerrno>

namespace vornik {

bool PathExists(const std::string& path) { return platform::IdOfPath(path, false).valid; }

namespace {

bool Fail(WriteError* error, WriteFailure kind, int code, const std::string& what) {
  if (error) {
    error->kind = kind;
    error->code = code;
    error->text = code != 0 ? what + ": " + platform::ErrorText(code) : what;
  }
  return false;
}

}  // namespace

bool WriteFileAtomic(const std::string& path, const uint8_t* data, size_t size, const WriteOptions& options,
                     WriteError* error) {
  // A name already taken is refused before anything is written; the final
  // step refuses again whatever appeared since.
  const platform::FileId there = platform::IdOfPath(path, false);
  if (there.valid) {
    if (options.image.valid && (there == options.image || platform::IdOfPath(path, true) == options.image)) {
      return Fail(error, WriteFailure::kIsImage, 0, path + " is the image being read");
    }
    if (!there.plain) {
      return Fail(error, WriteFailure::kNotAFile, 0, path + " is a device, a pipe or a socket, not a file; it is not written over");
    }
    if (!options.replace) return Fail(error, WriteFailure::kExists, EEXIST, path);
  }
  const std::string folder = platform::FolderOf(path);
  platform::PendingFile file;
  if (const int code = file.Create(folder)) {
    return Fail(error, WriteFailure::kCreate, code, "cannot create a file in " + folder);
  }
  int code = file.Write(data, size);
  if (code == 0) code = file.Flush();
  if (code != 0) return Fail(error, WriteFailure::kWrite, code, "cannot write " + path);
  code = file.Publish(path, options.replace);
  if (code == EEXIST && !options.replace) return Fail(error, WriteFailure::kExists, code, path);
  if (code != 0) return Fail(error, WriteFailure::kRename, code, "cannot give the copy the name " + path);
  return true;
}

}  // namespace vornik
