#include "state/file_channel.h"

#include <algorithm>

namespace vornik {

bool FileChannel::OpenForRead(const std::string& path) {
  Close();
  id_ = {};
  auto file = std::make_shared<platform::ReadFile>();
  if (file->Open(path) != 0) return false;
  id_ = file->Id();
  file_ = std::move(file);
  return true;
}

void FileChannel::OpenMemory(std::vector<uint8_t> bytes) {
  Close();
  id_ = {};
  memory_ = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
}

int64_t FileChannel::Length() const {
  if (memory_) return static_cast<int64_t>(memory_->size());
  return file_ ? file_->Length() : -1;
}

bool FileChannel::ReadAll(uint8_t* out, int64_t count) const {
  if (count < 0) return false;
  if (memory_) {
    if (static_cast<size_t>(count) > memory_->size()) return false;
    std::copy(memory_->begin(), memory_->begin() + count, out);
    return true;
  }
  return file_ && file_->ReadFromStart(out, static_cast<size_t>(count)) == 0;
}

void FileChannel::Close() {
  file_.reset();
  memory_.reset();
}

}  // namespace vornik
