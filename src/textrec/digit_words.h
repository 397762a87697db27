#ifndef CDBBEM_TEXTREC_DIGIT_WORDS_H_
#define CDBBEM_TEXTREC_DIGIT_WORDS_H_

#include <bit>
#include <cstdint>
#include <cstring>

namespace cdbbem {

/// Whether `c` is a decimal digit.
constexpr bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

/// The value of a digit character; above 9 for every other character.
constexpr unsigned digit_value(char c) noexcept { return static_cast<unsigned>(c - '0'); }

/// Whether `c` is a sign.
constexpr bool is_sign(char c) noexcept { return c == '+' || c == '-'; }

/// Eight characters as a word, the first in the lowest byte.
inline std::uint64_t load_eight(const char* p) noexcept {
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  if constexpr (std::endian::native == std::endian::big) {
    word = __builtin_bswap64(word);
  }
  return word;
}

/// Whether all eight characters of a word are digits: no byte falls below
/// '0' or, raised by 0x46, reaches 0x80.
inline bool eight_are_digits(std::uint64_t word) noexcept {
  return (((word + 0x4646464646464646) | (word - 0x3030303030303030)) & 0x8080808080808080) == 0;
}

/// The value of eight digit characters held in a word (the first, most
/// significant, in the lowest byte): pairs, then fours, then all eight are
/// combined in the lanes of the word.
inline std::uint32_t eight_digit_value(std::uint64_t word) noexcept {
  word = ((word & 0x0f0f0f0f0f0f0f0f) * 2561) >> 8;
  word = ((word & 0x00ff00ff00ff00ff) * 6553601) >> 16;
  return static_cast<std::uint32_t>(((word & 0x0000ffff0000ffff) * 42949672960001) >> 32);
}

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_DIGIT_WORDS_H_
