#ifndef CDBBEM_TEXTREC_DECIMAL_DIGITS_H_
#define CDBBEM_TEXTREC_DECIMAL_DIGITS_H_

#include <bit>
#include <cstdint>
#include <cstring>

namespace cdbbem {

/// The eight decimal digits of `n` (below 10^8) as characters in the bytes
/// of a word, the first digit in the lowest byte.  All digits are worked out
/// at once in lanes: halves of four digits, then pairs, then single digits,
/// by multiplications that divide each lane exactly for values of its size.
inline std::uint64_t eight_digits(std::uint32_t n) noexcept {
  std::uint64_t halves = n / 10000 | std::uint64_t{n % 10000} << 32;
  std::uint64_t high_pairs = (halves * 10486 >> 20) & 0x0000007f0000007f;
  std::uint64_t pairs = high_pairs | (halves - high_pairs * 100) << 16;
  std::uint64_t tens = (pairs * 103 >> 10) & 0x000f000f000f000f;
  return (tens | (pairs - tens * 10) << 8) + 0x3030303030303030;
}

/// Stores the eight characters of `word` (the first in the lowest byte) at
/// `out`.
inline void store_word(std::uint64_t word, char* out) noexcept {
  if constexpr (std::endian::native == std::endian::big) {
    word = __builtin_bswap64(word);
  }
  std::memcpy(out, &word, 8);
}

/// The `digits` (1 to 17) leading significant decimal digits of `magnitude`
/// (finite, greater than zero, subnormals included), correctly rounded with
/// ties to even, as characters into `out`, which has room for 17 characters
/// (those after the digits are left unspecified).  Returns the exponent e with
/// magnitude = 0.d1d2...dn x 10^e after rounding (0.999..95 becomes 0.1E+1).
int significant_digits(double magnitude, int digits, char* out) noexcept;

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_DECIMAL_DIGITS_H_
