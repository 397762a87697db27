#ifndef CDBBEM_TEXTREC_FREE_FORM_H_
#define CDBBEM_TEXTREC_FREE_FORM_H_

#include <initializer_list>

#include "textrec/fixed_read.h"
#include "textrec/fixed_write.h"

namespace cdbbem {

class output_channel;
class record_reader;

/// Width of a free-form output record.
inline constexpr int free_record_width = 80;

/// One free-form output statement: texts and integers (12-column fields)
/// laid into records of at most 80 positions, a text opening a record
/// preceded by one blank; a write with no items gives a record of one blank.
void write_free(output_channel& out, std::initializer_list<out_item> items);

/// One free-form input statement: starts on the next record and takes one
/// value per integer or double target, separated by blanks, commas or record
/// ends, with null values, r*v repeats and "/" to end early.  Raises 24 when
/// the input ends first, 59 for a value that is not of numeric form and 64
/// for one that does not convert.
void read_free(record_reader& in, std::initializer_list<in_item> items);

}  // namespace cdbbem

#endif  // CDBBEM_TEXTREC_FREE_FORM_H_
