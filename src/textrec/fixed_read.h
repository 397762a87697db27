#ifndef CDBBEM_TEXTREC_FIXED_READ_H_
#define CDBBEM_TEXTREC_FIXED_READ_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "textrec/record_format.h"

namespace cdbbem {

class record_reader;

/// A target of a fixed-column or free-form read.
struct in_item {
  enum class type : std::uint8_t { int32, real, text };
  type kind;
  void* target;
  std::size_t length;  ///< characters of a text target
};

/// An integer target.
inline in_item into(std::int32_t& value) { return {in_item::type::int32, &value, 0}; }
/// A double target.
inline in_item into(double& value) { return {in_item::type::real, &value, 0}; }
/// A blank-padded character target of `length` characters.
inline in_item into(char* text, std::size_t length) { return {in_item::type::text, text, length}; }

/// One input statement: takes the next record from `in` and decodes fields
/// by `format` into `items` in order, taking further records where a "/"
/// or the end of the format asks for one; the rest of the last record is
/// discarded.  Raises the end-of-file report when a record is missing and
/// the input conversion error (64) for a numeric field that does not read.
void read_formatted(record_reader& in, record_format format, std::initializer_list<in_item> items);

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_FIXED_READ_H_
