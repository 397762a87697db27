#ifndef CDBBEM_TEXTREC_NUMERIC_INPUT_H_
#define CDBBEM_TEXTREC_NUMERIC_INPUT_H_

#include <cstdint>
#include <string_view>

#include "textrec/int_field.h"

namespace cdbbem {

struct scanned_real;

/// How the text of a real number is laid out.
enum class real_syntax {
  fixed_field,  ///< Ew.d input field: blanks ignored, E or D exponent letters
  text_field,   ///< text converted after reading: inner blanks are zeros
  free_form,    ///< free-form value: no blanks, E, D or Q exponent letters
};

/// Reads an Iw input field: leading blanks skipped, one optional sign, then
/// digits with any blanks among or after them ignored; all blank (or a lone
/// sign) is 0.  False for any other character or a value outside 32 bits.
inline bool parse_int_field(std::string_view field, std::int32_t& value) noexcept {
  return read_int_field(field, value);
}

/// Reads the first `count` fields of `record`, Iw fields all `width` wide
/// from its first column, as `parse_int_field` reads each, into `values`:
/// those that start within it, the last perhaps cut short where it ends.
/// Returns how many it read, or -1 when one of them is not an Iw field.
int parse_int_fields(std::string_view record, int width, int count, std::int32_t* values) noexcept;

/// Reads a decimal integer with an optional sign and nothing else, as a
/// free-form value without decimal point or exponent.
bool parse_plain_int(std::string_view text, std::int32_t& value) noexcept;

/// Reads a real number: optional sign, digits with at most one decimal point,
/// optional exponent (letter plus optionally signed integer, or a sign
/// directly after the digits); or Inf, Infinity, NaN in any case.  Without
/// a decimal point the rightmost `implied_digits` digits are the fraction.
/// The result is the nearest double.  False for any other text.
bool parse_real(std::string_view text, real_syntax syntax, int implied_digits,
                double& value) noexcept;

/// Reads E fields that stand side by side, all of one width and count of
/// decimals, as `parse_real` reads each in the fixed-field syntax, several
/// at once: those of the E21.13 and E20.13 layouts a writer of node blocks
/// gives, on processors with 512-bit byte permutes.
class e_fields_reader {
 public:
  /// For `count` (1 to 3) fields of `width` with `decimals`.
  e_fields_reader(int width, int decimals, int count) noexcept;
  /// Whether this reader reads any field at all here.
  bool usable() const noexcept { return usable_; }
  /// Reads the fields at the start of `fields` into `values`; false, with
  /// `values` unspecified, when it does not take every one of them as a
  /// number of its layout, whose fields the caller then reads one by one.
  bool read(std::string_view fields, double* values) const noexcept;

 private:
  bool usable_ = false;
  int count_ = 0;
  int width_ = 0;
  int decimals_ = 0;
  // Each bit a character of the fields taken together: where blanks, a
  // blank or sign, digits, the point, the exponent letter and its sign
  // stand.
  std::uint64_t blanks_ = 0;
  std::uint64_t signs_ = 0;
  std::uint64_t digits_ = 0;
  std::uint64_t points_ = 0;
  std::uint64_t letters_ = 0;
  std::uint64_t exponent_signs_ = 0;
  // Per field 16 lanes: its mantissa's digits right in them, and its
  // exponent's digits first in them, gathered from these characters.
  std::uint64_t mantissa_lanes_ = 0;
  std::uint64_t exponent_lanes_ = 0;
  std::uint8_t mantissa_from_[64] = {};
  std::uint8_t exponent_from_[64] = {};
  std::int8_t exponent_weights_[4] = {};
  int sign_at_[3] = {};           // of each field, among all the characters
  int exponent_sign_at_[3] = {};  // likewise
};

/// The nearest double to a scanned number (shape `number`) of the given
/// syntax: infinity past the largest double, zero below the smallest.
double real_value(const scanned_real& number, real_syntax syntax) noexcept;

/// The integer of a scanned number (shape `number`) that has no point and
/// no exponent; false when it has either or lies outside 32 bits.
bool int_value(const scanned_real& number, std::int32_t& value) noexcept;

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_NUMERIC_INPUT_H_
