#ifndef CDBBEM_TEXTREC_REAL_SCAN_H_
#define CDBBEM_TEXTREC_REAL_SCAN_H_

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "textrec/digit_words.h"
#include "textrec/numeric_input.h"

namespace cdbbem {

/// Whether `c` opens an exponent: E or D in either case, and also Q in a
/// free-form value.
constexpr bool is_exponent_letter(char c, real_syntax syntax) noexcept {
  return c == 'e' || c == 'E' || c == 'd' || c == 'D' ||
         ((c == 'q' || c == 'Q') && syntax == real_syntax::free_form);
}

/// Significant digits that `scanned_real::mantissa` holds exactly.
inline constexpr std::int64_t mantissa_digits = 19;

/// What the text of a number turned out to be.
enum class real_shape : std::uint8_t {
  number,     ///< digits with at most one point, then perhaps an exponent
  empty,      ///< nothing (or only blanks where blanks are dropped)
  lone_sign,  ///< a sign and nothing after it
  nan,        ///< NaN in any case
  infinity,   ///< Inf or Infinity in any case, perhaps signed
  invalid,    ///< anything else
};

/// The parts of a number's text, as one scan finds them.  The value of a
/// number is (mantissa of all `count` digits) x 10^(scale + exponent).
struct scanned_real {
  real_shape shape = real_shape::invalid;
  bool negative = false;         ///< a leading minus sign
  bool point = false;            ///< a decimal point among the digits
  bool exponent_letter = false;  ///< the exponent opens with a letter
  bool has_exponent = false;     ///< an exponent, by letter or by sign
  std::uint64_t mantissa = 0;    ///< the first `mantissa_digits` significant digits
  std::int64_t count = 0;        ///< significant digits, leading zeros not counted
  std::int64_t scale = 0;        ///< decimal exponent of the last digit, implied digits applied
  std::int64_t exponent = 0;     ///< the exponent, saturated at +-exponent_bound
  /// The text of the digits: digits, perhaps the point, and blanks where
  /// the syntax allows them.
  std::string_view digits;
};

/// An exponent past this bound already gives zero or infinity, so larger
/// ones are held at it.
inline constexpr std::int64_t exponent_bound = 1'000'000;

/// The scan behind `scan_real`, one instance per syntax so that the blank
/// rules cost nothing where they do not apply.  It is defined here so that
/// the readers of fields inline it: its state then stays in registers and
/// only the parts of the result a reader uses are worked out.
template <real_syntax syntax>
class real_scanner {
 public:
  explicit real_scanner(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {
    if constexpr (syntax == real_syntax::text_field) {
      while (p_ < end_ && *p_ == ' ') {
        ++p_;
      }
      while (end_ > p_ && end_[-1] == ' ') {
        --end_;
      }
    }
  }

  [[gnu::always_inline]] scanned_real scan(int implied_digits) {
    scanned_real s;
    skip_blanks();
    const char* start = p_;
    if (p_ < end_ && is_sign(*p_)) {
      s.negative = *p_ == '-';
      ++p_;
    }
    const char* after_sign = p_;
    if (!mantissa()) {
      s.shape = without_digits(start, after_sign, end_);
      return s;
    }
    s.has_exponent = p_ < end_;
    if (s.has_exponent && !exponent()) {
      return s;
    }
    s.shape = real_shape::number;
    s.point = point_;
    s.exponent_letter = letter_;
    s.mantissa = mantissa_;
    s.count = count_;
    s.scale = point_ ? scale_ : scale_ - implied_digits;
    s.exponent = exponent_;
    s.digits = std::string_view(digits_, static_cast<std::size_t>(digits_end_ - digits_));
    return s;
  }

 private:
  // The character at `p` as the syntax reads it: in a text field an inner
  // blank is a zero.
  static char at(const char* p) {
    return (syntax == real_syntax::text_field && *p == ' ') ? '0' : *p;
  }

  static char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }

  void skip_blanks() {
    if constexpr (syntax == real_syntax::fixed_field) {
      while (p_ < end_ && *p_ == ' ') {
        ++p_;
      }
    }
  }

  // Digits and point into mantissa_, count_, scale_ and point_; false for no
  // digit.  A second point ends the digits, and the exponent then fails.
  [[gnu::always_inline]] bool mantissa() {
    bool any_digit = false;
    digits_ = p_;
    for (; p_ < end_; ++p_) {
      // Past the first significant digit, runs of eight digits are taken
      // at once while the mantissa has room for them.
      if (mantissa_ != 0 && count_ <= mantissa_digits - 8 && end_ - p_ >= 8 &&
          eight_are_digits(load_eight(p_))) {
        mantissa_ = mantissa_ * 100'000'000 + eight_digit_value(load_eight(p_));
        count_ += 8;
        scale_ -= point_ ? 8 : 0;
        p_ += 7;
        continue;
      }
      char c = at(p_);
      if (c == '.' && !point_) {
        point_ = true;
        continue;
      }
      unsigned digit = digit_value(c);
      if (digit > 9) {
        if (c == ' ' && syntax == real_syntax::fixed_field) {
          continue;
        }
        break;
      }
      any_digit = true;
      if (mantissa_ == 0 && digit == 0) {
        scale_ -= point_ ? 1 : 0;
        continue;
      }
      if (count_ == mantissa_digits) {
        long_tail();
        break;
      }
      ++count_;
      mantissa_ = mantissa_ * 10 + digit;
      scale_ -= point_ ? 1 : 0;
    }
    digits_end_ = p_;
    return any_digit;
  }

  // The digits past those the mantissa holds: only counted.
  [[gnu::always_inline]] void long_tail() {
    for (; p_ < end_; ++p_) {
      char c = at(p_);
      if (c == '.' && !point_) {
        point_ = true;
      } else if (is_digit(c)) {
        ++count_;
        scale_ -= point_ ? 1 : 0;
      } else if (!(c == ' ' && syntax == real_syntax::fixed_field)) {
        return;
      }
    }
  }

  // An exponent letter and optionally signed integer, or a sign and an
  // integer, up to the end of the text; false for anything else.
  [[gnu::always_inline]] bool exponent() {
    if (is_exponent_letter(*p_, syntax)) {
      letter_ = true;
      ++p_;
      skip_blanks();
    } else if (!is_sign(*p_)) {
      return false;
    }
    bool negative = false;
    if (p_ < end_ && is_sign(*p_)) {
      negative = *p_ == '-';
      ++p_;
      skip_blanks();
    }
    if (p_ == end_) {
      return false;
    }
    for (; p_ < end_; ++p_) {
      char c = at(p_);
      unsigned digit = digit_value(c);
      if (digit <= 9) {
        exponent_ = exponent_ * 10 + digit;
        exponent_ = exponent_ > exponent_bound ? exponent_bound : exponent_;
      } else if (!(c == ' ' && syntax == real_syntax::fixed_field)) {
        return false;
      }
    }
    exponent_ = negative ? -exponent_ : exponent_;
    return true;
  }

  // What a text with no digit before any exponent is: nothing, a lone sign,
  // a word or anything else.
  // Static, so that the scanner itself never has to leave registers.
  [[gnu::noinline]] static real_shape without_digits(const char* start, const char* after_sign,
                                                     const char* end) {
    if (start == end) {
      return real_shape::empty;
    }
    const char* p = after_sign;
    while (syntax == real_syntax::fixed_field && p < end && *p == ' ') {
      ++p;
    }
    if (p == end) {
      return real_shape::lone_sign;
    }
    if (rest_is_word(p, end, "nan")) {
      return real_shape::nan;
    }
    if (rest_is_word(p, end, "inf") || rest_is_word(p, end, "infinity")) {
      return real_shape::infinity;
    }
    return real_shape::invalid;
  }

  // Whether the text from `p` on spells `word`, in any case.
  static bool rest_is_word(const char* p, const char* end, std::string_view word) {
    for (char w : word) {
      if (p == end || lower(at(p)) != w) {
        return false;
      }
      ++p;
      while (syntax == real_syntax::fixed_field && p < end && *p == ' ') {
        ++p;
      }
    }
    return p == end;
  }

  const char* p_;
  const char* end_;
  const char* digits_ = nullptr;      // the first digit or point
  const char* digits_end_ = nullptr;  // just past the digits
  std::uint64_t mantissa_ = 0;
  std::int64_t count_ = 0;
  std::int64_t scale_ = 0;
  std::int64_t exponent_ = 0;
  bool point_ = false;
  bool letter_ = false;
};

/// Scans a real number in one pass: optional sign, digits with at most one
/// decimal point, optional exponent (letter plus optionally signed integer,
/// or a sign directly after the digits); or Inf, Infinity, NaN in any case.
/// A fixed field drops every blank; a text field drops leading and trailing
/// blanks and reads inner ones as zeros; a free-form value has no blanks.
/// Without a point the rightmost `implied_digits` digits are the fraction.
template <real_syntax syntax>
[[gnu::always_inline]] inline scanned_real scan_real(std::string_view text,
                                                     int implied_digits) noexcept {
  return real_scanner<syntax>(text).scan(implied_digits);
}

/// Scans a real number in one pass: optional sign, digits with at most one
/// decimal point, optional exponent (letter plus optionally signed integer,
/// or a sign directly after the digits); or Inf, Infinity, NaN in any case.
/// A fixed field drops every blank; a text field drops leading and trailing
/// blanks and reads inner ones as zeros; a free-form value has no blanks.
/// Without a point the rightmost `implied_digits` digits are the fraction.
inline scanned_real scan_real(std::string_view text, real_syntax syntax,
                              int implied_digits) noexcept {
  switch (syntax) {
  case real_syntax::fixed_field:
    return scan_real<real_syntax::fixed_field>(text, implied_digits);
  case real_syntax::text_field:
    return scan_real<real_syntax::text_field>(text, implied_digits);
  case real_syntax::free_form:
    break;
  }
  return scan_real<real_syntax::free_form>(text, implied_digits);
}

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_REAL_SCAN_H_
