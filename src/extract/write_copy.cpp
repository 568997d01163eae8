#include "extract/write_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>


namespace vornik {

bool PathExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool Fail(std::string* error, const std::string& what) {
  if (error) *error = what + ": " + std::strerror(errno);
  return false;
}

}  // namespace

bool WriteFileAtomic(const std::string& path, const uint8_t* data, size_t size, std::string* error) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    errno = EISDIR;
    return Fail(error, path);
  }
  std::string temp = FolderOf(path) + "/.vornik-XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return Fail(error, "cannot create a file in " + FolderOf(path));
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int saved = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      errno = saved;
      return Fail(error, "cannot write " + path);
    }
    done += static_cast<size_t>(n);
  }
  // mkstemp makes the file private; give the copy ordinary permissions.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    const int saved = errno;
    ::unlink(temp.c_str());
    errno = saved;
    return Fail(error, "cannot write " + path);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int saved = errno;
    ::unlink(temp.c_str());
    errno = saved;
    return Fail(error, "cannot replace " + path);
  }
  return true;
}

}  // namespace vornik
