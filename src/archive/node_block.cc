#include "archive/node_block.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "archive/archive_formats.h"
#include "archive/load_notes.h"
#include "model/model.h"
#include "textrec/failure.h"
#include "textrec/fixed_read.h"
#include "textrec/free_form.h"
#include "textrec/progress.h"
#include "textrec/record_reader.h"
#include "textrec/text.h"

namespace cdbbem {

namespace {

// The four layouts: the layout record's first 13 columns and the node
// record format they announce.  Only the first three reals are read.
struct node_layout_entry {
  const char* record;
  record_format format;
};
constexpr node_layout_entry layouts[] = {
    {"(3i8,6e16.9) ", formats::node_record_3i8_3e16},
    {"(3i8,6e20.13)", formats::node_record_3i8_3e20},
    {"(3i9,6e20.13)", formats::node_record_3i9_3e20},
    {"(3i9,6e21.13e", formats::node_record_3i9_3e21},
};

int find_layout(record_reader& archive) {
  char line[line_length];
  for (;;) {
    read_formatted(archive, formats::a13, {into(line, line_length)});
    for (int k = 0; k < 4; ++k) {
      if (text_equal(line, line_length, layouts[k].record, 13)) {
        return k + 1;
      }
    }
  }
}

// Reads `count` node records into consecutive columns of `xyz`, labelling
// them `first` onwards in `labels`; `first` is also the node number the
// first record should carry, `report_offset` what is subtracted from the
// position for the console line.
void read_nodes(record_reader& archive, output_channel* console, record_format format,
                std::int32_t count, std::int32_t first, std::int64_t report_offset,
                store_array<double, 3>& xyz, std::int32_t* labels, std::int64_t& warnings) {
  for (std::int32_t k = 1; k <= count; ++k) {
    progress_tick(first == 1 ? "reading nodes" : "reading field points", k, count);
    std::int32_t number = 0;
    std::int32_t unused = 0;
    double* col = xyz.column(k);
    read_formatted(
        archive, format,
        {into(number), into(unused), into(unused), into(col[0]), into(col[1]), into(col[2])});
    const std::int32_t expected = static_cast<std::int32_t>(first + (k - 1));
    labels[k - 1] = expected;
    if (number == expected) {
      continue;
    }
    ++warnings;
    if (console != nullptr) {
      write_free(*console, {item(std::string_view(" Node number error ni, i =")), item(number),
                            item(static_cast<std::int32_t>(expected - report_offset))});
    }
  }
}

}  // namespace

void read_node_block(record_reader& archive, output_channel* console, model& m, load_notes& notes) {
  notes.node_layout = find_node_layout(archive);
  read_node_records(archive, console, m, notes);
}

void read_node_records(record_reader& archive, output_channel* console, model& m,
                       load_notes& notes) {
  stage_scope stage("read_node_block", archive_file_name, &archive.line_number());
  const model_counts& counts = m.counts;
  record_format format = layouts[notes.node_layout - 1].format;
  const std::int32_t n = std::max(counts.node_count, 0);
  // The legacy numbering: boundary nodes 1..N, field points N+1..N+P.
  std::int32_t* labels = m.store.node_label.begin();
  read_nodes(archive, console, format, counts.node_count, 1, 0, m.store.node_xyz, labels,
             notes.node_number_warnings);
  // A field point's expected number is N + p; the console line gives p.
  read_nodes(archive, console, format, counts.field_point_count,
             static_cast<std::int32_t>(std::int64_t{n} + 1), n, m.store.field_point_xyz, labels + n,
             notes.node_number_warnings);
}

std::int64_t node_block_records(const model_counts& counts) {
  return std::max<std::int64_t>(counts.node_count, 0) +
         std::max<std::int64_t>(counts.field_point_count, 0);
}

void skip_node_block(record_reader& archive, const model_counts& counts) {
  find_node_layout(archive);
  const std::int64_t records = node_block_records(counts);
  for (std::int64_t k = 0; k < records; ++k) {
    archive.next_or_fail();
  }
}

bool is_node_layout(std::string_view record) {
  // Looked at for every record the layout survey reads: most open otherwise.
  if (record.empty() || record[0] != '(') {
    return false;
  }
  for (const node_layout_entry& layout : layouts) {
    if (columns_equal(record, 13, layout.record)) {
      return true;
    }
  }
  return false;
}

int find_node_layout(record_reader& archive) {
  stage_scope stage("read_node_block", archive_file_name, &archive.line_number());
  return find_layout(archive);
}

}  // namespace cdbbem
