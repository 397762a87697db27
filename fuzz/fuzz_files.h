#ifndef CDBBEM_FUZZ_FUZZ_FILES_H_
#define CDBBEM_FUZZ_FUZZ_FILES_H_

// Files for the fuzz targets that run whole translations: inputs written
// whole, outputs read whole, and capture files for the console and the
// error output that each run empties again.

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace cdbbem_fuzz {

inline void expect(bool condition) {
  if (!condition) {
    std::abort();
  }
}

inline void write_whole(const std::string& path, std::string_view bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  expect(fd >= 0);
  while (!bytes.empty()) {
    ssize_t put = ::write(fd, bytes.data(), bytes.size());
    expect(put > 0);
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  ::close(fd);
}

inline std::string read_whole(const std::string& path) {
  std::string text;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[65536];
    std::size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) {
      text.append(buf, got);
    }
    std::fclose(f);
  }
  return text;
}

// What a capture file holds; it is emptied for the next run.
inline std::string take(int fd) {
  std::string text;
  char buf[4096];
  for (ssize_t got; (got = ::pread(fd, buf, sizeof buf, static_cast<off_t>(text.size()))) > 0;) {
    text.append(buf, static_cast<std::size_t>(got));
  }
  expect(::ftruncate(fd, 0) == 0 && ::lseek(fd, 0, SEEK_SET) == 0);
  return text;
}

// A capture file named `name` in `dir`, unlinked at once.
inline int capture_file(const std::string& dir, const char* name) {
  const std::string path = dir + "/" + name;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  expect(fd >= 0);
  ::unlink(path.c_str());
  return fd;
}

}  // namespace cdbbem_fuzz

#endif  // CDBBEM_FUZZ_FUZZ_FILES_H_
