#ifndef CDBBEM_ARCHIVE_LOAD_NOTES_H_
#define CDBBEM_ARCHIVE_LOAD_NOTES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "archive/survey.h"

namespace cdbbem {

/// What reading an archive learned about it, kept beside the model it
/// filled rather than in it.
struct load_notes {
  std::int32_t node_layout = 0;           ///< 1 to 4, the node-record layout
  std::int64_t node_number_warnings = 0;  ///< node records not numbered as their position
  bool has_potential_conditions = false;  ///< the archive holds "D," records
  bool has_flux_conditions = false;       ///< the archive holds "SFE," records
  survey_marks marks;                     ///< where the survey saw records
  /// Console lines of the `any` reading: what it passed over or decided,
  /// printed before the completion line.
  std::vector<std::string> any_notes;
};

}  // namespace cdbbem

#endif  // CDBBEM_ARCHIVE_LOAD_NOTES_H_
