#include "textrec/numeric_input.h"

#include <array>
#include <bit>
#include <charconv>
#include <limits>

#include "platform/fp_env.h"
#include "textrec/quick_real.h"

namespace cdbbem {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool is_exponent_letter(char c, real_syntax syntax) {
  char l = lower(c);
  return l == 'e' || l == 'd' || (l == 'q' && syntax == real_syntax::free_form);
}

// Significant digits kept for conversion.  Correct rounding of a decimal to
// binary64 never depends on digits beyond the 768th significant one except
// through whether any of them is non-zero, which a final sticky digit keeps.
constexpr int kept_digits = 780;

// The characters of a real number without its blanks, as the syntax says to
// treat them: a fixed field drops every blank; a text field drops leading
// and trailing blanks and reads inner ones as zeros; a free-form value has
// no blanks.
class compact_text {
 public:
  compact_text(std::string_view text, real_syntax syntax) : text_(text), syntax_(syntax) {
    if (syntax_ == real_syntax::text_field) {
      std::size_t first = text_.find_first_not_of(' ');
      std::size_t last = text_.find_last_not_of(' ');
      text_ = first == std::string_view::npos ? std::string_view{}
                                              : text_.substr(first, last - first + 1);
    }
    skip();
  }
  bool done() const { return pos_ >= text_.size(); }
  char peek() const {
    char c = text_[pos_];
    return (c == ' ' && syntax_ == real_syntax::text_field) ? '0' : c;
  }
  void advance() {
    ++pos_;
    skip();
  }

 private:
  void skip() {
    if (syntax_ == real_syntax::fixed_field) {
      while (pos_ < text_.size() && text_[pos_] == ' ') {
        ++pos_;
      }
    }
  }
  std::string_view text_;
  real_syntax syntax_;
  std::size_t pos_ = 0;
};

// Matches the rest of the text against a word, case-insensitively.
bool rest_is_word(compact_text& in, std::string_view word) {
  for (char w : word) {
    if (in.done() || lower(in.peek()) != w) {
      return false;
    }
    in.advance();
  }
  return in.done();
}

bool parse_special(compact_text in, bool negative, double& value) {
  compact_text again = in;
  if (rest_is_word(in, "nan")) {
    value = std::numeric_limits<double>::quiet_NaN();
    return true;
  }
  compact_text longer = again;
  if (rest_is_word(again, "inf") || rest_is_word(longer, "infinity")) {
    value = negative ? -std::numeric_limits<double>::infinity()
                     : std::numeric_limits<double>::infinity();
    return true;
  }
  return false;
}

// Saturating accumulation of a decimal exponent; anything past this bound
// already gives zero or infinity.
constexpr std::int64_t exponent_bound = 1'000'000;

std::int64_t clamp_exponent(std::int64_t e) {
  return e > exponent_bound ? exponent_bound : (e < -exponent_bound ? -exponent_bound : e);
}

bool is_zero_or_subnormal(double v) {
  std::uint64_t bits = std::bit_cast<std::uint64_t>(v) & ~(std::uint64_t{1} << 63);
  return bits < (std::uint64_t{1} << 52);
}

// An optionally signed decimal integer.  In an integer field blanks are
// ignored wherever they stand and an empty field (or a lone sign) is 0; a
// plain free-form value has no blanks and needs a digit.
bool read_signed(std::string_view text, bool in_field, std::int32_t& value) {
  std::size_t i = 0;
  while (in_field && i < text.size() && text[i] == ' ') {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (!in_field && i == text.size()) {
    return false;
  }
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (in_field && c == ' ') {
      continue;
    }
    if (!is_digit(c)) {
      return false;
    }
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > std::int64_t{1} << 31) {
      return false;
    }
  }
  std::int64_t v = negative ? -magnitude : magnitude;
  if (v > std::numeric_limits<std::int32_t>::max()) {
    return false;
  }
  value = static_cast<std::int32_t>(v);
  return true;
}

}  // namespace

bool parse_int_field(std::string_view field, std::int32_t& value) noexcept {
  return read_signed(field, true, value);
}

bool parse_plain_int(std::string_view text, std::int32_t& value) noexcept {
  return read_signed(text, false, value);
}

bool parse_real(std::string_view text, real_syntax syntax, int implied_digits,
                double& value) noexcept {
  if (syntax != real_syntax::text_field &&
      quick_real(text, syntax == real_syntax::fixed_field, implied_digits, value)) {
    return true;
  }
  compact_text in(text, syntax);
  if (in.done()) {
    value = 0.0;
    return true;
  }
  bool negative = false;
  if (in.peek() == '+' || in.peek() == '-') {
    negative = in.peek() == '-';
    in.advance();
    if (in.done()) {
      // A lone sign reads as zero, as in an integer field.
      value = negative ? -0.0 : 0.0;
      return syntax != real_syntax::free_form;
    }
  }
  if (!is_digit(in.peek()) && in.peek() != '.') {
    return parse_special(in, negative, value);
  }

  // Mantissa: significant digits into `digits`, the decimal exponent of the
  // last kept digit into `scale`.
  std::array<char, kept_digits + 32> buf;
  std::size_t count = 0;
  std::int64_t scale = 0;
  bool any_digit = false;
  bool point = false;
  bool sticky = false;
  for (; !in.done(); in.advance()) {
    char c = in.peek();
    if (c == '.') {
      if (point) {
        return false;
      }
      point = true;
      continue;
    }
    if (!is_digit(c)) {
      break;
    }
    any_digit = true;
    if (count == 0 && c == '0') {
      if (point) {
        --scale;
      }
      continue;
    }
    if (count < kept_digits) {
      buf[count++] = c;
      if (point) {
        --scale;
      }
    } else {
      sticky = sticky || c != '0';
      if (!point) {
        ++scale;
      }
    }
  }
  if (!any_digit) {
    return false;
  }
  if (!point) {
    scale -= implied_digits;
  }

  // Exponent: a letter and an optionally signed integer, or a sign and an
  // integer directly after the digits.
  std::int64_t exponent = 0;
  if (!in.done()) {
    char c = in.peek();
    if (is_exponent_letter(c, syntax)) {
      in.advance();
    } else if (c != '+' && c != '-') {
      return false;
    }
    bool exp_negative = false;
    if (!in.done() && (in.peek() == '+' || in.peek() == '-')) {
      exp_negative = in.peek() == '-';
      in.advance();
    }
    if (in.done()) {
      return false;
    }
    for (; !in.done(); in.advance()) {
      if (!is_digit(in.peek())) {
        return false;
      }
      exponent = clamp_exponent(exponent * 10 + (in.peek() - '0'));
    }
    if (exp_negative) {
      exponent = -exponent;
    }
  }

  if (count == 0) {
    value = negative ? -0.0 : 0.0;
    return true;
  }
  if (sticky) {
    buf[count++] = '1';
    --scale;
  }
  std::int64_t e10 = clamp_exponent(scale + exponent);
  buf[count++] = 'e';
  auto [end, ec] = std::to_chars(buf.data() + count, buf.data() + buf.size(), e10);
  (void)ec;
  double magnitude = 0.0;
  auto result = std::from_chars(buf.data(), end, magnitude);
  if (result.ec == std::errc::result_out_of_range) {
    // The digits are a whole number with `count` digits, so the value's
    // decimal magnitude is about 10^(count + e10): far above one overflows,
    // far below underflows.
    magnitude = (static_cast<std::int64_t>(count) + e10 > 0)
                    ? std::numeric_limits<double>::infinity()
                    : 0.0;
  } else if (is_zero_or_subnormal(magnitude)) {
    exact_denormals_scope exact;
    result = std::from_chars(buf.data(), end, magnitude);
    if (result.ec == std::errc::result_out_of_range) {
      magnitude = 0.0;
    }
  }
  value = negative ? -magnitude : magnitude;
  return true;
}

}  // namespace cdbbem
