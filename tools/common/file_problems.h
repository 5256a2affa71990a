// Why a file cannot be read or written, in the system's words ("No such file
// or directory", "Permission denied", "No space left on device"), for the
// messages of lxnicctl and lxnicdefs. The library's calls answer a result
// code only; these look at the file again to find the reason.
#pragma once

#include <string>

namespace lxtools {

// The reason a file cannot be opened for reading, or empty when it can.
std::string WhyCannotRead(const std::string &path);

// The reason a file cannot be written at path (as a new file written beside
// it and renamed over it), or empty when nothing is found in the way. It
// tries a small temporary file in the same folder, which it removes.
std::string WhyCannotWrite(const std::string &path);

}  // namespace lxtools
