// File channel 1: the program's one open-file slot. An image is opened on it
// read-only; the open never creates a file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace vornik {

class FileChannel {
 public:
  // Opens an existing regular file for reading. Fails, without waiting, for
  // a missing file, a folder, a FIFO or device, or a file that cannot be
  // read. Closes whatever was open first.
  bool OpenForRead(const std::string& path);
  // Opens a file held in memory (tests, the fuzzer): it reads like a file.
  void OpenMemory(std::vector<uint8_t> bytes);
  bool IsOpen() const { return file_ != nullptr || memory_ != nullptr; }
  // Length of the open file in bytes, or -1 when it cannot be told.
  int64_t Length() const;
  // Reads `count` bytes from the start of the file into `out`.
  bool ReadAll(uint8_t* out, int64_t count) const;
  void Close();
  // The identity of the file last opened by path. It stays after Close, so
  // that a copy written later can refuse to replace the image it came from;
  // memory and a failed open have none.
  platform::FileId Identity() const { return id_; }

 private:
  std::shared_ptr<platform::ReadFile> file_;
  std::shared_ptr<const std::vector<uint8_t>> memory_;
  platform::FileId id_;
};

}  // namespace vornik
