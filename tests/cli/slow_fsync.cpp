// Preloaded into vornik-cli by hostile.sh: fsync creates the file named by
// VORNIK_TEST_FSYNC_MARK and waits, so that a signal arrives while a copy is
// being written; VORNIK_TEST_NO_TMPFILE=1 makes unnamed files unsupported.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>

extern "C" int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = va_arg(args, mode_t);  // read whether given or not, as the C library does
  va_end(args);
  const char* no_tmpfile = std::getenv("VORNIK_TEST_NO_TMPFILE");
  if ((flags & O_TMPFILE) == O_TMPFILE && no_tmpfile && *no_tmpfile) return errno = EOPNOTSUPP, -1;
  static const auto next = reinterpret_cast<int (*)(const char*, int, ...)>(::dlsym(RTLD_NEXT, "open"));
  return next(path, flags, mode);
}

extern "C" int fsync(int fd) {
  if (const char* mark = std::getenv("VORNIK_TEST_FSYNC_MARK")) ::close(open(mark, O_WRONLY | O_CREAT, 0600)), ::sleep(20);
  static const auto next = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
  return next(fd);
}
