#include "textrec/decimal_digits.h"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

#include "platform/fp_env.h"

namespace cdbbem {

namespace {

__extension__ typedef unsigned __int128 uint128;

constexpr std::uint64_t mantissa_mask = (std::uint64_t{1} << 52) - 1;

// Powers of ten up to 10^22: a 53-bit significand times any of them stays
// below 2^127, so the scaled value is an exact integer product.
constexpr int largest_scale = 22;

struct power_table {
  uint128 value[largest_scale + 1];
  constexpr power_table() : value() {
    value[0] = 1;
    for (int k = 1; k <= largest_scale; ++k) {
      value[k] = value[k - 1] * 10;
    }
  }
};
constexpr power_table powers_of_ten;

// Writes the `digits` decimal digits of `n` (below 10^digits, leading zeros
// included) at `out`, eight-digit pieces stored whole: up to seven bytes
// past the last digit may be overwritten.
void put_digits(std::uint64_t n, int digits, char* out) {
  constexpr std::uint64_t eight = 100'000'000;
  if (digits <= 8) {
    store_word(eight_digits(static_cast<std::uint32_t>(n)) >> (8 * (8 - digits)), out);
    return;
  }
  std::uint64_t high = n / eight;
  if (digits <= 16) {
    store_word(eight_digits(static_cast<std::uint32_t>(high)) >> (8 * (16 - digits)), out);
  } else {
    out[0] = static_cast<char>('0' + high / eight);
    store_word(eight_digits(static_cast<std::uint32_t>(high % eight)), out + 1);
  }
  store_word(eight_digits(static_cast<std::uint32_t>(n % eight)), out + digits - 8);
}

// Exact digits by integer arithmetic for a normal value m x 2^-s whose
// scaled value m x 10^k (k = digits - e) fits 128 bits: the integer part of
// m x 10^k / 2^s rounded by the exact remainder.  False when the value
// lies outside that range or the digits asked for are not 1 to 17.
bool digits_by_integers(double magnitude, int digits, char* out, int& exponent) {
  auto bits = std::bit_cast<std::uint64_t>(magnitude);
  int biased = static_cast<int>(bits >> 52);
  int shift = 1075 - biased;  // magnitude = m / 2^shift
  if (digits < 1 || digits > 17 || biased == 0 || shift < 1 || shift > 127) {
    return false;
  }
  uint128 m = (bits & mantissa_mask) | (std::uint64_t{1} << 52);
  // floor((biased - 1023) log10 2) is floor(log10 magnitude) or one less.
  int e = (((biased - 1023) * 78913) >> 18) + 1;
  int k = digits - e;
  if (k < 1 || k > largest_scale) {
    return false;
  }
  // The guess and the rounding go either way at random for measured data,
  // so both are worked out without branches.
  int above = ((m * powers_of_ten.value[k]) >> shift) >= powers_of_ten.value[digits] ? 1 : 0;
  e += above;
  k -= above;
  uint128 scaled = m * powers_of_ten.value[k];
  auto whole = static_cast<std::uint64_t>(scaled >> shift);
  uint128 rest = scaled - (uint128{whole} << shift);
  uint128 half = uint128{1} << (shift - 1);
  whole += static_cast<std::uint64_t>((rest > half) | ((rest == half) & ((whole & 1) != 0)));
  if (whole == powers_of_ten.value[digits]) {
    whole /= 10;
    ++e;
  }
  put_digits(whole, digits, out);
  exponent = e;
  return true;
}

// The library's exact conversion, for every value.
int digits_by_library(double magnitude, int digits, char* out) {
  char buf[64];
  std::to_chars_result r;
  if ((std::bit_cast<std::uint64_t>(magnitude) >> 52) == 0) {
    // The library's conversion tests for zero in floating point, which
    // flushed denormals would pass.
    exact_denormals_scope exact;
    r = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, digits - 1);
  } else {
    r = std::to_chars(buf, buf + sizeof buf, magnitude, std::chars_format::scientific, digits - 1);
  }
  // buf holds d[.ddd]e(+|-)nn[n]
  out[0] = buf[0];
  const char* p = buf + 1;
  if (*p == '.') {
    std::memcpy(out + 1, p + 1, static_cast<std::size_t>(digits - 1));
    p += digits;
  }
  ++p;  // 'e'
  bool negative = *p == '-';
  int e = 0;
  for (++p; p < r.ptr; ++p) {
    e = e * 10 + (*p - '0');
  }
  return (negative ? -e : e) + 1;
}

}  // namespace

int significant_digits(double magnitude, int digits, char* out) noexcept {
  int exponent = 0;
  if (digits_by_integers(magnitude, digits, out, exponent)) {
    return exponent;
  }
  return digits_by_library(magnitude, digits, out);
}

}  // namespace cdbbem
