// The name a copy is written under on the PC: the DOS name with every byte
// that could leave the chosen folder or trouble the file system replaced.
#pragma once

#include <string>

namespace vornik {

// dos_name holds single-byte characters (Latin-1). The result is UTF-8:
// '/', '\\' and the control bytes (below 0x20, 0x7F to 0x9F) become '_';
// a name of dots only gets its first character replaced by '_'; an empty
// name becomes "_".
std::string SafeHostName(const std::string& dos_name);

// Latin-1 bytes to UTF-8.
std::string Latin1ToUtf8(const std::string& text);

}  // namespace vornik
