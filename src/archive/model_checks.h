#ifndef CDBBEM_ARCHIVE_MODEL_CHECKS_H_
#define CDBBEM_ARCHIVE_MODEL_CHECKS_H_

#include <cstdint>

#include "textrec/failure.h"

namespace cdbbem {

class record_reader;

/// Reports of the checks on numbers read from the archive that would index
/// the model store outside its extent, or an element the reader cannot take.
namespace model_check {
inline constexpr report element_number_range{101};
inline constexpr report element_node_range{102};
inline constexpr report field_cell_corner_range{103};
inline constexpr report potential_node_range{104};
inline constexpr report flux_element_range{105};
inline constexpr report element_too_many_nodes{106};
}  // namespace model_check

/// Ends the run with `number`: "<what> <value> on archive line L is outside
/// 1 to <last>", L being the archive's current line.
[[noreturn]] void out_of_range(report number, const char* what, std::int64_t value,
                               std::int64_t last, const record_reader& archive);

}  // namespace cdbbem

#endif  // CDBBEM_ARCHIVE_MODEL_CHECKS_H_
