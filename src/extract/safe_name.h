// The name a copy is written under on the PC: the DOS name with every byte
// that could leave the chosen folder or trouble the file system replaced.
#pragma once

#include <string>

namespace vornik {

// dos_name holds single-byte characters (Latin-1). The result is UTF-8:
// '/', '\\' and the control bytes (below 0x20, 0x7F to 0x9F) become '_';
// a name of dots only gets its first character replaced by '_'; an empty
// name becomes "_".
// In the Windows build the result also passes through WindowsHostName.
std::string SafeHostName(const std::string& dos_name);

// The same rules for a name that may be UTF-8 already (a file name from an
// archive): each UTF-8 character is judged as a whole and kept, U+0080 to
// U+009F replaced too. A name that is not UTF-8 is taken as Latin-1.
std::string SafeHostNameUtf8(const std::string& name);

// What a Windows file system asks more of a UTF-8 name: none of
// < > : " | ? * (they become '_'), no dot or blank at the end (each becomes
// '_'), and no device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, in any
// case, with any extension): '_' is put after it.
std::string WindowsHostName(std::string name);

// Latin-1 bytes to UTF-8.
std::string Latin1ToUtf8(const std::string& text);

}  // namespace vornik
