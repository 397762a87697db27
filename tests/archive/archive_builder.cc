#include "archive/archive_builder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

#include "archive/load.h"
#include "run/channels.h"
#include "textrec/output_channel.h"
#include "textrec/record_reader.h"

namespace cdbbem::testing {

namespace {

void add_nodes(std::vector<std::string>& out, const archive_plan& plan) {
  const node_format& f = node_formats[plan.node_layout - 1];
  const std::size_t total = plan.nodes.size() + plan.field_points.size();
  out.push_back(format("NBLOCK,6,SOLID,%10zu,%10zu", total, total));
  out.push_back(f.layout_record);
  for (std::size_t k = 0; k < total; ++k) {
    const xyz& p = k < plan.nodes.size() ? plan.nodes[k] : plan.field_points[k - plan.nodes.size()];
    long number = k < plan.node_numbers.size() ? plan.node_numbers[k] : static_cast<long>(k + 1);
    out.push_back(format("%*ld%*d%*d%*.*E%*.*E%*.*E", f.int_width, number, f.int_width, 0,
                         f.int_width, 0, f.real_width, f.digits, p.x, f.real_width, f.digits, p.y,
                         f.real_width, f.digits, p.z));
  }
  out.push_back("N,R5.3,LOC,       -1,");
}

void add_element(std::vector<std::string>& out, const archive_plan& plan, std::int32_t number,
                 std::int32_t node_total, const std::array<std::int32_t, 4>& corners) {
  const int w = plan.element_width;
  std::string record;
  const int attributes[] = {1, 1, 1, 1, 0, 0, 0, 0, node_total, 0};
  for (int a : attributes) {
    record += format("%*d", w, a);
  }
  record += format("%*d", w, number);
  if (plan.split_elements) {
    out.push_back(record);
    record.clear();
  }
  for (std::int32_t c : corners) {
    record += format("%*d", w, c);
  }
  out.push_back(record);
}

void add_elements(std::vector<std::string>& out, const archive_plan& plan) {
  const std::size_t total = plan.elements.size() + plan.cells.size();
  const auto n = static_cast<std::int32_t>(plan.nodes.size());
  const auto e = static_cast<std::int32_t>(plan.elements.size());
  out.push_back(format("EBLOCK,19,SOLID,%10zu,%10zu", total, total));
  out.push_back(format("(19i%d)", plan.element_width));
  std::int32_t position = 0;
  for (const element_spec& el : plan.elements) {
    ++position;
    add_element(out, plan, el.number != 0 ? el.number : position, el.node_total,
                {el.i, el.j, el.k, el.l});
  }
  for (const auto& cell : plan.cells) {
    ++position;
    add_element(out, plan, position, 4, {cell[0] + n, cell[1] + n, cell[2] + n, cell[3] + n});
  }
  out.push_back(format("%*d", plan.element_width, -1));
  if (!plan.cells.empty()) {
    out.push_back("CMBLOCK,FIELDCELLS,ELEM,       2  ! users element component definition");
    out.push_back("(8i10)");
    out.push_back(format("%10d%10d", e + 1, -(e + static_cast<std::int32_t>(plan.cells.size()))));
  }
  if (!plan.field_points.empty()) {
    out.push_back("CMBLOCK,FIELDPOINTS,NODE,       2  ! users node component definition");
    out.push_back("(8i10)");
    out.push_back(
        format("%10d%10d", n + 1, -(n + static_cast<std::int32_t>(plan.field_points.size()))));
  }
}

}  // namespace

std::string build_archive(const archive_plan& plan) {
  std::vector<std::string> out = {
      "/COM,cdbbem test archive",
      "/PREP7",
      "/NOPR",
      "*IF,_CDRDOFF,EQ,1,THEN     !if solid model was read in",
      "_CDRDOFF=             !reset flag, numoffs already performed",
      "*ELSE              !offset database for the following FE model",
      format("NUMOFF,NODE,%9zu", plan.nodes.size() + plan.field_points.size()),
      format("NUMOFF,ELEM,%9zu", plan.elements.size() + plan.cells.size()),
      "NUMOFF,TYPE,        1",
      "*ENDIF",
      "ET,       1,154",
  };
  add_nodes(out, plan);
  add_elements(out, plan);
  for (const potential_spec& p : plan.potentials) {
    out.push_back(format("D,%7d,TEMP,%16.9G,  0.00000000    ", p.node, p.value));
  }
  out.insert(out.end(), plan.condition_records.begin(), plan.condition_records.end());
  const int header_width = plan.node_layout >= 3 ? 9 : 8;
  for (const flux_spec& f : plan.fluxes) {
    out.push_back(format("SFE,%*d,   1,HFLUX,   1,R5.0", header_width, f.element));
    out.push_back(format("%16.9G%16.9G%16.9G%16.9G", f.a, f.b, f.c, f.d));
  }
  out.push_back("/GO");
  out.push_back("FINISH");
  std::string text;
  for (const std::string& line : out) {
    text += line;
    text += plan.crlf ? "\r\n" : "\n";
  }
  return text;
}

std::int64_t line_of(std::string_view text, std::string_view needle) {
  std::int64_t number = 1;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    if (text.substr(start, end - start).find(needle) != std::string_view::npos) {
      return number;
    }
    ++number;
    start = end + 1;
  }
  return 0;
}

xyz loaded_model::node(std::int64_t n) const {
  const double* p = store.node_xyz.column(n);
  return {p[0], p[1], p[2]};
}

std::array<std::int32_t, 3> loaded_model::triangle(std::int64_t t) const {
  const std::int32_t* p = store.triangle_nodes.column(t);
  return {p[0], p[1], p[2]};
}

std::array<std::int32_t, 2> loaded_model::element(std::int64_t e) const {
  const std::int32_t position = store.element_position.find(static_cast<std::int32_t>(e));
  if (position == 0) {
    return {0, 0};
  }
  const auto [first, end] = store.element_triangles(position);
  return {first, end - 1};
}

std::array<std::int32_t, 4> loaded_model::cell(std::int64_t c) const {
  const std::int32_t* p = store.field_cell_nodes.column(c);
  return {p[0], p[1], p[2], p[3]};
}

loaded_model load_archive(std::string_view text) {
  loaded_model m;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> capture(std::tmpfile(), &std::fclose);
  output_channel console;
  console.attach(fileno(capture.get()));
  record_reader archive;
  archive.open_memory(text, channels::archive);

  static_cast<model&>(m) = load(archive, console, {}, &m.notes);
  console.flush();
  int fd = fileno(capture.get());
  ::lseek(fd, 0, SEEK_SET);
  char chunk[4096];
  for (ssize_t got; (got = ::read(fd, chunk, sizeof chunk)) > 0;) {
    m.console.append(chunk, static_cast<std::size_t>(got));
  }
  return m;
}

run_failure load_failure(std::string_view text) {
  try {
    load_archive(text);
  } catch (const run_failure& failure) {
    return failure;
  }
  ADD_FAILURE() << "no failure raised";
  return {};
}

}  // namespace cdbbem::testing
