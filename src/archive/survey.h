#ifndef CDBBEM_ARCHIVE_SURVEY_H_
#define CDBBEM_ARCHIVE_SURVEY_H_

#include <cstdint>

#include "textrec/record_reader.h"

namespace cdbbem {

struct load_notes;
struct model_counts;

/// Where the survey saw records that later passes can start from, instead of
/// reading the archive from its first record again.
struct survey_marks {
  /// Most element-layout records kept.
  static constexpr int most_layouts = 16;

  /// The first records (in order) that `is_element_layout`, among those the
  /// counts survey looked at.
  record_mark element_layouts[most_layouts];
  int element_layout_count = 0;

  /// Lines the counts survey read without looking at them (the records of
  /// the offset counts and of the component ranges): first and last.
  static constexpr int most_unlooked = 3;
  std::int64_t unlooked[most_unlooked][2] = {};
  int unlooked_count = 0;
  bool unlooked_lost = false;  // more such reads than places to note them

  /// The first flux record ("SFE," in columns 1-4), when the conditions
  /// survey saw one (`line` 0 otherwise).
  record_mark first_flux;

  /// The element-layout record that a search starting at line `from` finds
  /// first, when the survey saw it and every record between `from` and it;
  /// false when only reading from `from` can tell.
  bool element_layout_from(std::int64_t from, record_mark& at) const;
};

/// First survey pass, from the archive's first record: finds the offset
/// section's two NUMOFF counts and the FIELDCELLS and FIELDPOINTS component
/// ranges, and sets N, E, P and C.  Stops the run with the malformed-archive
/// message when "FINISH" comes before "*ELSE".  Notes the element-layout
/// records it passes in `marks`, when given.
void survey_counts(record_reader& archive, model_counts& counts, survey_marks* marks = nullptr);

/// Second survey pass, from the archive's first record up to "FINI": notes
/// whether the archive holds potential ("D,") and flux ("SFE,") records,
/// and where it saw the first flux record.
void survey_conditions(record_reader& archive, load_notes& notes);

}  // namespace cdbbem

#endif  // CDBBEM_ARCHIVE_SURVEY_H_
