// Writing a copy out: an atomic replace of the target, shared by the window
// and the command-line program.
#pragma once

#include <cstdint>
#include <string>

namespace vornik {

// Writes `size` bytes to a temporary file in the target's folder and renames
// it over `path` once every byte is on disk. On failure nothing of the
// target changes and no temporary file stays; `error` says why.
bool WriteFileAtomic(const std::string& path, const uint8_t* data, size_t size, std::string* error);

// True when any entry (file, folder, link, dot file) of that name exists.
bool PathExists(const std::string& path);

}  // namespace vornik
