#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files.h"

namespace cdbbem {

namespace {

open_error error_kind(int error) {
  if (error == ENOENT || error == ENOTDIR) {
    return open_error::not_found;
  }
  if (error == EACCES || error == EPERM || error == EROFS) {
    return open_error::access_denied;
  }
  return open_error::other;
}

int fd_of(file_handle file) { return static_cast<int>(file); }

}  // namespace

file_handle open_for_reading(const std::string& path, open_error& error) {
  // Opening without blocking keeps a FIFO from hanging the run; only a
  // regular file can be read again from its start.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = error_kind(errno);
    return no_file;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(fd);
    error = open_error::other;
    return no_file;
  }
  error = open_error::none;
  return fd;
}

file_handle open_for_writing(const std::string& path, open_error& error) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    int e = errno;
    // A missing directory is an open failure for an output, not "not found".
    error =
        error_kind(e) == open_error::access_denied ? open_error::access_denied : open_error::other;
    return no_file;
  }
  error = open_error::none;
  return fd;
}

std::int64_t read_some(file_handle file, char* data, std::size_t size) {
  for (;;) {
    ssize_t got = ::read(fd_of(file), data, size);
    if (got >= 0 || errno != EINTR) {
      return got;
    }
  }
}

bool seek_to(file_handle file, std::uint64_t offset) {
  return offset <= static_cast<std::uint64_t>(INT64_MAX) &&
         ::lseek(fd_of(file), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

namespace {

// Hands `size` bytes to `put(data, count, done)` (a write of up to `count`
// bytes, `done` of them already written) until all are written or it fails.
template <typename Put>
std::size_t put_all(const char* data, std::size_t size, Put put) {
  std::size_t done = 0;
  while (done < size) {
    ssize_t written = put(data + done, size - done, done);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      break;
    }
    done += static_cast<std::size_t>(written);
  }
  return done;
}

}  // namespace

std::size_t write_all(file_handle file, const char* data, std::size_t size) {
  return put_all(data, size, [file](const char* from, std::size_t count, std::size_t) {
    return ::write(fd_of(file), from, count);
  });
}

bool cut_after(file_handle file, std::uint64_t size) {
  struct stat info;
  if (::fstat(fd_of(file), &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::uint64_t>(info.st_size) <= size) {
    return true;
  }
  return ::ftruncate(fd_of(file), static_cast<off_t>(size)) == 0;
}

void close_file(file_handle file) {
  if (file != no_file) {
    ::close(fd_of(file));
  }
}

bool identify_file(file_handle file, file_identity& identity) {
  struct stat info;
  if (::fstat(fd_of(file), &info) != 0) {
    return false;
  }
  // Unsigned arithmetic keeps times before 1970 distinct as well.
  identity.volume = static_cast<std::uint64_t>(info.st_dev);
  identity.file = static_cast<std::uint64_t>(info.st_ino);
  identity.size = static_cast<std::uint64_t>(info.st_size);
  identity.modified = static_cast<std::uint64_t>(info.st_mtim.tv_sec) * 1'000'000'000u +
                      static_cast<std::uint64_t>(info.st_mtim.tv_nsec);
  return true;
}

bool lock_exclusive(file_handle file) {
  for (;;) {
    if (::flock(fd_of(file), LOCK_EX | LOCK_NB) == 0) {
      return true;
    }
    if (errno != EINTR) {
      return errno != EWOULDBLOCK;
    }
  }
}

file_handle standard_output() { return STDOUT_FILENO; }

file_handle standard_error() { return STDERR_FILENO; }

std::string current_directory() {
  std::string dir(4096, '\0');
  while (::getcwd(dir.data(), dir.size()) == nullptr) {
    if (errno != ERANGE) {
      return ".";
    }
    dir.resize(dir.size() * 2);
  }
  dir.resize(std::strlen(dir.c_str()));
  return dir;
}

std::string join_path(const std::string& directory, const std::string& name) {
  if (directory.empty() || directory.back() == '/') {
    return directory + name;
  }
  return directory + "/" + name;
}

}  // namespace cdbbem
