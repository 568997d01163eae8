// A condition that ends the running operation as a failure: a read outside
// the image or a table index out of range. The Open command catches it and
// ends quietly; the directory walk and the copy catch their own.
#pragma once

#include <stdexcept>
#include <string>

namespace vornik {

class DiskError : public std::runtime_error {
 public:
  explicit DiskError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace vornik
