#include "state/file_channel.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

namespace vornik {

bool FileChannel::OpenForRead(const std::string& path) {
  Close();
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  file_.reset(f, [](std::FILE* p) { std::fclose(p); });
  return true;
}

void FileChannel::OpenMemory(std::vector<uint8_t> bytes) {
  Close();
  memory_ = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
}

int64_t FileChannel::Length() const {
  if (memory_) return static_cast<int64_t>(memory_->size());
  if (!file_) return -1;
  struct stat info {};
  if (::fstat(fileno(file_.get()), &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

bool FileChannel::ReadAll(uint8_t* out, int64_t count) const {
  if (memory_) {
    if (count < 0 || static_cast<size_t>(count) > memory_->size()) return false;
    std::copy(memory_->begin(), memory_->begin() + count, out);
    return true;
  }
  if (!file_) return false;
  if (std::fseek(file_.get(), 0, SEEK_SET) != 0) return false;
  if (count == 0) return true;
  return std::fread(out, 1, static_cast<size_t>(count), file_.get()) == static_cast<size_t>(count);
}

void FileChannel::Close() {
  file_.reset();
  memory_.reset();
}

}  // namespace vornik
