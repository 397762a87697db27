#include "run/options.h"

#include <string_view>

#include "archive/archive_formats.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace cdbbem {

namespace {

command_line usage_error(std::string line) {
  command_line c;
  c.what = command_line::request::usage_error;
  c.error = "cdbbem: " + std::move(line);
  return c;
}

std::string quoted(std::string_view text) {
  std::string s(1, '\'');
  s += text;
  s += '\'';
  return s;
}

}  // namespace

command_line parse_command_line(const std::vector<std::string>& args) {
  command_line c;
  for (std::size_t k = 0; k < args.size(); ++k) {
    const std::string_view arg = args[k];
    if (arg == "--help" || arg == "-h" || arg == "--version") {
      if (args.size() != 1) {
        return usage_error(quoted(arg) + " takes no other arguments (see --help)");
      }
      c.what = arg == "--version" ? command_line::request::version : command_line::request::help;
      return c;
    }
    if (arg == "--check") {
      c.check = true;
    } else if (arg == "--json") {
      c.json = true;
    } else if (arg == "--vtk") {
      c.vtk = true;
    } else if (arg == "--any") {
      c.any = true;
    } else if (arg == "--dof" || arg == "--flux") {
      // The label is the next argument, whatever it looks like.
      if (k + 1 == args.size() || args[k + 1].empty()) {
        return usage_error(quoted(arg) + " needs a LABEL (see --help)");
      }
      (arg == "--dof" ? c.dof : c.flux) = args[++k];
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usage_error("unexpected argument " + quoted(arg) + " (see --help)");
    } else if (c.has_path) {
      return usage_error("unexpected argument " + quoted(arg) + ": only one PATH may be given");
    } else {
      c.has_path = true;
      c.path = arg;
    }
  }
  if (c.json && !c.check) {
    return usage_error("--json is an option of --check (see --help)");
  }
  if (!c.any && (!c.dof.empty() || !c.flux.empty())) {
    return usage_error(std::string(c.dof.empty() ? "--flux" : "--dof") +
                       " is an option of --any (see --help)");
  }
  return c;
}

bool find_run_place(const command_line& args, run_place& place, std::string& error) {
  const std::string cwd = current_directory();
  if (!args.has_path || args.path == ".") {
    place = {cwd, join_path(cwd, archive_file_name)};
    return true;
  }
  const std::string& path = args.path;
  const std::string absolute = is_absolute_path(path) ? path : join_path(cwd, path);
  switch (kind_of_path(path)) {
  case path_kind::directory:
    place = {absolute, join_path(absolute, archive_file_name)};
    return true;
  case path_kind::regular_file:
    place = {directory_part(absolute), absolute};
    return true;
  case path_kind::missing:
    error = "cdbbem: no such file or directory: " + quoted(path);
    return false;
  case path_kind::inaccessible:
    error = "cdbbem: cannot access " + quoted(path);
    return false;
  default:
    error = "cdbbem: not a directory or a regular file: " + quoted(path);
    return false;
  }
}

}  // namespace cdbbem
