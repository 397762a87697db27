#include <windows.h>

#include "platform/paths.h"
#include "platform/wide_windows.h"

namespace cdbbem {

namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

}  // namespace

path_kind kind_of_path(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(to_wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? path_kind::missing
                                                                          : path_kind::inaccessible;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return path_kind::directory;
  }
  return (attributes & FILE_ATTRIBUTE_DEVICE) != 0 ? path_kind::other : path_kind::regular_file;
}

bool is_sole_regular_file(const std::string& path) {
  HANDLE handle =
      CreateFileW(to_wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info;
  const bool sole =
      GetFileInformationByHandle(handle, &info) != 0 &&
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
      info.nNumberOfLinks == 1;
  CloseHandle(handle);
  return sole;
}

bool is_absolute_path(const std::string& path) {
  // "C:\..." or "C:/...", or a network or device path starting "\\".
  return (path.size() >= 3 && path[1] == ':' && is_separator(path[2])) ||
         (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1]));
}

std::string directory_part(const std::string& path) {
  const std::size_t at = path.find_last_of("\\/");
  if (at == std::string::npos) {
    return "";
  }
  // The root of a drive keeps its separator: "C:\".
  if (at == 2 && path[1] == ':') {
    return path.substr(0, 3);
  }
  return at == 0 ? path.substr(0, 1) : path.substr(0, at);
}

bool replace_file(const std::string& from, const std::string& to) {
  return MoveFileExW(to_wide(from).c_str(), to_wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void remove_file(const std::string& path) { DeleteFileW(to_wide(path).c_str()); }

}  // namespace cdbbem
