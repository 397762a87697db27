#ifndef CDBBEM_ARCHIVE_ARCHIVE_FORMATS_H_
#define CDBBEM_ARCHIVE_ARCHIVE_FORMATS_H_

#include <cstddef>
#include <string_view>

#include "textrec/record_format.h"

namespace cdbbem {

/// The archive's file name, also shown by the failure listing for the
/// stages that read it.
inline constexpr const char* archive_file_name = "ANSYS_Model.cdb";

/// Length of the line buffer the archive's records are read into.
inline constexpr std::size_t line_length = 80;

/// The archive's record formats.  Names give the layout they stand for.
namespace formats {

using k = descriptor_kind;

// Node records, one format per node layout; only the first three reals
// are read.
inline constexpr edit_descriptor node_record_3i9_3e21[] = {{k::integer, 3, 9},
                                                           {k::real_e, 3, 21, 13}};
inline constexpr edit_descriptor node_record_3i9_3e20[] = {{k::integer, 3, 9},
                                                           {k::real_e, 3, 20, 13}};
inline constexpr edit_descriptor node_record_3i8_3e20[] = {{k::integer, 3, 8},
                                                           {k::real_e, 3, 20, 13}};
inline constexpr edit_descriptor node_record_3i8_3e16[] = {{k::integer, 3, 8},
                                                           {k::real_e, 3, 16, 9}};

// Keyword and command records.
inline constexpr edit_descriptor count_record[] = {{k::text, 1, 12}, {k::integer, 1, 9}};
inline constexpr edit_descriptor a5[] = {{k::text, 1, 5}};
inline constexpr edit_descriptor a6[] = {{k::text, 1, 6}};
inline constexpr edit_descriptor a7[] = {{k::text, 1, 7}};
inline constexpr edit_descriptor a13[] = {{k::text, 1, 13}};
inline constexpr edit_descriptor a18[] = {{k::text, 1, 18}};
inline constexpr edit_descriptor a19[] = {{k::text, 1, 19}};
inline constexpr edit_descriptor command_scan[] = {
    {k::text, 1, 4}, {k::text, 1, 15}, {k::text, 1, 4}};
inline constexpr edit_descriptor potential_record[] = {
    {k::text, 1, 2}, {k::text, 1, 7}, {k::text, 1, 6}, {k::text, 1, 16}};
inline constexpr edit_descriptor skip_two[] = {{k::slash}};
inline constexpr edit_descriptor flux_header_a8[] = {{k::text, 1, 4}, {k::text, 1, 8}};
inline constexpr edit_descriptor flux_header_a9[] = {{k::text, 1, 4}, {k::text, 1, 9}};

}  // namespace formats

}  // namespace cdbbem

#endif  // CDBBEM_ARCHIVE_ARCHIVE_FORMATS_H_
