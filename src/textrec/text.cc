#include "textrec/text.h"

#include <cstdint>
#include <cstring>

#include "platform/machine.h"
#include "textrec/failure.h"
#include "textrec/numeric_input.h"

namespace cdbbem {

namespace {

std::size_t trimmed_length(const char* text, std::size_t len) {
  while (len > 0 && text[len - 1] == ' ') {
    --len;
  }
  return len;
}

// Whether `len` characters are all blanks, eight at a time: texts are
// compared against long blank-padded buffers for every input record.
bool all_blank(const char* text, std::size_t len) {
  constexpr std::uint64_t eight_blanks = 0x2020202020202020;
  for (; len >= 8; len -= 8, text += 8) {
    std::uint64_t word;
    std::memcpy(&word, text, 8);
    if (word != eight_blanks) {
      return false;
    }
  }
  for (; len > 0; --len, ++text) {
    if (*text != ' ') {
      return false;
    }
  }
  return true;
}

}  // namespace

bool text_equal(const char* a, std::size_t len_a, const char* b, std::size_t len_b) noexcept {
  std::size_t common = len_a < len_b ? len_a : len_b;
  // The texts compared are a few characters: a loop beats a library call.
  for (std::size_t i = 0; i < common; ++i) {
    if (a[i] != b[i]) {
      return false;
    }
  }
  const char* rest = len_a > len_b ? a : b;
  std::size_t longer = len_a > len_b ? len_a : len_b;
  return all_blank(rest + common, longer - common);
}

std::int32_t text_to_int(const char* text, std::size_t len) {
  std::int32_t value = 0;
  if (!parse_int_field(std::string_view(text, trimmed_length(text, len)), value)) {
    fail(report::invalid_integer, channel::none);
  }
  return value;
}

double text_to_double(const char* text, std::size_t len) {
  double value = 0.0;
  if (!parse_real(std::string_view(text, trimmed_length(text, len)), real_syntax::text_field, 0,
                  value)) {
    fail(report::invalid_real, channel::none);
  }
  return value;
}

void date_stamp(char* dest, std::size_t len) {
  static constexpr const char* months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                           "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  const calendar_date today = local_date();
  char stamp[10];
  int day = today.day;
  int year = (today.year % 100 + 100) % 100;
  stamp[0] = static_cast<char>('0' + day / 10);
  stamp[1] = static_cast<char>('0' + day % 10);
  stamp[2] = '-';
  std::memcpy(stamp + 3, months[(today.month - 1) % 12], 3);
  stamp[6] = '-';
  stamp[7] = static_cast<char>('0' + year / 10);
  stamp[8] = static_cast<char>('0' + year % 10);
  std::size_t n = len < 9 ? len : 9;
  std::memcpy(dest, stamp, n);
  if (len > 9) {
    std::memset(dest + 9, ' ', len - 9);
  }
}

}  // namespace cdbbem
