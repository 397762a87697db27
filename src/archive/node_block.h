#ifndef CDBBEM_ARCHIVE_NODE_BLOCK_H_
#define CDBBEM_ARCHIVE_NODE_BLOCK_H_

namespace cdbbem {

class output_channel;
class record_reader;
struct model;

/// Finds the node-block layout record, then reads N boundary-node records
/// into `node_xyz` and P field-point records into `field_point_xyz`, by
/// position; a record whose node number is not the expected one is counted
/// in `node_number_warnings`, reported on `console` unless it is null, and
/// kept.  Sets `node_layout`.  Leaves the archive after the last field point.
void read_node_block(record_reader& archive, output_channel* console, model& m);

}  // namespace cdbbem

#endif  // CDBBEM_ARCHIVE_NODE_BLOCK_H_
