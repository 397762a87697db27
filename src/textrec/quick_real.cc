#include "textrec/quick_real.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace cdbbem {

namespace {

// Doubles 10^0 to 10^22, all exact.
constexpr double exact_powers_of_ten[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                          1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Eight characters as a word, the first in the lowest byte.
std::uint64_t load_eight(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  if constexpr (std::endian::native == std::endian::big) {
    word = __builtin_bswap64(word);
  }
  return word;
}

// Whether all eight characters of a word are digits: no byte falls below
// '0' or, raised by 0x46, reaches 0x80.
bool eight_are_digits(std::uint64_t word) {
  return (((word + 0x4646464646464646) | (word - 0x3030303030303030)) & 0x8080808080808080) == 0;
}

// The value of eight digit characters held in a word (the first, most
// significant, in the lowest byte): pairs, then fours, then all eight are
// combined in the lanes of the word.
std::uint32_t eight_digit_value(std::uint64_t word) {
  word = ((word & 0x0f0f0f0f0f0f0f0f) * 2561) >> 8;
  word = ((word & 0x00ff00ff00ff00ff) * 6553601) >> 16;
  return static_cast<std::uint32_t>(((word & 0x0000ffff0000ffff) * 42949672960001) >> 32);
}

// Reads the usual shape of a real number in one pass: sign, at most 19
// significant digits around at most one point, then an exponent of at most
// four digits, with blanks dropped where the syntax drops them.  A value
// m x 10^e with m <= 2^53 and |e| <= 22 is one correctly rounded IEEE
// multiply or divide of two exact doubles, so it needs no further work.
// Anything else is declined and left to the full reading.
class quick_reader {
 public:
  quick_reader(std::string_view text, bool blanks)
      : p_(text.data()), end_(text.data() + text.size()), blanks_(blanks) {}

  bool read(int implied_digits, double& value) {
    skip_blanks();
    bool negative = p_ < end_ && *p_ == '-';
    if (p_ < end_ && (*p_ == '+' || *p_ == '-')) {
      ++p_;
    }
    if (!read_mantissa()) {
      return false;
    }
    scale_ -= point_ ? 0 : implied_digits;
    int exponent = 0;
    if (p_ < end_ && !read_exponent(exponent)) {
      return false;
    }
    if (mantissa_ == 0) {
      value = negative ? -0.0 : 0.0;
      return true;
    }
    int e10 = scale_ + exponent;
    if (mantissa_ > (std::uint64_t{1} << 53) || e10 < -22 || e10 > 22) {
      return false;
    }
    auto m = static_cast<double>(mantissa_);
    double magnitude = e10 < 0 ? m / exact_powers_of_ten[-e10] : m * exact_powers_of_ten[e10];
    value = negative ? -magnitude : magnitude;
    return true;
  }

 private:
  void skip_blanks() {
    while (blanks_ && p_ < end_ && *p_ == ' ') {
      ++p_;
    }
  }

  // Digits and point into mantissa_, scale_ and point_; false for no digit
  // or more than 19 significant ones.
  bool read_mantissa() {
    bool any_digit = false;
    for (; p_ < end_; ++p_) {
      // Past the first significant digit, runs of eight digits are taken
      // at once while the 19 digits allow.
      if (mantissa_ != 0 && count_ <= 11 && end_ - p_ >= 8 && eight_are_digits(load_eight(p_))) {
        mantissa_ = mantissa_ * 100'000'000 + eight_digit_value(load_eight(p_));
        count_ += 8;
        scale_ -= point_ ? 8 : 0;
        p_ += 7;
        continue;
      }
      if (*p_ == '.' && !point_) {
        point_ = true;
        continue;
      }
      auto digit = static_cast<unsigned>(*p_ - '0');
      if (digit > 9) {
        if (*p_ == ' ' && blanks_) {
          continue;
        }
        break;
      }
      any_digit = true;
      if (mantissa_ == 0 && digit == 0) {
        scale_ -= point_ ? 1 : 0;
        continue;
      }
      if (++count_ > 19) {
        return false;
      }
      mantissa_ = mantissa_ * 10 + digit;
      scale_ -= point_ ? 1 : 0;
    }
    return any_digit;
  }

  // An exponent letter and signed integer, or a sign and integer, up to the
  // end of the text; false for anything else or more than four digits.
  bool read_exponent(int& exponent) {
    if (*p_ == 'E' || *p_ == 'e' || *p_ == 'D' || *p_ == 'd') {
      ++p_;
      skip_blanks();
    }
    bool negative = p_ < end_ && *p_ == '-';
    if (p_ < end_ && (*p_ == '+' || *p_ == '-')) {
      ++p_;
    }
    int digits = 0;
    for (; p_ < end_; ++p_) {
      auto digit = static_cast<unsigned>(*p_ - '0');
      if (digit <= 9 && ++digits <= 4) {
        exponent = exponent * 10 + static_cast<int>(digit);
      } else if (!(*p_ == ' ' && blanks_)) {
        return false;
      }
    }
    exponent = negative ? -exponent : exponent;
    return digits > 0;
  }

  const char* p_;
  const char* end_;
  bool blanks_;
  std::uint64_t mantissa_ = 0;
  int count_ = 0;  // significant digits in mantissa_
  int scale_ = 0;  // decimal exponent of the last digit in mantissa_
  bool point_ = false;
};

}  // namespace

bool quick_real(std::string_view text, bool blanks_dropped, int implied_digits,
                double& value) noexcept {
  return quick_reader(text, blanks_dropped).read(implied_digits, value);
}

}  // namespace cdbbem
