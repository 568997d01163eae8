// The platform calls on Linux and other POSIX systems.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "platform/platform.h"

namespace vornik::platform {

namespace {

FileId IdOf(const struct stat& info) {
  return {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino), true,
          !(S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) || S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode))};
}

// ---- the hidden name the signal handler removes ---------------------------

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};

// A handler may touch nothing but these: the name lives in a fixed buffer.
char g_pending[4096];
volatile sig_atomic_t g_has_pending = 0;

extern "C" void RemovePendingAndDie(int sig) {
  if (g_has_pending) ::unlink(g_pending);
  // The handler was reset to the default on entry (SA_RESETHAND); the
  // signal raised again is delivered on return and ends the program as it
  // would have without the handler.
  ::raise(sig);
}

sigset_t CleanupSet() {
  sigset_t set;
  sigemptyset(&set);
  for (const int sig : kCleanupSignals) sigaddset(&set, sig);
  return set;
}

// Installs the handler once, for the signals whose action is still the
// default: an ignored signal (nohup, a background job) stays ignored, and a
// handler the program set itself stays in place.
void InstallCleanup() {
  static const bool installed = [] {
    struct sigaction act {};
    act.sa_handler = RemovePendingAndDie;
    act.sa_mask = CleanupSet();
    act.sa_flags = SA_RESETHAND;
    for (const int sig : kCleanupSignals) {
      struct sigaction old {};
      if (::sigaction(sig, nullptr, &old) == 0 && !(old.sa_flags & SA_SIGINFO) && old.sa_handler == SIG_DFL) {
        ::sigaction(sig, &act, nullptr);
      }
    }
    return true;
  }();
  (void)installed;
}

// Holds the cleanup signals back while the hidden name changes hands, so
// that the handler never sees a half-written name or removes a name that
// has already become the final one.
class SignalsHeld {
 public:
  SignalsHeld() {
    const sigset_t set = CleanupSet();
    ::sigprocmask(SIG_BLOCK, &set, &old_);
  }
  ~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &old_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t old_;
};

void SetPending(const std::string& name) {
  g_has_pending = 0;
  if (name.size() >= sizeof g_pending) return;
  std::memcpy(g_pending, name.c_str(), name.size() + 1);
  g_has_pending = 1;
}

std::string HiddenName(const std::string& folder) {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::mt19937 mix{std::random_device{}()};
  std::string name = folder + "/.vornik-";
  for (int i = 0; i < 6; ++i) name += kChars[mix() % (sizeof kChars - 1)];
  return name;
}

std::string ProcPath(intptr_t fd) { return "/proc/self/fd/" + std::to_string(fd); }

// Gives an unnamed file a name; an existing name is refused (EEXIST).
int LinkUnnamed(intptr_t fd, const std::string& path) {
  return ::linkat(AT_FDCWD, ProcPath(fd).c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

// Renames without ever replacing: renameat2 where the system and the file
// system have it, else a hard link (which refuses an existing name) and the
// removal of the old name.
int RenameNoReplace(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
#endif
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  ::unlink(from.c_str());
  return 0;
}

}  // namespace

std::string ErrorText(int error) { return std::strerror(error); }

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

FileId IdOfPath(const std::string& path, bool follow) {
  struct stat info {};
  const int rc = follow ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info);
  return rc == 0 ? IdOf(info) : FileId{};
}

// ---- reading -------------------------------------------------------------

int ReadFile::Open(const std::string& path) {
  Close();
  if (path.empty()) return ENOENT;
  // Non-blocking, so that a FIFO put in the image's place cannot hang the
  // open; what the file is comes from the open file itself, not the name.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat info {};
  int error = 0;
  if (::fstat(fd, &info) != 0) {
    error = errno;
  } else if (!S_ISREG(info.st_mode)) {
    error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
  }  // O_NONBLOCK changes nothing for a regular file's reads: it may stay
  if (error != 0) {
    ::close(fd);
    return error;
  }
  handle_ = fd;
  length_ = static_cast<int64_t>(info.st_size);
  id_ = IdOf(info);
  return 0;
}

int ReadFile::ReadAt(int64_t offset, uint8_t* out, size_t count, size_t& got) const {
  got = 0;
  if (!IsOpen()) return EBADF;
  if (offset < 0) return EINVAL;
  for (;;) {
    const ssize_t n = ::pread(static_cast<int>(handle_), out, count, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    got = static_cast<size_t>(n);
    return 0;
  }
}

void ReadFile::Close() {
  if (IsOpen()) ::close(static_cast<int>(handle_));
  handle_ = kNone;
  length_ = -1;
  id_ = {};
}

// ---- writing -------------------------------------------------------------

int MakeFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0) return 0;
  const int error = errno;
  struct stat info {};
  if (error != EEXIST || ::lstat(path.c_str(), &info) != 0) return error;
  return S_ISDIR(info.st_mode) ? 0 : EEXIST;
}

int PendingFile::Create(const std::string& folder) {
  Discard();
  folder_ = folder;
#ifdef O_TMPFILE
  // An unnamed file, usable only where it can be linked through /proc.
  const int unnamed = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (unnamed >= 0) {
    if (::access(ProcPath(unnamed).c_str(), F_OK) == 0) {
      handle_ = unnamed;
      return 0;
    }
    ::close(unnamed);
  } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
    return errno;  // the folder itself is the trouble
  }
#endif
  InstallCleanup();
  std::string name = folder + "/.vornik-XXXXXX";
  const SignalsHeld held;
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return errno;
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  SetPending(name);
  temp_ = name;
  handle_ = fd;
  return 0;
}

int PendingFile::Write(const uint8_t* data, size_t size) {
  if (handle_ == kNone) return EBADF;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(static_cast<int>(handle_), data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    done += static_cast<size_t>(n);
  }
  return 0;
}

int PendingFile::Flush() {
  if (handle_ == kNone) return EBADF;
  const int fd = static_cast<int>(handle_);
  if (!temp_.empty()) {
    // mkstemp makes the file private; a copy gets ordinary permissions.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, 0666 & ~mask) != 0) return errno;
  }
  return ::fsync(fd) == 0 ? 0 : errno;
}

int PendingFile::Publish(const std::string& path, bool replace) {
  if (handle_ == kNone) return EBADF;
  if (temp_.empty()) {
    // Unnamed: a link refuses an existing name by itself. Replacing takes
    // a hidden name first, renamed over the old file below.
    if (!replace) {
      if (const int error = LinkUnnamed(handle_, path)) return error;
      Discard();
      return 0;
    }
    InstallCleanup();
    for (int attempt = 0; temp_.empty(); ++attempt) {
      const std::string name = HiddenName(folder_);
      const SignalsHeld held;
      const int error = LinkUnnamed(handle_, name);
      if (error == EEXIST && attempt < 100) continue;
      if (error != 0) return error;
      SetPending(name);
      temp_ = name;
    }
  }
  const SignalsHeld held;
  const int error = replace ? (::rename(temp_.c_str(), path.c_str()) == 0 ? 0 : errno)
                            : RenameNoReplace(temp_, path);
  if (error != 0) return error;
  g_has_pending = 0;
  temp_.clear();
  Discard();
  return 0;
}

void PendingFile::Discard() {
  if (!temp_.empty()) {
    const SignalsHeld held;
    ::unlink(temp_.c_str());
    g_has_pending = 0;
    temp_.clear();
  }
  if (handle_ != kNone) ::close(static_cast<int>(handle_));
  handle_ = kNone;
}

std::string InFolder(const std::string& folder, const std::string& name) { return folder + "/" + name; }

std::string FolderKey(const std::string& name) { return name; }

std::vector<std::string> Arguments(int argc, char** argv) { return {argv, argv + argc}; }

bool SecureStandardStreams() {
  bool output_closed = false;
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    if (fd == 1) output_closed = true;
    const int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (null >= 0 && null != fd) {
      ::dup2(null, fd);
      ::close(null);
    }
  }
  return output_closed;
}

void* OpenSharedLibrary(const std::string& name, std::string& why) {
  void* library = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* error = dlerror();
    why = error ? error : name + ": cannot be loaded";
  }
  return library;
}

void* SharedLibraryFunction(void* library, const char* name) { return dlsym(library, name); }

}  // namespace vornik::platform
