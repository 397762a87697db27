#ifndef CDBBEM_ARCHIVE_COMMAND_SYNTAX_H_
#define CDBBEM_ARCHIVE_COMMAND_SYNTAX_H_

#include <string_view>

namespace cdbbem {

/// The comma fields of one command, each without the blanks around it;
/// fields past `max_fields` are counted but not kept.
struct command_fields {
  static constexpr int max_fields = 24;
  std::string_view kept[max_fields];
  int count = 0;

  /// Field `k` (0 the command's name); empty past the last.
  std::string_view operator[](int k) const {
    return k < count && k < max_fields ? kept[k] : std::string_view{};
  }
};

/// `text` without the blanks and tabs around it.
std::string_view trim_blanks(std::string_view text) noexcept;

/// The commands of a record: the text before a `!`, cut at each `$`.
/// Calls `each(command)` for every non-blank command in order.
template <typename F>
void for_each_command(std::string_view record, F&& each) {
  record = record.substr(0, record.find('!'));
  while (true) {
    const std::size_t cut = record.find('$');
    const std::string_view command = trim_blanks(record.substr(0, cut));
    if (!command.empty()) {
      each(command);
    }
    if (cut == std::string_view::npos) {
      return;
    }
    record.remove_prefix(cut + 1);
  }
}

/// Splits a command at its commas.
command_fields split_command(std::string_view command) noexcept;

/// Whether `name` is `keyword` (upper case) in any case, or an
/// abbreviation of it of at least four characters.
bool keyword_is(std::string_view name, std::string_view keyword) noexcept;

/// Whether `text` begins with `prefix` (upper case) in any case.
bool starts_with_keyword(std::string_view text, std::string_view prefix) noexcept;

}  // namespace cdbbem

#endif  // CDBBEM_ARCHIVE_COMMAND_SYNTAX_H_
