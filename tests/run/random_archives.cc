// Random archives for the whole-run tests: a valid model drawn from a seed
// and written by build_archive, then damaged in the ways archives are met
// in use (hand edits, counts that do not match, cut copies) and in ways
// that reach each report.

#include "random_archives.h"

#include <cstdlib>
#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

#include "archive/archive_builder.h"
#include "textrec/record_reader.h"

namespace cdbbem::testing {
namespace {

std::int32_t draw_index(dice& d, std::int64_t count) {
  return static_cast<std::int32_t>(d.in(1, count));
}

// Short decimals; in some archives, now and then a value at the edge of
// what the layouts hold, which in the shorter ones is wider than its field.
double draw_coordinate(dice& d, bool extremes) {
  if (!extremes || d.percent(90)) {
    return static_cast<double>(d.in(-100000, 100000)) / 1000.0;
  }
  return d.pick({-0.0, 1e-310, -4.9e-324, 1e-100, 1e100, -1e100, 9.9999999995e99,
                 1.7976931348623157e308, -2.5e-300, 123456789.0});
}

archive_plan draw_plan(dice& d, std::string& recipe) {
  archive_plan p;
  // A few models large enough to fill the output buffers, so that both
  // threads write while the other does.
  const bool large = d.percent(5);
  const std::int64_t n = large ? d.in(500, 3000) : d.in(3, 24);
  const std::int64_t e = large ? d.in(n / 2, n) : d.in(1, 16);
  const bool extremes = d.percent(15);
  auto coordinate = [&] { return draw_coordinate(d, extremes); };
  for (std::int64_t k = 0; k < n; ++k) {
    p.nodes.push_back({coordinate(), coordinate(), coordinate()});
  }
  if (d.percent(40)) {
    const std::int64_t points = d.in(1, large ? 400 : 8);
    for (std::int64_t k = 0; k < points; ++k) {
      p.field_points.push_back({coordinate(), coordinate(), coordinate()});
    }
    const std::int64_t cells = d.percent(75) ? d.in(1, large ? 300 : 5) : 0;
    for (std::int64_t k = 0; k < cells; ++k) {
      p.cells.push_back({draw_index(d, points), draw_index(d, points), draw_index(d, points),
                         draw_index(d, points)});
    }
  }
  for (std::int64_t k = 0; k < e; ++k) {
    element_spec el{draw_index(d, n), draw_index(d, n), draw_index(d, n), draw_index(d, n)};
    if (d.percent(25)) {
      el.l = el.k;
    }
    if (d.percent(5)) {
      el.node_total = d.pick({3, 8});
    }
    p.elements.push_back(el);
  }
  // Element numbers out of order, or one number twice and another never.
  if (d.percent(6)) {
    for (std::size_t k = 0; k < p.elements.size(); ++k) {
      p.elements[k].number = static_cast<std::int32_t>(p.elements.size() - k);
    }
  } else if (d.percent(4)) {
    p.elements[d.below(p.elements.size())].number = draw_index(d, e);
  }
  if (d.percent(60)) {
    const std::int64_t count = d.in(1, large ? 200 : 6);
    for (std::int64_t k = 0; k < count; ++k) {
      p.potentials.push_back({draw_index(d, n), coordinate()});
    }
  }
  // Records among the conditions: a node's potential once per degree of
  // freedom, values in the forms archives write, other components.
  if (d.percent(30)) {
    const std::int32_t node = draw_index(d, n);
    for (std::int64_t k = d.in(1, 4); k > 0; --k) {
      p.condition_records.push_back(
          format("D,%7d,%-4s, %-15s,  0.00000000    ", node, d.pick({"TEMP", "VOLT", "MAG "}),
                 d.pick({"1.0", "0.25-1", "1.0D+03", "-.5", "  7", "1.0E+16", "4.9E-324"})));
    }
  }
  if (d.percent(10)) {
    p.condition_records.push_back(
        d.pick({"CMBLOCK,WALL,NODE,       3  ! users node component definition",
                "/COM,condition records follow", "DDELE,ALL", "SFEDELE,ALL"}));
  }
  if (d.percent(50)) {
    const std::int64_t count = d.in(1, large ? 100 : 4);
    for (std::int64_t k = 0; k < count; ++k) {
      p.fluxes.push_back(
          {draw_index(d, e), coordinate(), coordinate(), coordinate(), coordinate()});
    }
  }
  // Node records numbered other than by their place (console warnings).
  if (d.percent(8)) {
    const std::size_t total = p.nodes.size() + p.field_points.size();
    for (std::size_t k = 0; k < total; ++k) {
      p.node_numbers.push_back(static_cast<std::int32_t>(k + 1));
    }
    for (std::int64_t k = d.in(1, 3); k > 0; --k) {
      p.node_numbers[d.below(total)] = static_cast<std::int32_t>(d.in(0, 99999));
    }
  }
  p.node_layout = static_cast<int>(d.in(1, 4));
  p.element_width = d.pick({8, 9, 10});
  p.split_elements = d.percent(8);
  p.crlf = d.percent(30);
  recipe = format(
      "%zu nodes, %zu points, %zu elements, %zu cells, %zu potentials, %zu fluxes, "
      "layout %d, (19i%d)%s%s%s%s",
      p.nodes.size(), p.field_points.size(), p.elements.size(), p.cells.size(), p.potentials.size(),
      p.fluxes.size(), p.node_layout, p.element_width, p.split_elements ? ", split elements" : "",
      p.crlf ? ", CR LF" : "", p.node_numbers.empty() ? "" : ", misnumbered nodes",
      extremes ? ", extreme values" : "");
  return p;
}

// The archive as records, with the sizes of its plan.
struct archive_lines {
  std::vector<std::string> lines;
  std::int64_t nodes = 0;     // boundary nodes and field points
  std::int64_t elements = 0;  // boundary elements and field cells
};

constexpr std::size_t none = std::string::npos;

std::size_t find_line(const archive_lines& a, std::string_view prefix) {
  for (std::size_t k = 0; k < a.lines.size(); ++k) {
    if (a.lines[k].starts_with(prefix)) {
      return k;
    }
  }
  return none;
}

std::vector<std::size_t> lines_with(const archive_lines& a, std::string_view prefix) {
  std::vector<std::size_t> found;
  for (std::size_t k = 0; k < a.lines.size(); ++k) {
    if (a.lines[k].starts_with(prefix)) {
      found.push_back(k);
    }
  }
  return found;
}

std::vector<std::string> tokens_of(const std::string& line) {
  std::vector<std::string> tokens;
  std::size_t at = 0;
  while ((at = line.find_first_not_of(' ', at)) != none) {
    const std::size_t end = line.find(' ', at);
    tokens.push_back(line.substr(at, end - at));
    at = end;
  }
  return tokens;
}

// The node records' first and end index, and the element records'.
std::pair<std::size_t, std::size_t> node_records(const archive_lines& a) {
  const std::size_t block = find_line(a, "NBLOCK");
  const std::size_t end = find_line(a, "N,R5.3");
  return block == none || end == none ? std::pair{none, none} : std::pair{block + 2, end};
}

std::pair<std::size_t, std::size_t> element_records(const archive_lines& a) {
  const std::size_t block = find_line(a, "EBLOCK");
  if (block == none) {
    return {none, none};
  }
  std::size_t end = block + 2;
  while (end < a.lines.size() && tokens_of(a.lines[end]) != std::vector<std::string>{"-1"}) {
    ++end;
  }
  return {block + 2, end};
}

// One record of [first, end), or none.
std::size_t some_line(dice& d, std::pair<std::size_t, std::size_t> range) {
  if (range.first == none || range.first >= range.second) {
    return none;
  }
  return range.first + d.below(range.second - range.first);
}

std::size_t some_line(dice& d, const std::vector<std::size_t>& found) {
  return found.empty() ? none : found[d.below(found.size())];
}

// `text` right-justified in `width` columns at `column` of `line`; a longer
// text takes the columns it needs and moves the rest of the record.
void put_field(std::string& line, std::size_t column, std::size_t width, std::string text) {
  if (line.size() < column + width) {
    line.resize(column + width, ' ');
  }
  if (text.size() < width) {
    text.insert(0, width - text.size(), ' ');
  }
  line.replace(column, width, text);
}

// Texts that are not what an integer field, a real field or a free-form
// value may hold, with some that are but are too wide or too large.
const char* integer_junk(dice& d) {
  return d.pick({"1x", "1.2.3", "-", "+", "", "1e3", "1.5", "0x1f", ",", "1 2", "99999999",
                 "-9999999", "*", "123456789", "-2147483649"});
}

const char* real_junk(dice& d) {
  return d.pick({"1.0x", "1.0.0", "x", "1,5", "E5", ".", "1e", "--1", "0x10", "-", "", "1.0E+999",
                 "-1.0E-999", "NaN", "Inf", "1.0D+05", "1.0+05", "1 2", "-9.999999999999999E+300"});
}

const char* free_junk(dice& d) {
  return d.pick({"x", "4x", "4.0.", "-", "+", "2147483648", "-2147483649", "99999999999999999999",
                 "/", ",", "2*5", "3*", "'a'", "1.5", "T", "1e3", ",,", "1.0E+400", "NaN"});
}

// A count in place of one of the offset section's: off by a few, zero,
// negative, too wide for the output fields, beyond the memory allowed.
std::int64_t draw_count(dice& d, std::int64_t count) {
  return d.pick<std::int64_t>({count + d.in(-3, 3), count * 2, -count, 0, -1, -12624495, -99999999,
                               -10000000, 99999999, 999999999, 2147483647, -2147483648LL, 1000000,
                               200000000});
}

std::string set_count(archive_lines& a, std::string_view which, std::int64_t value) {
  const std::size_t at = find_line(a, which);
  if (at == none) {
    return "";
  }
  std::string& line = a.lines[at];
  line = line.substr(0, 12) + format("%9lld", static_cast<long long>(value));
  return std::string(which.substr(7)) + " count " + std::to_string(value);
}

std::string edit_count(dice& d, archive_lines& a) {
  if (d.percent(15)) {
    const char* which = d.pick({"NUMOFF,NODE", "NUMOFF,ELEM"});
    const std::size_t at = find_line(a, which);
    if (at == none) {
      return "";
    }
    const char* junk = integer_junk(d);
    put_field(a.lines[at], 12, 9, junk);
    return format("%s count \"%s\"", which + 7, junk);
  }
  return set_count(a, d.pick({"NUMOFF,NODE", "NUMOFF,ELEM"}),
                   draw_count(d, d.percent(50) ? a.nodes : a.elements));
}

// Both counts such that nothing is read and a count does not fit the
// model file's columns; in half the archives without the components and
// conditions, which would name what is not there.
std::string counts_that_do_not_fit(dice& d, archive_lines& a) {
  const std::int64_t too_wide =
      d.pick<std::int64_t>({-12624495, -10000000, -99999999, -2147483648LL});
  const std::int64_t empty = d.pick<std::int64_t>({0, -1, -2, -4999999, -5000000, -12624495});
  const bool nodes_wide = d.percent(60);
  std::string done = set_count(a, "NUMOFF,NODE", nodes_wide ? too_wide : empty) + ", " +
                     set_count(a, "NUMOFF,ELEM", nodes_wide ? empty : too_wide);
  const std::size_t rest = element_records(a).second;
  const std::size_t go = find_line(a, "/GO");
  if (d.percent(50) && rest != none && go != none && rest < go) {
    a.lines.erase(a.lines.begin() + static_cast<std::ptrdiff_t>(rest + 1),
                  a.lines.begin() + static_cast<std::ptrdiff_t>(go));
    done += ", no components or conditions";
  }
  return done;
}

std::string node_field(dice& d, archive_lines& a) {
  const std::size_t at = some_line(d, node_records(a));
  if (at == none) {
    return "";
  }
  const std::string& layout = a.lines[find_line(a, "NBLOCK") + 1];
  const std::size_t int_width = layout.starts_with("(3i9") ? 9 : 8;
  const std::size_t real_width = layout == "(3i8,6e16.9)" ? 16 : layout.ends_with("e3)") ? 21 : 20;
  const std::size_t field = d.below(6);
  const std::size_t column =
      field < 3 ? field * int_width : 3 * int_width + (field - 3) * real_width;
  const char* junk = field < 3 ? integer_junk(d) : real_junk(d);
  put_field(a.lines[at], column, field < 3 ? int_width : real_width, junk);
  return format("node record line %zu field %zu \"%s\"", at + 1, field + 1, junk);
}

// A free-form record's value replaced, removed or doubled.
std::string free_value(dice& d, archive_lines& a) {
  std::size_t at = none;
  switch (d.below(3)) {
  case 0:
    at = some_line(d, element_records(a));
    break;
  case 1: {
    const std::size_t header = some_line(d, lines_with(a, "SFE,"));
    at = header == none ? none : header + 1;
    break;
  }
  default: {
    const std::size_t layout = some_line(d, lines_with(a, "(8i10)"));
    at = layout == none ? none : layout + 1;
  }
  }
  if (at == none || at >= a.lines.size()) {
    return "";
  }
  std::vector<std::string> tokens = tokens_of(a.lines[at]);
  if (tokens.empty()) {
    return "";
  }
  const std::size_t width = a.lines[at].size() / tokens.size();
  const std::size_t k = d.below(tokens.size());
  std::string done;
  switch (d.below(4)) {
  case 0:
    done = "removed value " + std::to_string(k + 1);
    tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(k));
    break;
  case 1:
    done = "doubled value " + std::to_string(k + 1);
    tokens.insert(tokens.begin() + static_cast<std::ptrdiff_t>(k), tokens[k]);
    break;
  default:
    tokens[k] = free_junk(d);
    done = "value " + std::to_string(k + 1) + " \"" + tokens[k] + "\"";
  }
  std::string line;
  for (const std::string& t : tokens) {
    line += std::string(width > t.size() ? width - t.size() : 1, ' ') + t;
  }
  a.lines[at] = line;
  return format("line %zu ", at + 1) + done;
}

// Columns of a flux record's element field, from column 5 to the comma.
std::size_t flux_element_width(const std::string& line) {
  const std::size_t comma = line.find(',', 4);
  return comma == none ? 8 : comma - 4;
}

// The node or value field of a potential record, or the element field of
// a flux record, replaced.
std::string condition_field(dice& d, archive_lines& a) {
  const bool potential = d.percent(65);
  const std::size_t at = some_line(d, lines_with(a, potential ? "D," : "SFE,"));
  if (at == none) {
    return "";
  }
  std::string& line = a.lines[at];
  if (!potential) {
    const char* junk = integer_junk(d);
    put_field(line, 4, flux_element_width(line), junk);
    return format("flux element line %zu \"%s\"", at + 1, junk);
  }
  if (d.percent(40)) {
    const char* junk = integer_junk(d);
    put_field(line, 2, 7, junk);
    return format("potential node line %zu \"%s\"", at + 1, junk);
  }
  const char* junk = real_junk(d);
  put_field(line, 15, 16, junk);
  return format("potential value line %zu \"%s\"", at + 1, junk);
}

// A number that indexes the model set outside its range.
std::string index_out_of_range(dice& d, archive_lines& a) {
  const std::int64_t n = a.nodes;
  const std::int64_t e = a.elements;
  switch (d.below(3)) {
  case 0: {
    const std::size_t at = some_line(d, element_records(a));
    if (at == none) {
      return "";
    }
    // A corner, the element's number or its node total; a record split in
    // two holds the first eleven values, then the four corners.
    std::vector<std::string> tokens = tokens_of(a.lines[at]);
    const std::size_t kind = d.below(4);
    std::size_t k = none;
    std::int64_t value = 0;
    if (kind < 2 && (tokens.size() == 4 || tokens.size() == 15)) {
      k = tokens.size() - 1 - d.below(4);
      value = d.pick<std::int64_t>({0, -1, n + 1, 2147483647});
    } else if (kind >= 2 && tokens.size() >= 11) {
      k = kind == 2 ? 10 : 8;
      value = kind == 2 ? d.pick<std::int64_t>({0, -1, e + 1}) : d.pick<std::int64_t>({9, 20, 27});
    }
    if (k == none) {
      return "";
    }
    tokens[k] = std::to_string(value);
    std::string line;
    for (const std::string& t : tokens) {
      line += format("%10s", t.c_str());
    }
    a.lines[at] = line;
    return format("element line %zu value %zu %lld", at + 1, k + 1, static_cast<long long>(value));
  }
  case 1: {
    const std::size_t at = some_line(d, lines_with(a, "D,"));
    if (at == none) {
      return "";
    }
    const std::int64_t value = d.pick<std::int64_t>({0, -1, n + 1, 9999999});
    put_field(a.lines[at], 2, 7, std::to_string(value));
    return format("potential line %zu node %lld", at + 1, static_cast<long long>(value));
  }
  default: {
    const std::size_t at = some_line(d, lines_with(a, "SFE,"));
    if (at == none) {
      return "";
    }
    const std::int64_t value = d.pick<std::int64_t>({0, -1, e + 1});
    put_field(a.lines[at], 4, flux_element_width(a.lines[at]), std::to_string(value));
    return format("flux line %zu element %lld", at + 1, static_cast<long long>(value));
  }
  }
}

// A whole part of the archive removed.
std::string delete_block(dice& d, archive_lines& a) {
  std::size_t first = none;
  std::size_t end = none;
  const char* name = "";
  switch (d.below(10)) {
  case 0:
    name = "offset section";
    first = find_line(a, "*IF");
    end = find_line(a, "*ENDIF");
    end = end == none ? none : end + 1;
    break;
  case 1:
    name = d.pick({"*ELSE", "NUMOFF,NODE", "NUMOFF,ELEM", "FINISH", "/GO", "N,R5.3"});
    first = find_line(a, name);
    end = first + 1;
    break;
  case 2:
    name = "node block";
    first = find_line(a, "NBLOCK");
    end = find_line(a, "N,R5.3");
    end = end == none ? none : end + 1;
    break;
  case 3:
    name = "node layout";
    first = find_line(a, "NBLOCK");
    first = first == none ? none : first + 1;
    end = first == none ? none : first + 1;
    break;
  case 4:
    name = "element block";
    first = find_line(a, "EBLOCK");
    end = element_records(a).second;
    end = end == none ? none : end + 1;
    break;
  case 5: {
    const bool layout = d.percent(50);
    name = layout ? "element layout" : "element terminator";
    first = layout ? find_line(a, "EBLOCK") : element_records(a).second;
    first = first == none || !layout ? first : first + 1;
    end = first + 1;
    break;
  }
  case 6:
    name = d.pick({"CMBLOCK,FIELDCELLS", "CMBLOCK,FIELDPOINTS"});
    first = find_line(a, name);
    end = first + 3;
    break;
  case 7: {
    name = d.pick({"D,", "SFE,"});
    std::vector<std::size_t> found = lines_with(a, name);
    for (auto k = found.rbegin(); k != found.rend(); ++k) {
      a.lines.erase(a.lines.begin() + static_cast<std::ptrdiff_t>(*k),
                    a.lines.begin() + static_cast<std::ptrdiff_t>(*k + (name[0] == 'S' ? 2 : 1)));
    }
    return found.empty() ? "" : std::string("no ") + name + " records";
  }
  case 8:
    name = "a node record";
    first = some_line(d, node_records(a));
    end = first + 1;
    break;
  default:
    name = "an element record";
    first = some_line(d, element_records(a));
    end = first + 1;
  }
  if (first == none || end == none || first >= end || end > a.lines.size()) {
    return "";
  }
  a.lines.erase(a.lines.begin() + static_cast<std::ptrdiff_t>(first),
                a.lines.begin() + static_cast<std::ptrdiff_t>(end));
  return std::string("no ") + name;
}

std::string delete_lines(dice& d, archive_lines& a) {
  const std::size_t first = d.below(a.lines.size());
  const std::size_t end = std::min(a.lines.size(), first + d.below(4) + 1);
  a.lines.erase(a.lines.begin() + static_cast<std::ptrdiff_t>(first),
                a.lines.begin() + static_cast<std::ptrdiff_t>(end));
  return format("lines %zu to %zu deleted", first + 1, end);
}

// Lines repeated, right after themselves or elsewhere, or moved.
std::string copy_lines(dice& d, archive_lines& a) {
  const std::size_t first = d.below(a.lines.size());
  const std::size_t end = std::min(a.lines.size(), first + d.below(4) + 1);
  const std::vector<std::string> part(a.lines.begin() + static_cast<std::ptrdiff_t>(first),
                                      a.lines.begin() + static_cast<std::ptrdiff_t>(end));
  const bool move = d.percent(30);
  if (move) {
    a.lines.erase(a.lines.begin() + static_cast<std::ptrdiff_t>(first),
                  a.lines.begin() + static_cast<std::ptrdiff_t>(end));
  }
  const std::size_t to = d.percent(50) && !move ? end : d.below(a.lines.size() + 1);
  a.lines.insert(a.lines.begin() + static_cast<std::ptrdiff_t>(to), part.begin(), part.end());
  return format("lines %zu to %zu %s before line %zu", first + 1, end, move ? "moved" : "repeated",
                to + 1);
}

// A record the passes look for, put where it does not belong.
std::string insert_landmark(dice& d, archive_lines& a) {
  const char* record =
      d.pick({"*ELSE",
              "NUMOFF,NODE,        5",
              "NUMOFF,ELEM,        1",
              "(19i8)",
              "(19i10)",
              "(3i8,6e16.9)",
              "(3i9,6e21.13e3)",
              "CMBLOCK,FIELDCELLS,ELEM,       1",
              "CMBLOCK,FIELDPOINTS,NODE,       1",
              "(8i10)",
              "         1        -1",
              "D,      1,TEMP, 1.0            ,  0.0",
              "D,",
              "SFE,       1,   1,HFLUX,   1,R5.0",
              "SFE,",
              "FINISH",
              "FINI",
              "FI",
              "/GO",
              "      -1",
              "\x1a",
              "",
              "  1.0 2.0 3.0 4.0",
              "       1       0       0 1.000000000E+00 0.000000000E+00 0.000000000E+00"});
  const std::size_t at = d.below(a.lines.size() + 1);
  a.lines.insert(a.lines.begin() + static_cast<std::ptrdiff_t>(at), record);
  return format("\"%s\" before line %zu", record, at + 1);
}

// The components and conditions ahead of the node block, and FINISH after
// them: the survey ends before the blocks.
std::string blocks_last(dice&, archive_lines& a) {
  const std::size_t nodes = find_line(a, "NBLOCK");
  const std::size_t rest = element_records(a).second;
  const std::size_t go = find_line(a, "/GO");
  if (nodes == none || rest == none || go == none || !(nodes < rest && rest < go)) {
    return "";
  }
  std::vector<std::string> lines(a.lines.begin(),
                                 a.lines.begin() + static_cast<std::ptrdiff_t>(nodes));
  lines.insert(lines.end(), a.lines.begin() + static_cast<std::ptrdiff_t>(rest + 1),
               a.lines.begin() + static_cast<std::ptrdiff_t>(go));
  lines.push_back("FINISH");
  lines.insert(lines.end(), a.lines.begin() + static_cast<std::ptrdiff_t>(nodes),
               a.lines.begin() + static_cast<std::ptrdiff_t>(rest + 1));
  a.lines = std::move(lines);
  return "blocks last";
}

// A record longer than the reader's buffer: a comment, or blanks ahead of
// an element record's values.
std::string long_record(dice& d, archive_lines& a) {
  const std::string blanks(record_reader::buffer_size + d.below(2000), ' ');
  const std::size_t element = some_line(d, element_records(a));
  if (element != none && d.percent(60)) {
    a.lines[element] = d.percent(50) ? blanks + a.lines[element] : a.lines[element] + blanks + "x";
    return format("element line %zu longer than the buffer", element + 1);
  }
  const std::size_t at = d.below(a.lines.size() + 1);
  a.lines.insert(a.lines.begin() + static_cast<std::ptrdiff_t>(at), "/COM," + blanks + "c");
  return format("long comment before line %zu", at + 1);
}

// Damage to the text itself, after the records are joined.
std::string cut_text(dice& d, std::string& text) {
  const std::size_t at = d.below(text.size() + 1);
  text.resize(at);
  return format("cut at byte %zu", at);
}

std::string change_bytes(dice& d, std::string& text) {
  if (text.empty()) {
    return "";
  }
  std::string done = "bytes changed at";
  for (std::int64_t k = d.in(1, 3); k > 0; --k) {
    const std::size_t at = d.below(text.size());
    text[at] =
        d.percent(20)
            ? static_cast<char>(d.below(256))
            : d.pick({'\0', '\x1a', 'x', '.', ' ', '\n', '\r', '-', '+', ',', '/', '9', 'E', '('});
    done += ' ';
    done += std::to_string(at);
  }
  return done;
}

std::string change_line_ends(dice& d, std::string& text) {
  if (d.percent(30)) {
    for (char& c : text) {
      c = c == '\n' ? '\r' : c;
    }
    return "CR line ends";
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
    text.pop_back();
  }
  return "no last line end";
}

struct line_damage {
  unsigned weight;
  std::string (*apply)(dice&, archive_lines&);
};

struct text_damage {
  unsigned weight;
  std::string (*apply)(dice&, std::string&);
};

constexpr line_damage line_damages[] = {
    {6, edit_count},      {4, counts_that_do_not_fit}, {4, node_field},   {5, free_value},
    {6, condition_field}, {7, index_out_of_range},     {5, delete_block}, {3, delete_lines},
    {3, copy_lines},      {4, insert_landmark},        {2, blocks_last},  {1, long_record},
};

constexpr text_damage text_damages[] = {
    {5, cut_text},
    {3, change_bytes},
    {1, change_line_ends},
};

}  // namespace

std::uint64_t from_environment(const char* name, std::uint64_t otherwise) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : otherwise;
}

random_archive draw_archive(std::uint64_t seed) {
  dice d(seed);
  random_archive out;
  const archive_plan plan = draw_plan(d, out.recipe);
  archive_lines a;
  a.nodes = static_cast<std::int64_t>(plan.nodes.size() + plan.field_points.size());
  a.elements = static_cast<std::int64_t>(plan.elements.size() + plan.cells.size());
  const std::string built = build_archive(plan);
  const std::string_view line_end = plan.crlf ? "\r\n" : "\n";
  for (std::size_t at = 0; at < built.size();) {
    const std::size_t end = built.find(line_end, at);
    a.lines.push_back(built.substr(at, end - at));
    at = end + line_end.size();
  }

  // None, one or two damages; a damage that finds nothing to change in
  // this archive is drawn again.
  unsigned total = 0;
  for (const line_damage& l : line_damages) {
    total += l.weight;
  }
  for (const text_damage& t : text_damages) {
    total += t.weight;
  }
  const unsigned damages = d.percent(15) ? 0 : d.percent(60) ? 1 : 2;
  std::vector<const text_damage*> after_join;
  for (unsigned done = 0, tries = 0; done < damages && tries < 20; ++tries) {
    auto roll = static_cast<unsigned>(d.below(total));
    std::string what;
    const line_damage* l = std::begin(line_damages);
    for (; l != std::end(line_damages) && roll >= l->weight; ++l) {
      roll -= l->weight;
    }
    if (l != std::end(line_damages)) {
      what = l->apply(d, a);
      if (!what.empty()) {
        out.recipe += "; " + what;
      }
    } else {
      const text_damage* t = std::begin(text_damages);
      for (; roll >= t->weight; ++t) {
        roll -= t->weight;
      }
      after_join.push_back(t);
      what = "after the join";
    }
    done += what.empty() ? 0u : 1u;
  }
  for (const std::string& line : a.lines) {
    out.text += line;
    out.text += line_end;
  }
  for (const text_damage* t : after_join) {
    out.recipe += "; " + t->apply(d, out.text);
  }
  return out;
}

}  // namespace cdbbem::testing
