#include "textrec/free_form.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "textrec/failure.h"
#include "textrec/number_output.h"
#include "textrec/numeric_input.h"
#include "textrec/output_channel.h"
#include "textrec/real_scan.h"
#include "textrec/record_reader.h"

namespace cdbbem {

namespace {

constexpr std::size_t width = free_record_width;
constexpr std::size_t int_field = 12;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool ends_value(char c) { return is_blank(c) || c == ',' || c == '/'; }

// The numeric form of a free-form value: digits, signs, one decimal point
// and one exponent letter, at least one digit, no letter without a digit
// before it or right after a sign, no two signs in a row, no final sign.
// Every number is of numeric form; the check only sorts the values that
// do not scan as numbers into syntax errors and conversion errors.
bool numeric_form(std::string_view v) {
  bool digit = false;
  bool point = false;
  bool letter = false;
  for (std::size_t i = 0; i < v.size(); ++i) {
    char c = v[i];
    char before = i > 0 ? v[i - 1] : '\0';
    if (is_digit(c)) {
      digit = true;
    } else if (c == '.') {
      if (point) {
        return false;
      }
      point = true;
    } else if (is_exponent_letter(c, real_syntax::free_form)) {
      if (letter || !digit || is_sign(before)) {
        return false;
      }
      letter = true;
    } else if (is_sign(c)) {
      if (is_sign(before)) {
        return false;
      }
    } else {
      return false;
    }
  }
  return digit && !is_sign(v.back());
}

bool is_logical(std::string_view v) {
  std::size_t i = (v.size() > 1 && v[0] == '.') ? 1 : 0;
  char c = v[i];
  return c == 'T' || c == 't' || c == 'F' || c == 'f';
}

// Converts one value for its target.
void store_value(std::string_view v, const in_item& target, channel unit) {
  scanned_real number = scan_real(v, real_syntax::free_form, 0);
  if (number.shape != real_shape::number) {
    // A logical value cannot convert; other text that is not of numeric
    // form is a syntax error.
    fail(is_logical(v) || numeric_form(v) ? report::input_conversion : report::list_syntax, unit);
  }
  if (target.kind == in_item::type::real) {
    *static_cast<double*>(target.target) = real_value(number, real_syntax::free_form);
    return;
  }
  auto& result = *static_cast<std::int32_t*>(target.target);
  if (!number.point && !number.exponent_letter) {
    if (!int_value(number, result)) {
      fail(report::input_conversion, unit);
    }
    return;
  }
  double real = real_value(number, real_syntax::free_form);
  if (!(real > -2147483649.0) || !(real < 2147483648.0)) {
    fail(report::input_conversion, unit);
  }
  result = static_cast<std::int32_t>(std::trunc(real));
}

// The first position at or after `pos` that holds no blank.  Runs of
// spaces, the padding of values written in fixed widths, are passed eight
// at a time.
std::size_t skip_blanks(std::string_view record, std::size_t pos) {
  constexpr std::uint64_t eight_spaces = 0x2020202020202020;
  for (; pos + 8 <= record.size(); pos += 8) {
    std::uint64_t word;
    std::memcpy(&word, record.data() + pos, 8);
    if (word != eight_spaces) {
      std::uint64_t other = word ^ eight_spaces;
      pos += static_cast<std::size_t>(std::endian::native == std::endian::little
                                          ? std::countr_zero(other)
                                          : std::countl_zero(other)) /
             8;
      break;
    }
  }
  while (pos < record.size() && is_blank(record[pos])) {
    ++pos;
  }
  return pos;
}

// A value that is only an optional sign and at most nine digits, the usual
// form of an integer in the archive, stored directly into an integer
// target.  False for every other value, which goes through the general
// checks and conversion.
bool store_plain_int(std::string_view v, const in_item& target) {
  if (target.kind != in_item::type::int32) {
    return false;
  }
  std::size_t i = is_sign(v[0]) ? 1 : 0;
  if (v.size() == i || v.size() - i > 9) {
    return false;
  }
  std::int32_t magnitude = 0;
  for (; i < v.size(); ++i) {
    unsigned digit = digit_value(v[i]);
    if (digit > 9) {
      return false;
    }
    magnitude = magnitude * 10 + static_cast<std::int32_t>(digit);
  }
  *static_cast<std::int32_t*>(target.target) = v[0] == '-' ? -magnitude : magnitude;
  return true;
}

// Walks the values of the archive from the start of a read.
class value_scanner {
 public:
  explicit value_scanner(record_reader& in) : in_(in), record_(in.next_or_fail()) {}

  enum class token { value, null, slash };

  // The next value when it is an optional sign and one to seven digits
  // that a blank, comma or slash ends within the record, the usual form of
  // an integer in the archive: read as one word into `value`.  False, with
  // nothing taken, for any other; `next` then reads it.
  bool next_short_int(std::int32_t& value) {
    pos_ = skip_blanks(record_, pos_);
    std::size_t at = pos_;
    if (at >= record_.size()) {
      return false;
    }
    const bool negative = record_[at] == '-';
    at += negative || record_[at] == '+' ? std::size_t{1} : std::size_t{0};
    if (at + 8 > record_.size()) {
      return false;
    }
    constexpr std::uint64_t high = 0x8080808080808080;
    const std::uint64_t word = load_eight(record_.data() + at);
    // The high bit of each byte from '0' to '9'.
    const std::uint64_t digits = ((word | high) - 0x3030303030303030) &
                                 ~((word & ~high) + 0x4646464646464646) & ~word & high;
    const int count = std::countr_zero(~digits & high) / 8;
    if (count == 0 || count == 8 || !ends_value(record_[at + static_cast<std::size_t>(count)])) {
      return false;
    }
    // Shifted up, the bytes below the digits read as leading zeros.
    const auto magnitude = static_cast<std::int32_t>(eight_digit_value(word << (8 * (8 - count))));
    value = negative ? -magnitude : magnitude;
    pos_ = at + static_cast<std::size_t>(count);
    after_comma_ = false;
    return true;
  }

  // The next value, null value or slash; reads further records as needed.
  token next(std::string_view& value) {
    for (;;) {
      pos_ = skip_blanks(record_, pos_);
      if (pos_ >= record_.size()) {
        if (in_.truncated()) {
          fail(report::read_error, in_.unit());
        }
        record_ = in_.next_or_fail();
        pos_ = 0;
        continue;
      }
      char c = record_[pos_];
      if (c == '/') {
        return token::slash;
      }
      if (c == ',') {
        ++pos_;
        if (after_comma_) {
          return token::null;
        }
        after_comma_ = true;
        continue;
      }
      std::size_t start = pos_;
      while (pos_ < record_.size() && !ends_value(record_[pos_])) {
        ++pos_;
      }
      if (pos_ >= record_.size() && in_.truncated()) {
        fail(report::read_error, in_.unit());
      }
      after_comma_ = false;
      value = record_.substr(start, pos_ - start);
      return token::value;
    }
  }

 private:
  record_reader& in_;
  std::string_view record_;
  std::size_t pos_ = 0;
  bool after_comma_ = true;  // a comma opening the read is a null value
};

}  // namespace

void write_free(output_channel& out, std::initializer_list<out_item> items) {
  char* record = out.begin_record();
  std::size_t len = 0;
  bool fresh = true;
  bool after_number = false;
  for (const out_item& it : items) {
    if (it.kind == out_item::type::int32) {
      if (width - len < int_field) {
        out.end_record(len);
        record = out.begin_record();
        len = 0;
      }
      format_integer(record + len, static_cast<int>(int_field), it.int_value);
      len += int_field;
      fresh = false;
      after_number = true;
      continue;
    }
    std::string_view text = it.text.substr(0, output_channel::max_record - 2);
    std::size_t room = width - len;
    if (fresh && text.size() <= room) {
      record[len++] = ' ';
      fresh = false;
    } else if (after_number && len < width) {
      record[len++] = ' ';
    }
    if (text.size() > room && len > 0) {
      out.end_record(len);
      record = out.begin_record();
      len = 0;
      record[len++] = ' ';
      fresh = false;
    }
    std::memcpy(record + len, text.data(), text.size());
    len += text.size();
    after_number = false;
  }
  if (len == 0) {
    record[len++] = ' ';
  }
  out.end_record(len);
}

void read_free(record_reader& in, std::initializer_list<in_item> items) {
  value_scanner scan(in);
  const in_item* item = items.begin();
  while (item != items.end()) {
    if (item->kind == in_item::type::int32 &&
        scan.next_short_int(*static_cast<std::int32_t*>(item->target))) {
      ++item;
      continue;
    }
    std::string_view value;
    value_scanner::token t = scan.next(value);
    if (t == value_scanner::token::slash) {
      return;
    }
    if (t == value_scanner::token::null) {
      ++item;
      continue;
    }
    if (store_plain_int(value, *item)) {
      ++item;
      continue;
    }
    // r*v stands for r copies of v, r* for r null values.
    std::size_t star = value.find('*');
    std::int64_t repeat = 1;
    if (star != std::string_view::npos) {
      std::string_view count = value.substr(0, star);
      std::int32_t r = 0;
      if (count.empty() || !is_digit(count[0]) || !parse_plain_int(count, r) || r <= 0) {
        fail(report::list_syntax, in.unit());
      }
      repeat = r;
      value = value.substr(star + 1);
    }
    for (; repeat > 0 && item != items.end(); --repeat, ++item) {
      if (!value.empty()) {
        store_value(value, *item, in.unit());
      }
    }
  }
}

}  // namespace cdbbem
