// The floor for the command-line comparison: opens each path given and
// reads it whole into one reused buffer, as any program that looks at an
// image must. Prints the number of bytes read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  std::vector<unsigned char> buf;
  unsigned long long total = 0;
  for (int i = 1; i < argc; ++i) {
    const int fd = ::open(argv[i], O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat sb {};
    if (::fstat(fd, &sb) == 0) {
      if (buf.size() < static_cast<size_t>(sb.st_size) + 1) buf.resize(static_cast<size_t>(sb.st_size) + 1);
      size_t done = 0;
      while (done < static_cast<size_t>(sb.st_size)) {
        const ssize_t n = ::read(fd, buf.data() + done, static_cast<size_t>(sb.st_size) - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
      }
      total += done;
    }
    ::close(fd);
  }
  std::printf("%llu\n", total);
  return 0;
}
