#ifndef CDBBEM_ARCHIVE_LOAD_NOTES_H_
#define CDBBEM_ARCHIVE_LOAD_NOTES_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "archive/survey.h"

namespace cdbbem {

/// The volumes of the solids whose skin is the boundary, for the check.
struct solid_volume_figures {
  bool skin = false;             ///< the boundary is the skin of solids
  double elements_volume = 0.0;  ///< the sum of the solids' own volumes
  std::int64_t negative = 0;     ///< solids of negative volume
  /// Up to five of them: label and volume.
  std::vector<std::pair<std::int32_t, double>> negative_examples;
};

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
  solid_volume_figures solids;  ///< with the skin of solids as the boundary
};

}  // namespace cdbbem

#endif  // CDBBEM_ARCHIVE_LOAD_NOTES_H_
