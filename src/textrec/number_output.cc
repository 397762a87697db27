#include "textrec/number_output.h"

#include <bit>
#include <cstring>

#include "textrec/decimal_digits.h"
#include "textrec/short_copy.h"

namespace cdbbem {

namespace {

constexpr std::uint64_t sign_bit = std::uint64_t{1} << 63;
constexpr std::uint64_t exponent_mask = std::uint64_t{0x7ff} << 52;
constexpr std::uint64_t mantissa_mask = (std::uint64_t{1} << 52) - 1;

bool asterisks(char* dst, int width) {
  fill_short(dst, '*', static_cast<std::size_t>(width));
  return false;
}

// Right-justifies `len` characters of `text` in the field.
bool place(char* dst, int width, const char* text, int len) {
  if (len > width) {
    return asterisks(dst, width);
  }
  fill_short(dst, ' ', static_cast<std::size_t>(width - len));
  copy_short(dst + (width - len), text, static_cast<std::size_t>(len));
  return true;
}

bool format_non_finite(char* dst, int width, std::uint64_t bits) {
  if ((bits & mantissa_mask) != 0) {
    return place(dst, width, "NaN", 3);
  }
  bool negative = (bits & sign_bit) != 0;
  if (negative) {
    return place(dst, width, "-Infinity", 9) || place(dst, width, "-Inf", 4);
  }
  return place(dst, width, "Infinity", 8) || place(dst, width, "Inf", 3);
}

}  // namespace

bool format_integer(char* dst, int width, std::int32_t value) noexcept {
  char buf[24];
  char* p = buf + 8;
  std::uint32_t magnitude =
      value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  int len = 0;
  if (magnitude < 100'000'000) {
    // The eight digits with their leading zeros dropped (one kept for 0).
    std::uint64_t word = eight_digits(magnitude);
    int zeros = std::countr_zero((word ^ 0x3030303030303030) | std::uint64_t{1} << 63) / 8;
    store_word(word >> (8 * zeros), p);
    len = 8 - zeros;
  } else {
    store_word(eight_digits(magnitude % 100'000'000), p + 2);
    magnitude /= 100'000'000;
    p[1] = static_cast<char>('0' + magnitude % 10);
    p[0] = static_cast<char>('0' + magnitude / 10);
    len = magnitude >= 10 ? 10 : 9;
    p += 10 - len;
  }
  if (value < 0) {
    *--p = '-';
    ++len;
  }
  return place(dst, width, p, len);
}

bool format_exponent(char* dst, int width, int digits, char letter, double value) noexcept {
  std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  if ((bits & exponent_mask) == exponent_mask) {
    return format_non_finite(dst, width, bits);
  }
  char text[64];
  int len = 0;
  bool negative = (bits & sign_bit) != 0 && (bits & ~sign_bit) != 0;
  char significand[32];
  int e = 0;
  if ((bits & ~sign_bit) == 0) {
    std::memset(significand, '0', static_cast<std::size_t>(digits));
  } else {
    e = significant_digits(std::bit_cast<double>(bits & ~sign_bit), digits, significand);
  }
  int bare = (negative ? 1 : 0) + 1 + digits + 4;  // sign . digits exponent
  if (width < bare) {
    return asterisks(dst, width);
  }
  if (negative) {
    text[len++] = '-';
  }
  if (width > bare) {
    text[len++] = '0';
  }
  text[len++] = '.';
  copy_short(text + len, significand, static_cast<std::size_t>(digits));
  len += digits;
  int magnitude = e < 0 ? -e : e;
  if (magnitude <= 99) {
    text[len++] = letter;
    text[len++] = e < 0 ? '-' : '+';
  } else if (magnitude <= 999) {
    text[len++] = e < 0 ? '-' : '+';
    text[len++] = static_cast<char>('0' + magnitude / 100);
    magnitude %= 100;
  } else {
    return asterisks(dst, width);
  }
  text[len++] = static_cast<char>('0' + magnitude / 10);
  text[len++] = static_cast<char>('0' + magnitude % 10);
  return place(dst, width, text, len);
}

}  // namespace cdbbem
