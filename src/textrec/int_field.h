#ifndef CDBBEM_TEXTREC_INT_FIELD_H_
#define CDBBEM_TEXTREC_INT_FIELD_H_

#include <bit>
#include <cstdint>
#include <string_view>

#include "textrec/digit_words.h"

namespace cdbbem {

/// An Iw field read character by character (see `parse_int_field`).
bool read_int_chars(std::string_view field, std::int32_t& value) noexcept;

// The common field of 8 to 16 characters: blanks, then at most one sign
// and eight digits, all in the last eight characters.  Read as one word,
// the leading blanks and the sign made zeros; false for anything else,
// which the character loop then reads.
[[gnu::always_inline]] inline bool read_word_field(std::string_view field,
                                                   std::int32_t& value) noexcept {
  const std::size_t lead = field.size() - 8;
  for (std::size_t k = 0; k < lead; ++k) {
    if (field[k] != ' ') {
      return false;
    }
  }
  constexpr std::uint64_t ones = 0x0101010101010101;
  std::uint64_t word = load_eight(field.data() + lead);
  // The high bit of each byte that is not a blank.
  const std::uint64_t other = word ^ (ones * ' ');
  const std::uint64_t not_blank = (((other & (ones * 0x7f)) + ones * 0x7f) | other) & (ones * 0x80);
  if (not_blank == 0) {
    value = 0;
    return true;
  }
  const int first = std::countr_zero(not_blank) & ~7;  // bit of the first byte that is not blank
  if (first > 0) {
    const std::uint64_t blanks = ~std::uint64_t{0} >> (64 - first);
    word = (word & ~blanks) | (ones * '0' & blanks);
  }
  const auto lead_char = static_cast<char>(word >> first);
  const bool negative = lead_char == '-';
  if (negative || lead_char == '+') {
    word += static_cast<std::uint64_t>('0' - lead_char) << first;
  }
  if (!eight_are_digits(word)) {
    return false;
  }
  const auto magnitude = static_cast<std::int32_t>(eight_digit_value(word));
  value = negative ? -magnitude : magnitude;
  return true;
}

// In an integer field blanks are ignored wherever they stand and an empty
// field (or a lone sign) is 0.  Inline, as readers of records call it for
// most fields they read.
[[gnu::always_inline]] inline bool read_int_field(std::string_view field,
                                                  std::int32_t& value) noexcept {
  if (field.size() >= 8 && field.size() <= 16 && read_word_field(field, value)) {
    return true;
  }
  return read_int_chars(field, value);
}

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_INT_FIELD_H_
