#include "archive/command_syntax.h"

namespace cdbbem {

namespace {

char upper(char c) noexcept { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string_view trim_blanks(std::string_view text) noexcept {
  std::size_t first = 0;
  std::size_t end = text.size();
  while (first < end && (text[first] == ' ' || text[first] == '\t')) {
    ++first;
  }
  while (end > first && (text[end - 1] == ' ' || text[end - 1] == '\t')) {
    --end;
  }
  return text.substr(first, end - first);
}

command_fields split_command(std::string_view command) noexcept {
  command_fields f;
  while (true) {
    const std::size_t comma = command.find(',');
    if (f.count < command_fields::max_fields) {
      f.kept[f.count] = trim_blanks(command.substr(0, comma));
    }
    ++f.count;
    if (comma == std::string_view::npos) {
      return f;
    }
    command.remove_prefix(comma + 1);
  }
}

bool starts_with_keyword(std::string_view text, std::string_view prefix) noexcept {
  if (text.size() < prefix.size()) {
    return false;
  }
  for (std::size_t k = 0; k < prefix.size(); ++k) {
    if (upper(text[k]) != prefix[k]) {
      return false;
    }
  }
  return true;
}

bool keyword_is(std::string_view name, std::string_view keyword) noexcept {
  const std::size_t least = keyword.size() < 4 ? keyword.size() : 4;
  if (name.size() < least || name.size() > keyword.size()) {
    return false;
  }
  for (std::size_t k = 0; k < name.size(); ++k) {
    if (upper(name[k]) != keyword[k]) {
      return false;
    }
  }
  return true;
}

}  // namespace cdbbem
