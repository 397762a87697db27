#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/paths.h"

namespace cdbbem {

path_kind kind_of_path(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? path_kind::missing : path_kind::inaccessible;
  }
  if (S_ISDIR(info.st_mode)) {
    return path_kind::directory;
  }
  return S_ISREG(info.st_mode) ? path_kind::regular_file : path_kind::other;
}

bool is_sole_regular_file(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1;
}

bool is_absolute_path(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string directory_part(const std::string& path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) {
    return "";
  }
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool replace_file(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

void remove_file(const std::string& path) { ::unlink(path.c_str()); }

}  // namespace cdbbem
