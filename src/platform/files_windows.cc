#include <windows.h>

#include <algorithm>
#include <string_view>

#include "platform/files.h"
#include "platform/wide_windows.h"

namespace cdbbem {

namespace {

// Other programs may read, write, rename or delete the files while they are
// open, as on POSIX systems.
constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// ReadFile and WriteFile count in 32 bits.
constexpr std::size_t largest_transfer = std::size_t{1} << 30;

HANDLE handle_of(file_handle file) { return reinterpret_cast<HANDLE>(file); }

file_handle file_of(HANDLE handle) { return reinterpret_cast<file_handle>(handle); }

// Windows answers "access denied" for a directory opened as a file too;
// that is not a permission problem, so it is told apart by the attributes.
open_error error_kind(DWORD error, const std::wstring& path) {
  switch (error) {
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
    return open_error::not_found;
  case ERROR_ACCESS_DENIED: {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return open_error::other;
    }
    return open_error::access_denied;
  }
  case ERROR_WRITE_PROTECT:
    return open_error::access_denied;
  default:
    // A sharing or lock violation (another program holds the file) among them.
    return open_error::other;
  }
}

bool is_disk_file(HANDLE handle) { return GetFileType(handle) == FILE_TYPE_DISK; }

// A console takes text, not bytes: the UTF-8 is shown through the wide
// console call, whatever the console's code page.  Pipes and files get the
// bytes themselves.
bool is_console(HANDLE handle) {
  DWORD mode = 0;
  return GetFileType(handle) == FILE_TYPE_CHAR && GetConsoleMode(handle, &mode) != 0;
}

bool write_console(HANDLE handle, const char* data, std::size_t size) {
  const std::wstring text = to_wide(std::string_view(data, size));
  std::size_t done = 0;
  while (done < text.size()) {
    DWORD put = 0;
    const auto part = static_cast<DWORD>(std::min(text.size() - done, largest_transfer));
    if (WriteConsoleW(handle, text.data() + done, part, &put, nullptr) == 0 || put == 0) {
      return false;
    }
    done += put;
  }
  return true;
}

}  // namespace

file_handle open_for_reading(const std::string& path, open_error& error) {
  const std::wstring name = to_wide(path);
  HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ, share_all, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = error_kind(GetLastError(), name);
    return no_file;
  }
  // Only a file on a disk can be read again from its start (not a pipe, a
  // console or a device).
  if (!is_disk_file(handle)) {
    CloseHandle(handle);
    error = open_error::other;
    return no_file;
  }
  error = open_error::none;
  return file_of(handle);
}

file_handle open_for_writing(const std::string& path, open_error& error) {
  const std::wstring name = to_wide(path);
  // OPEN_ALWAYS opens an existing file as it is (not emptied) or creates it.
  HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE, share_all, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    // A missing directory is an open failure for an output, not "not found".
    error = error_kind(GetLastError(), name) == open_error::access_denied
                ? open_error::access_denied
                : open_error::other;
    return no_file;
  }
  error = open_error::none;
  return file_of(handle);
}

std::int64_t read_some(file_handle file, char* data, std::size_t size) {
  DWORD got = 0;
  const auto part = static_cast<DWORD>(std::min(size, largest_transfer));
  if (ReadFile(handle_of(file), data, part, &got, nullptr) == 0) {
    return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
  }
  return got;
}

bool seek_to(file_handle file, std::uint64_t offset) {
  LARGE_INTEGER to = {};
  to.QuadPart = static_cast<LONGLONG>(offset);
  return offset <= static_cast<std::uint64_t>(INT64_MAX) &&
         SetFilePointerEx(handle_of(file), to, nullptr, FILE_BEGIN) != 0;
}

std::size_t write_all(file_handle file, const char* data, std::size_t size) {
  HANDLE handle = handle_of(file);
  if (size > 0 && is_console(handle)) {
    return write_console(handle, data, size) ? size : 0;
  }
  std::size_t done = 0;
  while (done < size) {
    DWORD put = 0;
    const auto part = static_cast<DWORD>(std::min(size - done, largest_transfer));
    if (WriteFile(handle, data + done, part, &put, nullptr) == 0 || put == 0) {
      break;
    }
    done += put;
  }
  return done;
}

bool cut_after(file_handle file, std::uint64_t size) {
  HANDLE handle = handle_of(file);
  LARGE_INTEGER length;
  if (!is_disk_file(handle) || GetFileSizeEx(handle, &length) == 0 ||
      static_cast<std::uint64_t>(length.QuadPart) <= size) {
    return true;
  }
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  return SetFilePointerEx(handle, end, nullptr, FILE_BEGIN) != 0 && SetEndOfFile(handle) != 0;
}

bool identify_file(file_handle file, file_identity& identity) {
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(handle_of(file), &info) == 0) {
    return false;
  }
  identity.volume = info.dwVolumeSerialNumber;
  identity.file = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  identity.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  identity.modified = (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                      info.ftLastWriteTime.dwLowDateTime;
  return true;
}

// Files are read, not viewed.
const std::atomic<bool>& view_faults(const char*) {
  static const std::atomic<bool> none{false};
  return none;
}
const char* view_file(file_handle, std::uint64_t) { return nullptr; }
void end_view(const char*, std::uint64_t) {}
void view_ahead(const char*, std::uint64_t, std::uint64_t) {}
void view_behind(const char*, std::uint64_t, std::uint64_t) {}

bool lock_exclusive(file_handle file) {
  // The whole range a file can have; the lock goes with this handle, so
  // this run's own writes and cuts through it are not held back.
  OVERLAPPED whole = {};
  if (LockFileEx(handle_of(file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                 MAXDWORD, &whole) != 0) {
    return true;
  }
  return GetLastError() != ERROR_LOCK_VIOLATION;
}

void close_file(file_handle file) {
  if (file != no_file) {
    CloseHandle(handle_of(file));
  }
}

// The handles themselves are written with WriteFile, so no C library text
// mode turns a "\n" into "\r\n" (or "\r\n" into "\r\r\n").
file_handle standard_output() { return file_of(GetStdHandle(STD_OUTPUT_HANDLE)); }

file_handle standard_error() { return file_of(GetStdHandle(STD_ERROR_HANDLE)); }

std::string current_directory() {
  DWORD size = GetCurrentDirectoryW(0, nullptr);
  while (size > 0) {
    std::wstring dir(size, L'\0');
    DWORD length = GetCurrentDirectoryW(size, dir.data());
    if (length < size) {
      dir.resize(length);
      return to_utf8(dir);
    }
    size = length;  // the directory changed in between and is longer
  }
  return ".";
}

std::string join_path(const std::string& directory, const std::string& name) {
  // A drive root ("C:\") already ends with its separator.
  if (directory.empty() || directory.back() == '\\' || directory.back() == '/') {
    return directory + name;
  }
  return directory + "\\" + name;
}

}  // namespace cdbbem
