#ifndef CDBBEM_ARCHIVE_NODE_BLOCK_H_
#define CDBBEM_ARCHIVE_NODE_BLOCK_H_

#include <cstdint>
#include <string_view>

namespace cdbbem {

class output_channel;
class record_reader;
struct load_notes;
struct model;
struct model_counts;

/// Whether an archive record announces one of the four node-block layouts:
/// "(3i8,6e16.9)", "(3i8,6e20.13)", "(3i9,6e20.13)" or "(3i9,6e21.13e3)",
/// by its first 13 columns.
bool is_node_layout(std::string_view record);

/// Finds the node-block layout record, then reads N boundary-node records
/// into `node_xyz` and P field-point records into `field_point_xyz`, by
/// position; a record whose node number is not the expected one is counted
/// in `notes`, reported on `console` unless it is null, and kept.  Labels
/// the positions 1..N+P as their numbers, and notes the layout.  Leaves the
/// archive after the last field point.
void read_node_block(record_reader& archive, output_channel* console, model& m, load_notes& notes);

/// The first half of `read_node_block`: finds the layout record and
/// returns the layout, 1 to 4.
int find_node_layout(record_reader& archive);

/// The second half of `read_node_block`: reads the node records in the
/// layout `notes` names.
void read_node_records(record_reader& archive, output_channel* console, model& m,
                       load_notes& notes);

/// Records of the node block after its layout record: N + P, a negative
/// count taken as none.
std::int64_t node_block_records(const model_counts& counts);

/// Passes over the node block (its layout record and N + P records) without
/// reading it, so that a second reader can go on to the element block.
void skip_node_block(record_reader& archive, const model_counts& counts);

}  // namespace cdbbem

#endif  // CDBBEM_ARCHIVE_NODE_BLOCK_H_
