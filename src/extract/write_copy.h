// Writing a copy out: an atomic replace of the target, shared by the window
// and the command-line program.
#pragma once

#include <cstdint>
#include <string>

#include "state/disk_state.h"
#include "state/window_port.h"

namespace vornik {

// Writes `size` bytes to a temporary file in the target's folder and renames
// it over `path` once every byte is on disk. On failure nothing of the
// target changes and no temporary file stays; `error` says why.
bool WriteFileAtomic(const std::string& path, const uint8_t* data, size_t size, std::string* error);

// True when any entry (file, folder, link, dot file) of that name exists.
bool PathExists(const std::string& path);

// Writes copybuf[0..fpb) into the current folder under the safe form of
// FileName, asking first when a file of that name exists. Shows the failure
// message when the write fails.
void SaveAsFile(DiskState& st, WindowPort& win, const std::string& FileName);

extern const char* const kMsgOverwrite;
extern const char* const kMsgWriteFailed;
extern const char* const kProgramTitle;  // "Vornik"

}  // namespace vornik
