#ifndef CDBBEM_PLATFORM_PATHS_H_
#define CDBBEM_PLATFORM_PATHS_H_

#include <cstdint>
#include <string>

namespace cdbbem {

/// What a path names, following symbolic links.
enum class path_kind : std::uint8_t {
  missing,       ///< nothing there (or a directory on the way is missing)
  inaccessible,  ///< the system refuses to say (permission on the way)
  directory,
  regular_file,
  other,  ///< a FIFO, device or socket
};

/// What `path` names.
path_kind kind_of_path(const std::string& path);

/// True when `path` itself (not what a symbolic link there names) is a
/// regular file with no other name (a single hard link).
bool is_sole_regular_file(const std::string& path);

/// True when `path` starts from the root rather than the current directory.
bool is_absolute_path(const std::string& path);

/// The directory part of a file's path: the text before its last separator
/// ("/" for a file in the root), or "" when it has none.  Nothing resolved.
std::string directory_part(const std::string& path);

/// Puts the file `from` in the place of `to`, replacing it in one step;
/// both must be in the same directory.  False when the system refuses.
bool replace_file(const std::string& from, const std::string& to);

/// Removes the file at `path`, if it can.
void remove_file(const std::string& path);

}  // namespace cdbbem

#endif  // CDBBEM_PLATFORM_PATHS_H_
