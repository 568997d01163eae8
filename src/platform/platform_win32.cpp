// The platform calls on Windows. Paths arrive as UTF-8 and go to the wide
// (UTF-16) calls, so that a name in any script opens; Windows error codes
// are mapped onto the errno values the interface speaks.
#include <windows.h>
#include <shellapi.h>
#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>

#include "platform/platform.h"

namespace vornik::platform {

namespace {

constexpr DWORD kLargestRead = DWORD{1} << 30;  // one ReadFile/WriteFile call at most
constexpr int kNameAttempts = 100;                // hidden names tried before giving up

// UTF-8 to UTF-16; bytes that are not UTF-8 are taken in the system's code
// page, as a program that knows no better would take them.
std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  UINT page = CP_UTF8;
  int n = ::MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) {
    page = CP_ACP;
    n = ::MultiByteToWideChar(page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  }
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) ::MultiByteToWideChar(page, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string Utf8(const wchar_t* wide) {
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string text(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), n, nullptr, nullptr);
  text.pop_back();  // the terminating NUL
  return text;
}

int ErrnoOf(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return EINVAL;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    default:
      return EIO;
  }
}

int LastErrno() { return ErrnoOf(::GetLastError()); }

FileId IdOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber, (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow, true};
}

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// ---- the hidden name a console interrupt removes ---------------------------

// Ctrl+C, closing the console and logging off reach the program on a thread
// of their own: the name changes hands under this lock.
std::mutex g_pending_lock;
std::wstring g_pending;

BOOL WINAPI RemovePendingOnInterrupt(DWORD) {
  {
    const std::lock_guard<std::mutex> hold(g_pending_lock);
    if (!g_pending.empty()) ::DeleteFileW(g_pending.c_str());
    g_pending.clear();
  }
  return FALSE;  // and end the program as it would have ended
}

void SetPending(const std::wstring& name) {
  static const bool installed = ::SetConsoleCtrlHandler(RemovePendingOnInterrupt, TRUE) != 0;
  (void)installed;
  const std::lock_guard<std::mutex> hold(g_pending_lock);
  g_pending = name;
}

std::string HiddenName(const std::string& folder) {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::mt19937 mix{std::random_device{}()};
  std::string name = InFolder(folder, ".vornik-");
  for (int i = 0; i < 6; ++i) name += kChars[mix() % (sizeof kChars - 1)];
  return name;
}

}  // namespace

std::string ErrorText(int error) { return std::strerror(error); }

std::string FolderOf(const std::string& path) {
  size_t slash = std::string::npos;
  for (size_t i = 0; i < path.size(); ++i)
    if (IsSeparator(path[i])) slash = i;
  const bool drive = path.size() >= 2 && path[1] == ':';
  if (slash == std::string::npos) return drive ? path.substr(0, 2) : ".";
  if (slash == 0 || (drive && slash == 2)) return path.substr(0, slash + 1);  // a root: "\" or "C:\"
  return path.substr(0, slash);
}

FileId IdOfPath(const std::string& path, bool follow) {
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  const HANDLE h = ::CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = ::GetFileInformationByHandle(h, &info) != 0;
  ::CloseHandle(h);
  return known ? IdOf(info) : FileId{};
}

std::string InFolder(const std::string& folder, const std::string& name) {
  // "C:" is the current folder of drive C, not its root.
  const bool drive_only = folder.size() == 2 && folder[1] == ':';
  if (folder.empty() || drive_only || IsSeparator(folder.back())) return folder + name;
  return folder + "\\" + name;
}

std::string FolderKey(const std::string& name) {
  std::wstring wide = Wide(name);
  ::CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  return Utf8(wide.c_str());
}

std::vector<std::string> Arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return {argv, argv + argc};
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) args.push_back(Utf8(wide[i]));
  ::LocalFree(wide);
  return args;
}

bool SecureStandardStreams() {
  bool output_closed = false;
  for (int fd = 0; fd <= 2; ++fd) {
    if (::_get_osfhandle(fd) != -1) continue;
    if (fd == 1) output_closed = true;
    std::FILE* stream = fd == 0 ? stdin : fd == 1 ? stdout : stderr;
    if (!std::freopen("NUL", fd == 0 ? "r" : "w", stream)) continue;
  }
  // Output is bytes, as on every other system: no CR is put before each LF.
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
  // Names are written in UTF-8; a console shows them so while the program runs.
  static const UINT console_page = ::GetConsoleOutputCP();
  if (console_page != 0 && console_page != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8))
    std::atexit([] { ::SetConsoleOutputCP(console_page); });
  return output_closed;
}

// ---- reading -------------------------------------------------------------

int ReadFile::Open(const std::string& path) {
  Close();
  if (path.empty()) return ENOENT;
  // Backup semantics open a folder too, so that it can be told and refused.
  const HANDLE h =
      ::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return LastErrno();
  BY_HANDLE_FILE_INFORMATION info{};
  int error = 0;
  if (::GetFileInformationByHandle(h, &info) == 0) {
    error = LastErrno();
  } else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    error = EISDIR;
  } else if (::GetFileType(h) != FILE_TYPE_DISK) {
    error = EINVAL;
  }
  if (error != 0) {
    ::CloseHandle(h);
    return error;
  }
  handle_ = reinterpret_cast<intptr_t>(h);
  length_ = static_cast<int64_t>((uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
  id_ = IdOf(info);
  return 0;
}

int ReadFile::ReadAt(int64_t offset, uint8_t* out, size_t count, size_t& got) const {
  got = 0;
  if (!IsOpen()) return EBADF;
  if (offset < 0) return EINVAL;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(static_cast<uint64_t>(offset) & 0xFFFFFFFFu);
  at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
  DWORD read = 0;
  if (::ReadFile(reinterpret_cast<HANDLE>(handle_), out, static_cast<DWORD>(std::min<size_t>(count, kLargestRead)),
                 &read, &at) == 0) {
    return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : LastErrno();
  }
  got = read;
  return 0;
}

void ReadFile::Close() {
  if (IsOpen()) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kNone;
  length_ = -1;
  id_ = {};
}

// ---- writing -------------------------------------------------------------

int MakeFolder(const std::string& path) {
  const std::wstring wide = Wide(path);
  if (::CreateDirectoryW(wide.c_str(), nullptr) != 0) return 0;
  const int error = LastErrno();
  const DWORD there = ::GetFileAttributesW(wide.c_str());
  if (error != EEXIST || there == INVALID_FILE_ATTRIBUTES) return error;
  // A junction or a link to a folder is refused like a file in the way.
  const bool folder = (there & FILE_ATTRIBUTE_DIRECTORY) && !(there & FILE_ATTRIBUTE_REPARSE_POINT);
  return folder ? 0 : EEXIST;
}

// Windows has no file without a name: the copy is written under a hidden
// name in the target folder, which Publish moves into place and Discard,
// the destructor and a console interrupt remove.
int PendingFile::Create(const std::string& folder) {
  Discard();
  folder_ = folder;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string name = HiddenName(folder);
    const std::wstring wide = Wide(name);
    // Shared for deletion alone: Ctrl+C can remove it while it is open.
    const HANDLE h =
        ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD code = ::GetLastError();
      if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) continue;
      return ErrnoOf(code);
    }
    SetPending(wide);
    temp_ = name;
    handle_ = reinterpret_cast<intptr_t>(h);
    return 0;
  }
  return EEXIST;
}

int PendingFile::Write(const uint8_t* data, size_t size) {
  if (handle_ == kNone) return EBADF;
  const HANDLE h = reinterpret_cast<HANDLE>(handle_);
  size_t done = 0;
  while (done < size) {
    const DWORD want = static_cast<DWORD>(std::min<size_t>(size - done, kLargestRead));
    DWORD wrote = 0;
    if (::WriteFile(h, data + done, want, &wrote, nullptr) == 0) return LastErrno();
    if (wrote == 0) return EIO;
    done += wrote;
  }
  return 0;
}

int PendingFile::Flush() {
  if (handle_ == kNone) return EBADF;
  return ::FlushFileBuffers(reinterpret_cast<HANDLE>(handle_)) != 0 ? 0 : LastErrno();
}

int PendingFile::Publish(const std::string& path, bool replace) {
  if (handle_ == kNone) return EBADF;
  ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kNone;
  // Without MOVEFILE_REPLACE_EXISTING the move itself refuses a taken name.
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  const std::lock_guard<std::mutex> hold(g_pending_lock);
  const std::wstring target = Wide(path);
  if (::MoveFileExW(Wide(temp_).c_str(), target.c_str(), flags) == 0) {
    const int error = LastErrno();
    // A folder of that name is refused as "access denied"; say what it is.
    const DWORD there = ::GetFileAttributesW(target.c_str());
    if (error == EACCES && there != INVALID_FILE_ATTRIBUTES && (there & FILE_ATTRIBUTE_DIRECTORY)) return EISDIR;
    return error;
  }
  g_pending.clear();
  temp_.clear();
  return 0;
}

void PendingFile::Discard() {
  if (handle_ != kNone) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kNone;
  if (!temp_.empty()) {
    const std::lock_guard<std::mutex> hold(g_pending_lock);
    ::DeleteFileW(Wide(temp_).c_str());
    g_pending.clear();
    temp_.clear();
  }
}

#ifdef LOAD_LIBRARY_SEARCH_DEFAULT_DIRS
constexpr DWORD kSearchDefaultDirs = LOAD_LIBRARY_SEARCH_DEFAULT_DIRS;
#else
constexpr DWORD kSearchDefaultDirs = 0x00001000;  // the same flag, where older headers lack it
#endif

void* OpenSharedLibrary(const std::string& name, std::string& why) {
  // Only where the system keeps its libraries and the program's own
  // folder, never the current folder or PATH.
  const HMODULE library = ::LoadLibraryExW(Wide(name).c_str(), nullptr, kSearchDefaultDirs);
  if (library == nullptr) why = name + ": cannot be loaded: " + ErrorText(LastErrno());
  return reinterpret_cast<void*>(library);
}

void* SharedLibraryFunction(void* library, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace vornik::platform
