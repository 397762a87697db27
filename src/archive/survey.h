#ifndef CDBBEM_ARCHIVE_SURVEY_H_
#define CDBBEM_ARCHIVE_SURVEY_H_

namespace cdbbem {

class record_reader;
struct model_counts;

/// First survey pass, from the archive's first record: finds the offset
/// section's two NUMOFF counts and the FIELDCELLS and FIELDPOINTS component
/// ranges, and sets N, E, P and C.  Stops the run with the malformed-archive
/// message when "FINISH" comes before "*ELSE".
void survey_counts(record_reader& archive, model_counts& counts);

/// Second survey pass, from the archive's first record up to "FINI": sets
/// whether the archive holds potential ("D,") and flux ("SFE,") records.
void survey_conditions(record_reader& archive, model_counts& counts);

}  // namespace cdbbem

#endif  // CDBBEM_ARCHIVE_SURVEY_H_
