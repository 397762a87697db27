#ifndef CDBBEM_TEXTREC_FIXED_WRITE_H_
#define CDBBEM_TEXTREC_FIXED_WRITE_H_

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "textrec/record_format.h"

namespace cdbbem {

class output_channel;

/// A value written by a fixed-column or free-form output statement.
struct out_item {
  enum class type : std::uint8_t { int32, real, text };
  type kind;
  std::int32_t int_value = 0;
  double real_value = 0.0;
  std::string_view text = {};
};

/// An integer value.
inline out_item item(std::int32_t value) { return {out_item::type::int32, value, 0.0, {}}; }
/// A double value.
inline out_item item(double value) { return {out_item::type::real, 0, value, {}}; }
/// A text value, written as it stands.
inline out_item item(std::string_view text) { return {out_item::type::text, 0, 0.0, text}; }

/// One output statement: builds records from `items` by `format` and writes
/// each with CR LF.  A number too wide for its field is written as
/// asterisks; once the record holding it is written, the output conversion
/// error (63) is raised.
void write_formatted(output_channel& out, record_format format,
                     std::initializer_list<out_item> items);

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_FIXED_WRITE_H_
