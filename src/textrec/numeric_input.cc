#include "textrec/numeric_input.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <limits>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

#include "platform/fp_env.h"
#include "textrec/quick_real.h"
#include "textrec/real_scan.h"

namespace cdbbem {

namespace {

// Significant digits kept for conversion.  Correct rounding of a decimal to
// binary64 never depends on digits beyond the 768th significant one except
// through whether any of them is non-zero, which a final sticky digit keeps.
constexpr std::size_t kept_digits = 780;

std::int64_t clamp_exponent(std::int64_t e) {
  return e > exponent_bound ? exponent_bound : (e < -exponent_bound ? -exponent_bound : e);
}

bool is_zero_or_subnormal(double v) {
  std::uint64_t bits = std::bit_cast<std::uint64_t>(v) & ~(std::uint64_t{1} << 63);
  return bits < (std::uint64_t{1} << 52);
}

// The significant digits of a number as text "d...de<e10>" for the
// library's exact conversion: at most `kept_digits` of them, then a sticky
// 1 when any digit left out is not zero.
struct exact_text {
  exact_text(const scanned_real& number, real_syntax syntax) {
    bool sticky = false;
    for (char c : number.digits) {
      char digit = c == ' ' && syntax == real_syntax::text_field ? '0' : c;
      if (!is_digit(digit) || (digits == 0 && digit == '0')) {
        continue;  // a point, a dropped blank or a leading zero
      }
      if (digits < kept_digits) {
        chars[digits++] = digit;
      } else {
        sticky = sticky || digit != '0';
      }
    }
    // Each digit left out raises the exponent of the last one kept.
    std::int64_t scale = number.scale + (number.count - static_cast<std::int64_t>(digits));
    if (sticky) {
      chars[digits++] = '1';
      --scale;
    }
    e10 = clamp_exponent(scale + number.exponent);
    chars[digits] = 'e';
    end = std::to_chars(chars.data() + digits + 1, chars.data() + chars.size(), e10).ptr;
  }

  std::array<char, kept_digits + 32> chars;
  std::size_t digits = 0;
  std::int64_t e10 = 0;
  char* end = nullptr;
};

// The library's correctly rounded conversion, for every number the quick
// one declines.
double exact_magnitude(const scanned_real& number, real_syntax syntax) {
  exact_text text(number, syntax);
  double magnitude = 0.0;
  auto result = std::from_chars(text.chars.data(), text.end, magnitude);
  if (result.ec == std::errc::result_out_of_range) {
    // The digits are a whole number with about `digits` digits, so the
    // value's decimal magnitude is about 10^(digits + e10): far above one
    // overflows, far below underflows.
    magnitude = static_cast<std::int64_t>(text.digits) + 1 + text.e10 > 0
                    ? std::numeric_limits<double>::infinity()
                    : 0.0;
  } else if (is_zero_or_subnormal(magnitude)) {
    exact_denormals_scope exact;
    result = std::from_chars(text.chars.data(), text.end, magnitude);
    if (result.ec == std::errc::result_out_of_range) {
      magnitude = 0.0;
    }
  }
  return magnitude;
}

double exact_real(const scanned_real& number, real_syntax syntax) {
  double magnitude = exact_magnitude(number, syntax);
  return number.negative ? -magnitude : magnitude;
}

// Every text but a number: empty, a lone sign, NaN, infinity or invalid.
bool read_special(real_shape shape, bool negative, real_syntax syntax, double& value) {
  switch (shape) {
  case real_shape::empty:
    value = 0.0;
    return true;
  case real_shape::lone_sign:
    // A lone sign reads as zero, as in an integer field; a free-form value
    // needs a digit.
    value = negative ? -0.0 : 0.0;
    return syntax != real_syntax::free_form;
  case real_shape::nan:
    value = std::numeric_limits<double>::quiet_NaN();
    return true;
  case real_shape::infinity:
    value = negative ? -std::numeric_limits<double>::infinity()
                     : std::numeric_limits<double>::infinity();
    return true;
  case real_shape::number:
  case real_shape::invalid:
    break;
  }
  return false;
}

// The scan and the quick conversion, inlined for each syntax.
template <real_syntax syntax>
bool read_real(std::string_view text, int implied_digits, double& value) {
  scanned_real number = scan_real<syntax>(text, implied_digits);
  if (number.shape == real_shape::number) [[likely]] {
    if (!quick_real(number, value)) {
      // A copy, so that the scan's result can stay in registers.
      scanned_real copy = number;
      value = exact_real(copy, syntax);
    }
    return true;
  }
  return read_special(number.shape, number.negative, syntax, value);
}

}  // namespace

double real_value(const scanned_real& number, real_syntax syntax) noexcept {
  double value;
  return quick_real(number, value) ? value : exact_real(number, syntax);
}

bool int_value(const scanned_real& number, std::int32_t& value) noexcept {
  constexpr std::uint64_t limit = std::uint64_t{1} << 31;
  if (number.point || number.has_exponent || number.count > 10 || number.mantissa > limit ||
      (number.mantissa == limit && !number.negative)) {
    return false;
  }
  auto magnitude = static_cast<std::int64_t>(number.mantissa);
  value = static_cast<std::int32_t>(number.negative ? -magnitude : magnitude);
  return true;
}

// The fields the word reading declines.  A loop of its own for speed:
// through the general scan a node record reads 10 % slower.
bool read_int_chars(std::string_view field, std::int32_t& value) noexcept {
  std::size_t i = 0;
  while (i < field.size() && field[i] == ' ') {
    ++i;
  }
  bool negative = false;
  if (i < field.size() && is_sign(field[i])) {
    negative = field[i] == '-';
    ++i;
  }
  std::int64_t magnitude = 0;
  for (; i < field.size(); ++i) {
    unsigned digit = digit_value(field[i]);
    if (digit > 9) {
      if (field[i] == ' ') {
        continue;
      }
      return false;
    }
    magnitude = magnitude * 10 + digit;
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

namespace {

// The fields in one loop, each read in place: for a record of many
// fields the call and the cut of each field cost as much as its digits.
int int_fields_one_by_one(std::string_view record, std::size_t width, int from, int count,
                          std::int32_t* values) noexcept {
  int k = from;
  for (std::size_t at = width * static_cast<std::size_t>(k); k < count && at < record.size();
       ++k, at += width) {
    if (!read_int_field(record.substr(at, width), values[k])) {
      return -1;
    }
  }
  return k;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define CDBBEM_X86_FIELDS 1

// With SSSE3, each field that ends at least 16 characters into the record
// is read from the 16 characters that end with it: blanks, at most one
// sign, then digits to its end, as a pre-processor writes a number, are
// found by masks and the digits combined by multiply-adds of lanes.
// Every other field goes through the word and character readers.
[[gnu::target("ssse3")]] int int_fields_ssse3(std::string_view record, int width, int count,
                                              std::int32_t* values) noexcept {
  const auto w = static_cast<std::size_t>(width);
  const unsigned field_lanes = 0xffffu & (0xffffu << (16 - width));
  alignas(16) std::uint8_t lane_mask[16];
  for (int i = 0; i < 16; ++i) {
    lane_mask[i] = i >= 16 - width ? 0xff : 0;
  }
  const __m128i in_field = _mm_load_si128(reinterpret_cast<const __m128i*>(lane_mask));
  const __m128i zeros = _mm_set1_epi8('0');
  const __m128i nines = _mm_set1_epi8(9);
  const __m128i blanks = _mm_set1_epi8(' ');
  const __m128i tens = _mm_setr_epi8(10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1);
  const __m128i hundreds = _mm_setr_epi16(100, 1, 100, 1, 100, 1, 100, 1);
  const __m128i ten_thousands = _mm_setr_epi16(10000, 1, 10000, 1, 10000, 1, 10000, 1);
  int k = 0;
  for (std::size_t end = w; k < count && end <= record.size(); ++k, end += w) {
    if (end < 16) {
      if (!read_int_field(record.substr(end - w, w), values[k])) {
        return -1;
      }
      continue;
    }
    const __m128i text =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(record.data() + end - 16));
    const __m128i digits = _mm_sub_epi8(text, zeros);
    const __m128i is_digit = _mm_cmpeq_epi8(_mm_min_epu8(digits, nines), digits);
    const unsigned digit_lanes = static_cast<unsigned>(_mm_movemask_epi8(is_digit)) & field_lanes;
    const unsigned blank_lanes =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(text, blanks))) & field_lanes;
    // Digits from the first one to the field's end, blanks before them,
    // perhaps a sign just before the first digit.
    const unsigned first_digit = digit_lanes & (0u - digit_lanes);
    const unsigned before = field_lanes & ~digit_lanes;
    bool negative = false;
    bool plain = digit_lanes != 0 && digit_lanes + first_digit == 0x10000u;
    if (plain && blank_lanes != before) {
      const unsigned sign_lane = first_digit >> 1;
      const char sign =
          record[end - 16 + static_cast<std::size_t>(std::countr_zero(first_digit)) - 1];
      plain = (sign_lane & field_lanes) != 0 && blank_lanes == (before & ~sign_lane) &&
              (sign == '-' || sign == '+');
      negative = sign == '-';
    }
    if (!plain) {
      if (!read_int_field(record.substr(end - w, w), values[k])) {
        return -1;
      }
      continue;
    }
    const __m128i kept = _mm_and_si128(_mm_and_si128(digits, is_digit), in_field);
    const __m128i fours =
        _mm_madd_epi16(_mm_maddubs_epi16(kept, tens), hundreds);  // four digits a lane
    const __m128i eights = _mm_madd_epi16(_mm_packs_epi32(fours, fours), ten_thousands);
    const auto high = static_cast<std::int64_t>(_mm_cvtsi128_si32(eights));
    const auto low = static_cast<std::int64_t>(_mm_cvtsi128_si32(_mm_srli_si128(eights, 4)));
    const std::int64_t magnitude = high * 100'000'000 + low;
    if (magnitude > (negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1)) {
      return -1;
    }
    values[k] = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
  }
  // The last field, cut short where the record ends.
  return int_fields_one_by_one(record, w, k, count, values);
}

bool has_ssse3() noexcept {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

// What `int_fields_plain` gives for a record it leaves to the field by
// field reading.
constexpr int not_plain = -2;

// The last character of each field of `width` among a record's first 256.
template <int width>
constexpr std::array<std::uint64_t, 4> field_end_bits = [] {
  std::array<std::uint64_t, 4> bits{};
  for (int at = width - 1; at < 256; at += width) {
    bits[static_cast<std::size_t>(at / 64)] |= std::uint64_t{1} << (at % 64);
  }
  return bits;
}();

// The value of a field of blanks, then digits to its end.
template <int width>
[[gnu::always_inline]] inline std::uint64_t plain_field_value(const char* field) noexcept {
  std::uint64_t value = eight_digit_value(load_eight(field + width - 8));
  if constexpr (width == 9) {
    value += (static_cast<unsigned char>(field[0]) & 15u) * std::uint64_t{100'000'000};
  } else if constexpr (width == 10) {
    value += ((static_cast<unsigned char>(field[0]) & 15u) * 10u +
              (static_cast<unsigned char>(field[1]) & 15u)) *
             std::uint64_t{100'000'000};
  }
  return value;
}

// The 16 characters that end with field `k`, the others made zeros and
// its digits their values: the digits combined in fours, in the four
// 32-bit lanes.
template <int width>
[[gnu::target("avx2"), gnu::always_inline]] inline __m128i plain_fours(const char* record, int k,
                                                                       __m128i kept) noexcept {
  const char* end = record + static_cast<std::ptrdiff_t>(k + 1) * width;
  const __m128i text =
      _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16)), kept);
  const __m128i tens = _mm_setr_epi8(10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1);
  const __m128i hundreds = _mm_setr_epi16(100, 1, 100, 1, 100, 1, 100, 1);
  return _mm_madd_epi16(_mm_maddubs_epi16(text, tens), hundreds);
}

// A record of at least five fields of 8 to 10 characters, each blanks
// then digits to its end, as a pre-processor writes labels and counts.
// Masks of the digits and the blanks check the whole record at once;
// the fields are then converted four at a time.  `not_plain` for every
// other record, and for a value beyond 32 bits, which the field by field
// reading then takes.
template <int width>
[[gnu::target("avx2")]] int int_fields_plain(std::string_view record, int count,
                                             std::int32_t* values) noexcept {
  constexpr auto w = static_cast<std::size_t>(width);
  const std::size_t size = record.size();
  const char* p = record.data();
  const std::size_t whole = std::min(static_cast<std::size_t>(std::max(count, 0)), size / w);
  const std::size_t length = whole * w;
  if (size < 32 || whole < 5 || length > 256) {
    return not_plain;
  }
  std::uint64_t digit[4] = {};
  std::uint64_t blank[4] = {};
  const __m256i zeros = _mm256_set1_epi8('0');
  const __m256i nines = _mm256_set1_epi8(9);
  const __m256i blanks = _mm256_set1_epi8(' ');
  for (std::size_t at = 0; at < length; at += 32) {
    // The last 32 characters read from the record's end, not past it.
    const std::size_t from = std::min(at, size - 32);
    const __m256i text = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + from));
    const __m256i digits = _mm256_sub_epi8(text, zeros);
    const auto shift = static_cast<unsigned>(at - from);
    const std::uint32_t d = static_cast<std::uint32_t>(_mm256_movemask_epi8(
                                _mm256_cmpeq_epi8(_mm256_min_epu8(digits, nines), digits))) >>
                            shift;
    const std::uint32_t b =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(text, blanks))) >> shift;
    digit[at / 64] |= std::uint64_t{d} << (at % 64);
    blank[at / 64] |= std::uint64_t{b} << (at % 64);
  }
  // Each character a digit or a blank, and no digit but a field's last
  // followed by a blank (a field of blanks reads as 0).
  const std::array<std::uint64_t, 4>& ends = field_end_bits<width>;
  std::uint64_t bad = 0;
  std::uint64_t carry = 0;
  for (std::size_t word = 0; word < 4; ++word) {
    const std::size_t low = 64 * word;
    const std::uint64_t in = length >= low + 64 ? ~std::uint64_t{0}
                             : length > low     ? (std::uint64_t{1} << (length - low)) - 1
                                                : 0;
    const std::uint64_t inner = digit[word] & ~ends[word];
    const std::uint64_t next = inner << 1 | carry;
    carry = inner >> 63;
    bad |= in & (~(digit[word] | blank[word]) | (next & blank[word]));
  }
  if (bad != 0) {
    return not_plain;
  }
  const int n = static_cast<int>(whole);
  // The fields that end within the first 16 characters, one by one.
  constexpr int first = (16 + width - 1) / width - 1;
  std::uint64_t above = 0;
  for (int k = 0; k < first; ++k) {
    const std::uint64_t value = plain_field_value<width>(p + static_cast<std::size_t>(k) * w);
    above |= value >> 31;
    values[k] = static_cast<std::int32_t>(value);
  }
  alignas(16) static constexpr std::array<std::uint8_t, 16> field_lanes = [] {
    std::array<std::uint8_t, 16> lanes{};
    for (std::size_t k = 16 - w; k < 16; ++k) {
      lanes[k] = 15;  // a digit's value, 0 for a blank
    }
    return lanes;
  }();
  const __m128i kept = _mm_load_si128(reinterpret_cast<const __m128i*>(field_lanes.data()));
  const __m128i ten_thousands = _mm_setr_epi16(10000, 1, 10000, 1, 10000, 1, 10000, 1);
  const __m128i eights = _mm_setr_epi32(100'000'000, 1, 100'000'000, 1);
  const __m128i high_lanes = _mm_setr_epi32(-1, 0, -1, 0);
  __m128i highest = _mm_setzero_si128();
  // Four fields a step, the last step ending with the last field.
  for (int k = first;; k += 4) {
    k = std::min(k, n - 4);
    // Per field its digits above the last eight, then those eight.
    const __m128i a = _mm_madd_epi16(
        _mm_packs_epi32(plain_fours<width>(p, k, kept), plain_fours<width>(p, k + 1, kept)),
        ten_thousands);
    const __m128i b = _mm_madd_epi16(
        _mm_packs_epi32(plain_fours<width>(p, k + 2, kept), plain_fours<width>(p, k + 3, kept)),
        ten_thousands);
    highest = _mm_max_epi32(highest, _mm_max_epi32(a, b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(values + k),
                     _mm_hadd_epi32(_mm_mullo_epi32(a, eights), _mm_mullo_epi32(b, eights)));
    if (k == n - 4) {
      break;
    }
  }
  // Digits above the last eight of at most 20 keep a value within 31 bits.
  const __m128i over = _mm_cmpgt_epi32(_mm_and_si128(highest, high_lanes), _mm_set1_epi32(20));
  if (above != 0 || _mm_movemask_epi8(over) != 0) {
    return not_plain;
  }
  // A last field cut short where the record ends.
  return int_fields_one_by_one(record, w, n, count, values);
}

bool has_avx2() noexcept {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

}  // namespace

int parse_int_fields(std::string_view record, int width, int count, std::int32_t* values) noexcept {
#ifdef CDBBEM_X86_FIELDS
  if (width >= 8 && width <= 10 && has_avx2()) {
    const int read = width == 8   ? int_fields_plain<8>(record, count, values)
                     : width == 9 ? int_fields_plain<9>(record, count, values)
                                  : int_fields_plain<10>(record, count, values);
    if (read != not_plain) {
      return read;
    }
  }
  if (width >= 1 && width <= 16 && has_ssse3()) {
    return int_fields_ssse3(record, width, count, values);
  }
#endif
  return int_fields_one_by_one(record, static_cast<std::size_t>(width), 0, count, values);
}

// A plain free-form value has no blanks and needs a digit.
bool parse_plain_int(std::string_view text, std::int32_t& value) noexcept {
  scanned_real number = scan_real<real_syntax::free_form>(text, 0);
  return number.shape == real_shape::number && int_value(number, value);
}

namespace {

// 10^0 to 10^14, the powers a mantissa of 15 digits is built with.
constexpr auto integer_powers_of_ten = [] {
  std::array<std::uint64_t, 15> powers{};
  powers[0] = 1;
  for (std::size_t k = 1; k < powers.size(); ++k) {
    powers[k] = powers[k - 1] * 10;
  }
  return powers;
}();

// The `digits` characters (1 to 8) that end just before `end`, which has
// eight characters of its text before it, as a number; false when one is
// not a digit.  Read as one word, the characters before them made zeros.
[[gnu::always_inline]] inline bool read_digits_before(const char* end, int digits,
                                                      std::uint64_t& value) noexcept {
  constexpr std::uint64_t ones = 0x0101010101010101;
  std::uint64_t word = load_eight(end - 8);
  if (digits < 8) {
    const std::uint64_t before = ~std::uint64_t{0} >> (8 * digits);  // the low 8 - digits bytes
    word = (word & ~before) | (ones * '0' & before);
  }
  if (!eight_are_digits(word)) {
    return false;
  }
  value = eight_digit_value(word);
  return true;
}

// The exponent that ends an E field of `n` (5 or more) characters, "E+01"
// or "E+001" (E or e, either sign): its letter's place into `letter` and
// its value into `exponent`; false for any other end.
[[gnu::always_inline]] inline bool read_e_exponent(const char* t, std::ptrdiff_t n,
                                                   std::ptrdiff_t& letter, int& exponent) noexcept {
  letter = n - 5;
  if (t[n - 4] == 'E' || t[n - 4] == 'e') {
    letter = n - 4;
  } else if (t[letter] != 'E' && t[letter] != 'e') {
    return false;
  }
  const char sign = t[letter + 1];
  if (sign != '+' && sign != '-') {
    return false;
  }
  int value = 0;
  for (std::ptrdiff_t k = letter + 2; k < n; ++k) {
    const unsigned digit = digit_value(t[k]);
    if (digit > 9) {
      return false;
    }
    value = value * 10 + static_cast<int>(digit);
  }
  exponent = sign == '-' ? -value : value;
  return true;
}

// The mantissa of an E field whose exponent letter stands at `e`: a blank
// or sign (or nothing) after blanks, one digit, the point and exactly
// `fraction` digits; its digits as one number and its sign.
[[gnu::always_inline]] inline bool read_e_mantissa(const char* t, std::ptrdiff_t e, int fraction,
                                                   std::uint64_t& mantissa,
                                                   bool& negative) noexcept {
  const std::ptrdiff_t lead = e - fraction - 2;
  if (lead < 0 || t[lead + 1] != '.') {
    return false;
  }
  const unsigned first = digit_value(t[lead]);
  if (first > 9) {
    return false;
  }
  negative = false;
  if (lead > 0) {
    const char sign = t[lead - 1];
    if (sign == '-' || sign == '+') {
      negative = sign == '-';
    } else if (sign != ' ') {
      return false;
    }
    for (std::ptrdiff_t k = 0; k + 1 < lead; ++k) {
      if (t[k] != ' ') {
        return false;
      }
    }
  }
  const char* fraction_end = t + e;
  std::uint64_t high = 0;
  std::uint64_t low = 0;
  const int low_digits = fraction > 8 ? fraction - 8 : fraction;
  if (!read_digits_before(fraction_end, low_digits, low) ||
      (fraction > 8 && !read_digits_before(fraction_end - low_digits, 8, high))) {
    return false;
  }
  mantissa = first * integer_powers_of_ten[static_cast<std::size_t>(fraction)] +
             high * integer_powers_of_ten[static_cast<std::size_t>(low_digits)] + low;
  return true;
}

#ifdef CDBBEM_X86_FIELDS
// For each count of decimals from 1 to 13, the lanes of the 16 characters
// before the exponent letter that give the digits of the mantissa, right
// in 16 lanes: the decimals where they stand, the digit before the point
// moved up into the point's place, zeros below it.
constexpr auto mantissa_lanes = [] {
  std::array<std::array<std::int8_t, 16>, 14> lanes{};
  for (int fraction = 1; fraction <= 13; ++fraction) {
    for (int k = 0; k < 16; ++k) {
      lanes[static_cast<std::size_t>(fraction)][static_cast<std::size_t>(k)] =
          static_cast<std::int8_t>(k >= 16 - fraction   ? k
                                   : k == 15 - fraction ? 14 - fraction
                                                        : -128);
    }
  }
  return lanes;
}();

// `read_e_mantissa` for an exponent letter at `e`, 16 characters or more
// into the field (as in the E21.13 and E20.13 fields of node blocks), and
// 1 to 13 decimals: the characters before the letter are checked by masks
// and the digits combined in lanes, with the same result.
[[gnu::target("ssse3")]] bool read_e_mantissa_by_lanes(const char* t, std::ptrdiff_t e,
                                                       int fraction, std::uint64_t& mantissa,
                                                       bool& negative) noexcept {
  for (std::ptrdiff_t k = 0; k < e - 16; ++k) {
    if (t[k] != ' ') {
      return false;
    }
  }
  // Blanks, a blank or sign, a digit, the point, the decimals.
  const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + e - 16));
  const __m128i digits = _mm_sub_epi8(before, _mm_set1_epi8('0'));
  const auto digit_lanes = static_cast<unsigned>(
      _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(digits, _mm_set1_epi8(9)), digits)));
  const auto blank_lanes =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(before, _mm_set1_epi8(' '))));
  const auto point_lanes =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(before, _mm_set1_epi8('.'))));
  const unsigned want_digits = ((0xffffu << (16 - fraction)) & 0xffffu) | (1u << (14 - fraction));
  const unsigned want_blanks = (1u << (13 - fraction)) - 1;
  const char sign = t[e - 3 - fraction];
  if ((digit_lanes & want_digits) != want_digits || (point_lanes >> (15 - fraction) & 1u) == 0 ||
      (blank_lanes & want_blanks) != want_blanks || (sign != ' ' && sign != '+' && sign != '-')) {
    return false;
  }
  const __m128i lined =
      _mm_shuffle_epi8(digits, _mm_loadu_si128(reinterpret_cast<const __m128i*>(
                                   mantissa_lanes[static_cast<std::size_t>(fraction)].data())));
  const __m128i fours = _mm_madd_epi16(
      _mm_maddubs_epi16(lined,
                        _mm_setr_epi8(10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1, 10, 1)),
      _mm_setr_epi16(100, 1, 100, 1, 100, 1, 100, 1));
  const __m128i eights = _mm_madd_epi16(_mm_packs_epi32(fours, fours),
                                        _mm_setr_epi16(10000, 1, 10000, 1, 10000, 1, 10000, 1));
  mantissa = std::uint64_t{static_cast<std::uint32_t>(_mm_cvtsi128_si32(eights))} * 100'000'000 +
             static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(eights, 4)));
  negative = sign == '-';
  return true;
}
#endif

// The field an archive mostly holds in an E format of `fraction` decimals:
// blanks, a blank or sign, one digit, the point, exactly `fraction`
// digits, E or e, a sign and two or three digits.  Its value is one exact
// multiply or divide when the decimal exponent lies within 22, as the
// general scan would find it; false, leaving `value` alone, for every
// other field, which that scan then reads.
[[gnu::always_inline]] inline bool read_e_field(std::string_view text, int fraction,
                                                double& value) noexcept {
  const char* t = text.data();
  const auto n = static_cast<std::ptrdiff_t>(text.size());
  if (fraction < 1 || fraction > 14 || n < fraction + 8 || n < 13) {
    return false;  // (13 characters leave eight before the exponent)
  }
  std::ptrdiff_t e = 0;
  int exponent = 0;
  std::uint64_t mantissa = 0;
  bool negative = false;
  if (!read_e_exponent(t, n, e, exponent)) {
    return false;
  }
#ifdef CDBBEM_X86_FIELDS
  const bool read = e >= 16 && fraction <= 13 && has_ssse3()
                        ? read_e_mantissa_by_lanes(t, e, fraction, mantissa, negative)
                        : read_e_mantissa(t, e, fraction, mantissa, negative);
#else
  const bool read = read_e_mantissa(t, e, fraction, mantissa, negative);
#endif
  const int e10 = exponent - fraction;
  if (!read || e10 < -22 || e10 > 22) {
    return false;
  }
  const auto m = static_cast<double>(mantissa);
  const double magnitude = e10 < 0 ? m / exact_powers_of_ten[-e10] : m * exact_powers_of_ten[e10];
  // The sign set without a branch: a mesh's coordinates change sign at random.
  value = std::bit_cast<double>(std::bit_cast<std::uint64_t>(magnitude) | std::uint64_t{negative}
                                                                              << 63);
  return true;
}

}  // namespace

e_fields_reader::e_fields_reader(int width, int decimals, int count) noexcept {
  // Three exponent digits where the width leaves room for them and a sign.
  const int exponent_digits = width >= decimals + 8 ? 3 : 2;
  const int sign_at = width - (decimals + 5 + exponent_digits);
  // A mantissa of 14 digits fills lanes 2 to 15 of its field's 16.
  if (decimals != 13 || sign_at < 0 || count < 1 || count > 3 || width * count > 64) {
    return;
  }
#ifdef CDBBEM_X86_FIELDS
  static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                          __builtin_cpu_supports("avx512dq") &&
                          __builtin_cpu_supports("avx512vbmi");
  usable_ = has;
#endif
  count_ = count;
  width_ = width;
  decimals_ = decimals;
  for (int f = 0; f < count; ++f) {
    const int at = f * width;
    auto bit = [at](int k) { return std::uint64_t{1} << (at + k); };
    for (int k = 0; k < sign_at; ++k) {
      blanks_ |= bit(k);
    }
    signs_ |= bit(sign_at);
    digits_ |= bit(sign_at + 1);
    points_ |= bit(sign_at + 2);
    for (int k = 0; k < decimals; ++k) {
      digits_ |= bit(sign_at + 3 + k);
    }
    const int letter = sign_at + 3 + decimals;
    letters_ |= bit(letter);
    exponent_signs_ |= bit(letter + 1);
    const int lanes = 16 * f;
    mantissa_from_[lanes + 2] = static_cast<std::uint8_t>(at + sign_at + 1);
    for (int k = 0; k < decimals; ++k) {
      mantissa_from_[lanes + 3 + k] = static_cast<std::uint8_t>(at + sign_at + 3 + k);
    }
    mantissa_lanes_ |= std::uint64_t{0xfffc} << lanes;
    for (int k = 0; k < exponent_digits; ++k) {
      digits_ |= bit(letter + 2 + k);
      exponent_from_[lanes + k] = static_cast<std::uint8_t>(at + letter + 2 + k);
      exponent_lanes_ |= std::uint64_t{1} << (lanes + k);
    }
    sign_at_[f] = at + sign_at;
    exponent_sign_at_[f] = at + letter + 1;
  }
  // The exponent's digits combined by weights in pairs, then the pairs.
  const std::int8_t three[4] = {100, 10, 1, 0};
  const std::int8_t two[4] = {10, 1, 0, 0};
  std::copy_n(exponent_digits == 3 ? three : two, 4, exponent_weights_);
}

#ifdef CDBBEM_X86_FIELDS
namespace {

// The fields as `e_fields_reader` lays them out: checked by masks of their
// characters, the digits gathered by byte permutes and combined in lanes,
// each value then the one multiply or divide of `read_e_field`.
[[gnu::target("avx512f,avx512bw,avx512dq,avx512vbmi")]] bool read_e_fields_by_lanes(
    const char* p, int count, int width, int decimals, const std::uint64_t (&masks)[8],
    const std::uint8_t* mantissa_from, const std::uint8_t* exponent_from,
    const std::int8_t* exponent_weights, const int* sign_at, const int* exponent_sign_at,
    double* values) noexcept {
  const std::uint64_t length = static_cast<std::uint64_t>(width * count);
  const __mmask64 in = length >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << length) - 1;
  const __m512i text = _mm512_maskz_loadu_epi8(in, p);
  const __m512i digits = _mm512_sub_epi8(text, _mm512_set1_epi8('0'));
  const std::uint64_t digit = _mm512_cmple_epu8_mask(digits, _mm512_set1_epi8(9));
  const std::uint64_t blank = _mm512_cmpeq_epi8_mask(text, _mm512_set1_epi8(' '));
  const std::uint64_t minus = _mm512_cmpeq_epi8_mask(text, _mm512_set1_epi8('-'));
  const std::uint64_t plus = _mm512_cmpeq_epi8_mask(text, _mm512_set1_epi8('+'));
  const std::uint64_t point = _mm512_cmpeq_epi8_mask(text, _mm512_set1_epi8('.'));
  const std::uint64_t letter =
      _mm512_cmpeq_epi8_mask(_mm512_or_si512(text, _mm512_set1_epi8(0x20)), _mm512_set1_epi8('e'));
  const auto [blanks, signs, digit_at, points, letters, exponent_signs, mantissa_at, exponent_at] =
      masks;
  if ((blank & blanks) != blanks || ((blank | minus | plus) & signs) != signs ||
      (digit & digit_at) != digit_at || (point & points) != points ||
      (letter & letters) != letters || ((minus | plus) & exponent_signs) != exponent_signs) {
    return false;
  }
  // Per field, the mantissa's digits as two numbers of eight, then one.
  const __m512i mantissa_digits =
      _mm512_maskz_permutexvar_epi8(mantissa_at, _mm512_loadu_si512(mantissa_from), digits);
  const __m512i fours =
      _mm512_madd_epi16(_mm512_maddubs_epi16(mantissa_digits, _mm512_set1_epi16(0x010a)),
                        _mm512_set1_epi32(0x00010064));
  const __m512i eights =
      _mm512_madd_epi16(_mm512_packs_epi32(fours, fours), _mm512_set1_epi32(0x00012710));
  // (The zero-masked forms of the multiply, shift and absolute value, as
  // the plain ones start from a vector GCC 12 warns is not set.)
  constexpr __mmask8 all = 0xff;
  const __m512i mantissa =
      _mm512_add_epi64(_mm512_maskz_mul_epu32(all, eights, _mm512_set1_epi64(100'000'000)),
                       _mm512_maskz_srli_epi64(all, eights, 32));
  // Per field its exponent, in the first 64-bit lane of its 16 bytes.
  std::int32_t weights;
  std::memcpy(&weights, exponent_weights, 4);
  const __m512i exponent_digits =
      _mm512_maskz_permutexvar_epi8(exponent_at, _mm512_loadu_si512(exponent_from), digits);
  __m512i exponent = _mm512_madd_epi16(
      _mm512_maddubs_epi16(exponent_digits, _mm512_set1_epi32(weights)), _mm512_set1_epi16(1));
  exponent = _mm512_and_si512(exponent, _mm512_set1_epi64(0xffffffff));
  // Lanes 0, 2 and 4 hold the three fields.
  __mmask8 used = 0;
  __mmask8 negative = 0;
  __mmask8 negative_exponent = 0;
  for (int f = 0; f < count; ++f) {
    used = static_cast<__mmask8>(used | 1u << (2 * f));
    negative = static_cast<__mmask8>(negative | ((minus >> sign_at[f]) & 1u) << (2 * f));
    negative_exponent =
        static_cast<__mmask8>(negative_exponent | ((minus >> exponent_sign_at[f]) & 1u) << (2 * f));
  }
  const __m512i e10 = _mm512_sub_epi64(
      _mm512_mask_sub_epi64(exponent, negative_exponent, _mm512_setzero_si512(), exponent),
      _mm512_set1_epi64(decimals));
  const __m512i power = _mm512_maskz_abs_epi64(all, e10);
  if ((_mm512_cmpgt_epi64_mask(power, _mm512_set1_epi64(22)) & used) != 0) {
    return false;
  }
  const __m512d scale =
      _mm512_mask_i64gather_pd(_mm512_set1_pd(1.0), used, power, exact_powers_of_ten, 8);
  const __m512d m = _mm512_cvtepu64_pd(mantissa);
  const __mmask8 divided = _mm512_cmplt_epi64_mask(e10, _mm512_setzero_si512());
  const __m512d magnitude = _mm512_mask_div_pd(_mm512_mul_pd(m, scale), divided, m, scale);
  const __m512d value = _mm512_castsi512_pd(_mm512_mask_xor_epi64(
      _mm512_castpd_si512(magnitude), negative, _mm512_castpd_si512(magnitude),
      _mm512_set1_epi64(std::int64_t{1} << 63)));
  _mm512_mask_storeu_pd(values, static_cast<__mmask8>((1u << count) - 1),
                        _mm512_maskz_compress_pd(0x15, value));
  return true;
}

}  // namespace
#endif

bool e_fields_reader::read(std::string_view fields, double* values) const noexcept {
#ifdef CDBBEM_X86_FIELDS
  if (usable_ && fields.size() >= static_cast<std::size_t>(width_ * count_)) {
    const std::uint64_t masks[8] = {blanks_,  signs_,          digits_,         points_,
                                    letters_, exponent_signs_, mantissa_lanes_, exponent_lanes_};
    return read_e_fields_by_lanes(fields.data(), count_, width_, decimals_, masks, mantissa_from_,
                                  exponent_from_, exponent_weights_, sign_at_, exponent_sign_at_,
                                  values);
  }
#endif
  (void)fields;
  (void)values;
  return false;
}

bool parse_real(std::string_view text, real_syntax syntax, int implied_digits,
                double& value) noexcept {
  switch (syntax) {
  case real_syntax::fixed_field:
    if (read_e_field(text, implied_digits, value)) {
      return true;
    }
    return read_real<real_syntax::fixed_field>(text, implied_digits, value);
  case real_syntax::text_field:
    return read_real<real_syntax::text_field>(text, implied_digits, value);
  case real_syntax::free_form:
    break;
  }
  return read_real<real_syntax::free_form>(text, implied_digits, value);
}

}  // namespace cdbbem
