#ifndef CDBBEM_PLATFORM_FILES_H_
#define CDBBEM_PLATFORM_FILES_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace cdbbem {

/// An open file of the system: a descriptor on POSIX, a handle on Windows.
using file_handle = std::intptr_t;

/// No file.
inline constexpr file_handle no_file = -1;

/// Why an open failed, in the terms the failure reports need.
enum class open_error : std::uint8_t {
  none,
  not_found,      ///< the file or a directory on its path does not exist
  access_denied,  ///< permission refused, or a read-only file system
  other,          ///< anything else, including a file that is not a regular file
};

/// Opens an existing regular file for reading; anything else (a directory,
/// a FIFO, a device) is refused without blocking.  `no_file` on failure.
file_handle open_for_reading(const std::string& path, open_error& error);

/// Opens or creates a file for writing from its start, without emptying it.
file_handle open_for_writing(const std::string& path, open_error& error);

/// Reads up to `size` bytes; the count read, 0 at the end, -1 on an error.
std::int64_t read_some(file_handle file, char* data, std::size_t size);

/// Moves the read position of a file opened for reading to byte `offset`
/// from its start; false when the system refuses.
bool seek_to(file_handle file, std::uint64_t offset);

/// Writes `size` bytes; returns how many reached the file before a failure
/// (all of them on success).
std::size_t write_all(file_handle file, const char* data, std::size_t size);

/// Cuts a regular file to `size` bytes when it is longer; other files are
/// left alone.  False when the system refuses.
bool cut_after(file_handle file, std::uint64_t size);

/// Closes a file opened by this room.
void close_file(file_handle file);

/// What tells one state of a file from another: on POSIX its device, its
/// file number, its size and its modification time in nanoseconds.  Only
/// equality means anything; each system fills the fields its own way.
struct file_identity {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;
  std::uint64_t size = 0;
  std::uint64_t modified = 0;
  bool operator==(const file_identity&) const = default;
};

/// The identity of an open file, taken from the open file itself (not its
/// path); false when the system does not give it.
bool identify_file(file_handle file, file_identity& identity);

/// A read-only view of the first `size` bytes of an open regular file,
/// which the system pages in as they are read, or null where it gives
/// none (the caller then reads the file).  Should the file be cut while it
/// is viewed, the bytes past its new end read as zeros rather than ending
/// the program; the caller must then find the file changed.
const char* view_file(file_handle file, std::uint64_t size);

/// Set once a page of `view` could not be had (its file cut, or the system
/// failing to read it) and reads as zeros, until the view ends: its reader
/// must then end with a report rather than take those bytes.  For no view
/// (null), a flag that is never set.
const std::atomic<bool>& view_faults(const char* view);

/// Ends a view that `view_file` gave.
void end_view(const char* view, std::uint64_t size);

/// Bytes [from, to) of a view are read next: paged in at once.  Bytes
/// [0, from) of it are read no more for now: given back, so that a view
/// holds little memory however large its file (they are paged in again if
/// read).  Both are hints, and change no byte of the view.
void view_ahead(const char* view, std::uint64_t from, std::uint64_t to);
void view_behind(const char* view, std::uint64_t from, std::uint64_t to);

/// Takes an exclusive advisory lock on an open file without waiting; the
/// lock goes with the open file and ends when it is closed or the process
/// ends, leaving nothing on disk.  False only when another open file holds
/// it: where the file system has no such locks, every caller gets through.
bool lock_exclusive(file_handle file);

/// The process's standard output and standard error, written as bytes.
file_handle standard_output();
file_handle standard_error();

/// The current directory as an absolute path, or "." when it cannot be had.
std::string current_directory();

/// `directory` and `name` joined by the system's separator.
std::string join_path(const std::string& directory, const std::string& name);

}  // namespace cdbbem

#endif  // CDBBEM_PLATFORM_FILES_H_
