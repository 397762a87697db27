#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

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

namespace {

// The views open now, for the guard to know its own pages: a few readers
// at most, each slot a view's start and size (0 for a free slot).
constexpr int view_slots = 16;
std::atomic<std::uintptr_t> view_start[view_slots];
std::atomic<std::uintptr_t> view_size[view_slots];
std::atomic<bool> view_fault[view_slots];
std::uintptr_t page_bytes = 4096;  // the system's, set before the first view
struct sigaction earlier_bus_action;

// A page of a view past the end of a file cut while it is viewed raises
// SIGBUS: the page becomes one of zeros (mapped by the system call
// itself, past any library's wrapper), and the read goes on.  A SIGBUS
// anywhere else gets the action that was there before.
void on_bus_error(int number, siginfo_t* info, void* context) {
  const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
  const std::uintptr_t page = page_bytes;
  for (int k = 0; k < view_slots; ++k) {
    const std::uintptr_t start = view_start[k].load(std::memory_order_acquire);
    const std::uintptr_t size = view_size[k].load(std::memory_order_acquire);
    if (size != 0 && at >= start && at - start < size) {
      const long mapped = ::syscall(SYS_mmap, at & ~(page - 1), page, PROT_READ,
                                    MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
      if (mapped != -1) {
        view_fault[k].store(true, std::memory_order_relaxed);
        return;
      }
    }
  }
  if ((earlier_bus_action.sa_flags & SA_SIGINFO) != 0 &&
      earlier_bus_action.sa_sigaction != nullptr) {
    earlier_bus_action.sa_sigaction(number, info, context);
    return;
  }
  ::sigaction(SIGBUS, &earlier_bus_action, nullptr);
}

void guard_views() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (const long size = ::sysconf(_SC_PAGESIZE); size > 0) {
      page_bytes = static_cast<std::uintptr_t>(size);
    }
    struct sigaction action = {};
    action.sa_sigaction = on_bus_error;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &earlier_bus_action);
  });
}

}  // namespace

const std::atomic<bool>& view_faults(const char* view) {
  static const std::atomic<bool> none{false};
  for (int k = 0; k < view_slots; ++k) {
    if (view != nullptr &&
        view_start[k].load(std::memory_order_acquire) == reinterpret_cast<std::uintptr_t>(view)) {
      return view_fault[k];
    }
  }
  return none;
}

const char* view_file(file_handle file, std::uint64_t size) {
  if (size == 0 || size > SIZE_MAX / 2) {
    return nullptr;
  }
  guard_views();
  void* view =
      ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_PRIVATE, fd_of(file), 0);
  if (view == MAP_FAILED) {
    return nullptr;
  }
  for (int k = 0; k < view_slots; ++k) {
    std::uintptr_t free = 0;
    if (view_size[k].load(std::memory_order_acquire) == 0 &&
        view_start[k].compare_exchange_strong(free, reinterpret_cast<std::uintptr_t>(view))) {
      view_fault[k].store(false, std::memory_order_relaxed);
      view_size[k].store(static_cast<std::uintptr_t>(size), std::memory_order_release);
      return static_cast<const char*>(view);
    }
  }
  // No slot left for the guard: the file is read instead.
  ::munmap(view, static_cast<std::size_t>(size));
  return nullptr;
}

void end_view(const char* view, std::uint64_t size) {
  if (view == nullptr) {
    return;
  }
  for (int k = 0; k < view_slots; ++k) {
    if (view_start[k].load(std::memory_order_acquire) == reinterpret_cast<std::uintptr_t>(view)) {
      ::munmap(const_cast<char*>(view), static_cast<std::size_t>(size));
      view_size[k].store(0, std::memory_order_release);
      view_start[k].store(0, std::memory_order_release);
      return;
    }
  }
}

namespace {

void advise_view(const char* view, std::uint64_t from, std::uint64_t to, int advice) {
  from -= from % page_bytes;
  if (to > from) {
    ::madvise(const_cast<char*>(view) + from, static_cast<std::size_t>(to - from), advice);
  }
}

}  // namespace

void view_ahead(const char* view, std::uint64_t from, std::uint64_t to) {
#ifdef MADV_POPULATE_READ
  advise_view(view, from, to, MADV_POPULATE_READ);
#else
  advise_view(view, from, to, MADV_WILLNEED);
#endif
}

void view_behind(const char* view, std::uint64_t from, std::uint64_t to) {
  // Only whole pages before `to`: the one it lies in is still read.
  to -= to % page_bytes;
  advise_view(view, from, to, MADV_DONTNEED);
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
