// File channel 1: the program's one open-file slot. An image is opened on it
// read-only; the open never creates a file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vornik {

class FileChannel {
 public:
  // Opens an existing file for reading. Fails for a missing file, a folder,
  // or a file that cannot be read. Closes whatever was open first.
  bool OpenForRead(const std::string& path);
  // Opens a file held in memory (tests, the fuzzer): it reads like a file.
  void OpenMemory(std::vector<uint8_t> bytes);
  bool IsOpen() const { return file_ != nullptr || memory_ != nullptr; }
  // Length of the open file in bytes, or -1 when it cannot be told.
  int64_t Length() const;
  // Reads `count` bytes from the start of the file into `out`.
  bool ReadAll(uint8_t* out, int64_t count) const;
  void Close();

 private:
  std::shared_ptr<std::FILE> file_;
  std::shared_ptr<const std::vector<uint8_t>> memory_;
};

}  // namespace vornik
