// Archives in the legacy layout for the test that the reading of "--any"
// translates them as the default reading does.  The model is drawn first,
// then written with the variations pre-processors use, each drawn at
// random, limited to those the default reading translates the same way:
// it reads N + P node records and E + C element records by count (so the
// records after them are free), reads only the first range of each
// component, the node number of a "D," record from columns 3-9 and its
// value from 16-31, and the element number of an "SFE," record from the
// columns its node layout gives.

#include "legacy_archives.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <utility>
#include <vector>

#include "archive/archive_builder.h"
#include "random_archives.h"

namespace cdbbem::testing {
namespace {

struct element {
  std::int32_t label;
  std::array<std::int32_t, 4> corners;  // node labels; K = L for a triangle
};

// Boundary nodes 1..N then field points N+1..N+P; boundary elements then
// field cells, labelled E+1..E+C in order.
struct legacy_model {
  std::vector<std::array<double, 3>> nodes;
  std::int32_t n = 0;
  std::vector<element> elements;
  std::int32_t e = 0;
  std::vector<std::pair<std::int32_t, double>> potentials;
  std::vector<std::pair<std::int32_t, std::array<double, 4>>> fluxes;
  std::int32_t points() const { return static_cast<std::int32_t>(nodes.size()) - n; }
  std::int32_t cells() const { return static_cast<std::int32_t>(elements.size()) - e; }
};

template <typename T>
void shuffle(dice& d, std::vector<T>& items) {
  for (std::size_t k = items.size(); k > 1; --k) {
    std::swap(items[k - 1], items[d.below(k)]);
  }
}

std::vector<std::int32_t> labels_from(std::int32_t first, std::int32_t count) {
  std::vector<std::int32_t> labels(static_cast<std::size_t>(count));
  std::iota(labels.begin(), labels.end(), first);
  return labels;
}

double decimal(dice& d) { return static_cast<double>(d.in(-100000, 100000)) / 1000.0; }

// `count` distinct corners among `labels` (K repeated in L for three):
// labels[next...] in turn while they last, so that every label becomes a
// corner of some element, then labels at random.
std::array<std::int32_t, 4> draw_corners(dice& d, const std::vector<std::int32_t>& labels,
                                         std::size_t& next, int count) {
  std::array<std::int32_t, 4> c{};
  for (std::size_t s = 0; s < static_cast<std::size_t>(count); ++s) {
    const auto end = c.begin() + static_cast<std::ptrdiff_t>(s);
    const auto taken = [&] { return std::find(c.begin(), end, c[s]) != end; };
    if (next < labels.size()) {
      c[s] = labels[next++];
    }
    while (c[s] == 0 || taken()) {
      c[s] = labels[d.below(labels.size())];
    }
  }
  if (count == 3) {
    c[3] = c[2];
  }
  return c;
}

legacy_model draw_model(dice& d, std::string& recipe) {
  legacy_model m;
  const bool large = d.percent(5);
  m.e = static_cast<std::int32_t>(large ? d.in(500, 3000) : d.in(1, 16));
  const auto triangle_share = d.pick<unsigned>({0, 25, 50, 100});
  std::vector<int> counts;
  for (std::int32_t k = 0; k < m.e; ++k) {
    counts.push_back(d.percent(triangle_share) ? 3 : 4);
  }
  const std::int64_t slots = std::accumulate(counts.begin(), counts.end(), std::int64_t{0});
  const bool quads = std::count(counts.begin(), counts.end(), 4) > 0;
  m.n = static_cast<std::int32_t>(d.in(quads ? 4 : 3, slots));
  const std::int32_t p = d.percent(35) ? static_cast<std::int32_t>(d.in(1, large ? 400 : 8)) : 0;
  const std::int32_t c =
      p >= 4 && d.percent(75) ? static_cast<std::int32_t>(d.in(1, large ? 300 : 5)) : 0;

  // Small whole numbers make coincident nodes and diagonals of equal length.
  const bool grid = d.percent(25);
  const double scale = d.pick({1.0, 1.0, 1e-4, 1e5});
  for (std::int32_t k = 0; k < m.n + p; ++k) {
    std::array<double, 3> xyz{};
    for (double& v : xyz) {
      v = grid ? static_cast<double>(d.in(-3, 5)) : decimal(d) * scale;
      v = v == 0.0 && d.percent(10) ? -0.0 : v;
    }
    m.nodes.push_back(xyz);
  }

  std::vector<std::int32_t> labels = labels_from(1, m.e);
  const int numbering = d.percent(75) ? 0 : d.percent(40) ? 1 : 2;
  if (numbering == 1) {
    std::reverse(labels.begin(), labels.end());
  } else if (numbering == 2) {
    shuffle(d, labels);
  }
  std::vector<std::int32_t> nodes = labels_from(1, m.n);
  shuffle(d, nodes);
  std::size_t next = 0;
  for (std::int32_t k = 0; k < m.e; ++k) {
    m.elements.push_back({labels[static_cast<std::size_t>(k)],
                          draw_corners(d, nodes, next, counts[static_cast<std::size_t>(k)])});
  }
  const std::vector<std::int32_t> points = labels_from(m.n + 1, p);
  for (std::int32_t k = 0; k < c; ++k) {
    std::size_t none_fresh = points.size();
    m.elements.push_back({m.e + 1 + k, draw_corners(d, points, none_fresh, d.percent(15) ? 3 : 4)});
  }

  // Potentials on distinct nodes: the corners of a few elements, so that
  // some triangles are prescribed wholly, and nodes at random.
  if (d.percent(60)) {
    std::vector<std::int32_t> prescribed;
    for (std::int64_t k = d.percent(40) ? d.in(1, large ? 50 : 3) : 0; k > 0; --k) {
      const auto& corners = m.elements[d.below(static_cast<std::size_t>(m.e))].corners;
      prescribed.insert(prescribed.end(), corners.begin(), corners.end());
    }
    for (std::int64_t k = d.in(1, large ? 200 : 6); k > 0; --k) {
      prescribed.push_back(static_cast<std::int32_t>(d.in(1, m.n)));
    }
    shuffle(d, prescribed);
    std::vector<bool> seen(static_cast<std::size_t>(m.n) + 1);
    for (std::int32_t node : prescribed) {
      if (!seen[static_cast<std::size_t>(node)]) {
        seen[static_cast<std::size_t>(node)] = true;
        m.potentials.emplace_back(node,
                                  d.percent(20) ? static_cast<double>(d.in(-9, 99)) : decimal(d));
      }
    }
  }
  if (d.percent(50)) {
    for (std::int64_t k = d.in(1, large ? 100 : 4); k > 0; --k) {
      m.fluxes.push_back({static_cast<std::int32_t>(d.in(1, m.e)),
                          {decimal(d), decimal(d), decimal(d), decimal(d)}});
    }
  }
  recipe = format(
      "%d nodes, %d points, %d elements (%lld triangles), %d cells, %zu potentials, "
      "%zu fluxes",
      m.n, p, m.e, static_cast<long long>(std::count(counts.begin(), counts.end(), 3)), c,
      m.potentials.size(), m.fluxes.size());
  recipe += grid           ? ", grid coordinates"
            : scale != 1.0 ? format(", coordinates scaled by %g", scale)
                           : "";
  recipe += numbering == 1 ? ", labels reversed" : numbering == 2 ? ", labels shuffled" : "";
  return m;
}

// The archive's records as they are written, with the words of the
// variations drawn.
struct writer {
  writer(dice& dice_of_archive, const legacy_model& model_of_archive)
      : d(dice_of_archive), m(model_of_archive) {}

  dice& d;
  const legacy_model& m;
  std::string recipe;
  std::vector<std::string> lines;
  int node_layout = static_cast<int>(d.in(1, 4));
  int element_width = d.pick({8, 9, 10});
  int element_types = d.percent(70) ? 1 : 2;
  bool strays = d.percent(15);

  // Adds `phrase` to the recipe, once, and returns `drawn`.
  bool note(bool drawn, const char* phrase) {
    if (drawn && recipe.find(phrase) == std::string::npos) {
      recipe += ", ";
      recipe += phrase;
    }
    return drawn;
  }
  void stray() {
    if (strays && d.percent(50)) {
      lines.push_back(d.pick({"N,R5.3,LOC,       -1,", "N,R5.3,LOC,-1,", "N,R5.1,LOC,       -1,"}));
    }
  }
};

void add_offsets_and_types(writer& w) {
  w.lines = {"/COM,cdbbem test archive",
             "/PREP7",
             "/NOPR",
             "*IF,_CDRDOFF,EQ,1,THEN     !if solid model was read in",
             "_CDRDOFF=             !reset flag, numoffs already performed",
             "*ELSE              !offset database for the following FE model",
             format("NUMOFF,NODE,%9zu", w.m.nodes.size()),
             format("NUMOFF,ELEM,%9zu", w.m.elements.size()),
             format("NUMOFF,TYPE,%9d", w.element_types),
             "*ENDIF"};
  for (int t = 1; t <= w.element_types; ++t) {
    const int number = w.d.pick({41, 43, 57, 63, 131, 143, 157, 163, 181});
    switch (w.d.below(4)) {
    case 0:
      w.lines.push_back(format("ET,%8d,%d", t, number));
      break;
    case 1:
      w.lines.push_back(format("ET,%d,%d", t, number));
      break;
    case 2:
      w.note(true, "shell type by name");
      w.lines.push_back(format("ET,%d,SHELL%d", t, number));
      break;
    default:
      w.note(true, "lower-case et");
      w.lines.push_back(format("et,%d,%d", t, number));
    }
  }
}

// A real field of the layout; (3i9,6e21.13e3) writes three exponent digits,
// so that a negative value fills the field and touches its neighbour.
std::string real_field(const node_format& f, double v) {
  std::string text = format("%.*E", f.digits, v);
  const std::size_t digits = text.find('E') + 2;
  if (f.real_width == 21 && text.size() - digits == 2) {
    text = text.substr(0, digits) + '0' + text.substr(digits);
  }
  return format("%*s", f.real_width, text.c_str());
}

void add_nodes(writer& w) {
  const node_format& f = node_formats[w.node_layout - 1];
  const std::size_t total = w.m.nodes.size();
  const int header = w.d.percent(80) ? 0 : w.d.percent(50) ? 1 : 2;
  w.note(header != 0, "node header counts missing or wrong");
  w.lines.push_back(header == 1   ? std::string("NBLOCK,6,SOLID")
                    : header == 2 ? format("NBLOCK,6,SOLID,%10zu,%10d", total + 7, 0)
                                  : format("NBLOCK,6,SOLID,%10zu,%10zu", total, total));
  w.lines.push_back(f.layout_record);
  const bool attributes = w.note(w.d.percent(10), "node attributes");
  const bool rotations = w.note(w.d.percent(10), "rotation angles");
  const bool short_records = w.note(w.d.percent(15), "short node records");
  for (std::size_t k = 0; k < total; ++k) {
    std::vector<double> reals(w.m.nodes[k].begin(), w.m.nodes[k].end());
    if (rotations && w.d.percent(30)) {
      reals.insert(reals.end(), {w.d.pick({0.0, 90.0, -45.5}), 0.0, w.d.pick({0.0, 30.0})});
    }
    while (short_records && !reals.empty() && reals.back() == 0.0 && !std::signbit(reals.back())) {
      reals.pop_back();
    }
    // Drawn one after the other: the order in which arguments are
    // evaluated is the compiler's.
    const long long entity = attributes ? w.d.in(0, 60) : 0;
    const long long location = attributes ? w.d.in(0, 900) : 0;
    std::string record =
        format("%*zu%*lld%*lld", f.int_width, k + 1, f.int_width, entity, f.int_width, location);
    for (double v : reals) {
      record += real_field(f, v);
    }
    w.lines.push_back(record);
  }
  switch (w.d.below(10)) {
  case 0:
    w.note(true, "no node terminator");
    w.lines.push_back(w.d.pick({"", "CSYS,       0"}));
    break;
  case 1:
    w.note(true, "no node terminator");
    break;  // EBLOCK follows
  case 2:
    w.lines.push_back(format("%*d", f.int_width, -1));
    break;
  default:
    w.lines.push_back("N,R5.3,LOC,       -1,");
  }
  w.stray();
}

void add_elements(writer& w) {
  const std::int32_t ew = w.element_width;
  const std::size_t total = w.m.elements.size();
  w.lines.push_back(w.d.percent(80) ? format("EBLOCK,19,SOLID,%10zu,%10zu", total, total)
                                    : std::string("EBLOCK,19,SOLID"));
  w.lines.push_back(format("(19i%d)", ew));
  const bool repeats = w.note(w.d.percent(15), "corners repeated after the node count");
  const bool split = w.note(w.d.percent(10), "split element records");
  for (const element& el : w.m.elements) {
    // A triangle is written as four corners, K repeated in L.
    std::vector<std::int32_t> values = {
        1, static_cast<std::int32_t>(w.d.in(1, w.element_types)), 1, 1, 0, 0, 0, 0, 4, 0, el.label};
    values.insert(values.end(), el.corners.begin(), el.corners.end());
    for (int k = repeats ? 4 : 0; k > 0; --k) {
      values.push_back(el.corners[w.d.below(4)]);
    }
    // Split after the label, before a corner: the values after the
    // fifteenth stay on the record of the last corner, which the default
    // reading passes over with it.
    const std::size_t cut = split && w.d.percent(50) ? 11 + w.d.below(4) : values.size();
    std::string record;
    for (std::size_t k = 0; k < values.size(); ++k) {
      if (k == cut) {
        w.lines.push_back(record);
        record.clear();
      }
      record += format("%*d", ew, values[k]);
    }
    w.lines.push_back(record);
  }
  if (w.note(w.d.percent(20), "element terminator in column 1")) {
    w.lines.push_back("-1");
  } else {
    w.lines.push_back(format("%*d", ew, -1));
  }
  if (w.note(w.d.percent(15), "EN terminator record")) {
    w.lines.push_back("EN,R5.5,ATTR,-1,");
  }
  w.stray();
}

// A component of `first`..`last` (none when last < first), written as that
// range and, over several records, members and empty ranges again.
void add_component(writer& w, const char* name, const char* entity, std::int32_t first,
                   std::int32_t last) {
  std::vector<std::int32_t> values = {first, -last};
  if (w.note(w.d.percent(20), "component over several records")) {
    for (std::int64_t k = w.d.in(4, 10); k > 0; --k) {
      if (last < first || w.d.percent(30)) {
        const auto empty = static_cast<std::int32_t>(w.d.in(first + 1, std::max(first, last) + 1));
        values.insert(values.end(), {empty, -(empty - 1)});
      } else if (w.d.percent(50)) {
        values.push_back(static_cast<std::int32_t>(w.d.in(first, last)));
      } else {
        const auto a = static_cast<std::int32_t>(w.d.in(first, last));
        values.insert(values.end(), {a, -static_cast<std::int32_t>(w.d.in(a, last))});
      }
    }
  }
  w.lines.push_back(format("CMBLOCK,%s,%s,%8zu%s", name, entity, values.size(),
                           w.d.percent(50) ? "  ! users component definition" : ""));
  w.lines.push_back("(8i10)");
  for (std::size_t k = 0; k < values.size(); k += 8) {
    std::string record;
    for (std::size_t v = k; v < std::min(values.size(), k + 8); ++v) {
      record += format("%10d", values[v]);
    }
    w.lines.push_back(record);
  }
}

void add_components(writer& w) {
  const legacy_model& m = w.m;
  const bool other = w.note(w.d.percent(10), "another component");
  if (other && w.d.percent(50)) {
    add_component(w, "BOTTOM", "ELEM", 1, static_cast<std::int32_t>(w.d.in(1, m.e)));
  }
  // Without field cells, field points need an empty FIELDCELLS before them.
  if (m.points() > 0 || w.note(w.d.percent(4), "empty components")) {
    w.note(m.points() > 0 && m.cells() == 0, "empty field-cell range");
    add_component(w, "FIELDCELLS", w.d.percent(80) ? "ELEM" : "ELEMENT", m.e + 1, m.e + m.cells());
    add_component(w, "FIELDPOINTS", "NODE", m.n + 1, m.n + m.points());
  }
  if (other) {
    add_component(w, "WALL", "NODE", 1, static_cast<std::int32_t>(w.d.in(1, m.n)));
  }
}

// A potential value in the 16 columns the default reading takes.
std::string potential_value(dice& d, double v) {
  switch (d.below(4)) {
  case 0:
    return format("%16.9G", v);
  case 1:
    return format("%-16.9G", v);
  case 2:
    return format("%16.8E", v);
  default:
    return format("%-16s", format("%12.7f", v).c_str());
  }
}

void add_conditions(writer& w) {
  const char* dof = w.d.pick({"TEMP", "VOLT", "MAG ", "PRES"});
  const char* imaginary = w.d.pick({"  0.00000000    ", "0.0"});
  for (const auto& [node, value] : w.m.potentials) {
    w.lines.push_back(
        format("D,%7d,%s,%s,%s", node, dof, potential_value(w.d, value).c_str(), imaginary));
  }
  w.stray();
  const char* load = w.d.pick({"HFLUX", "PRES"});
  const int header_width = w.node_layout >= 3 ? 9 : 8;
  for (const auto& [label, v] : w.m.fluxes) {
    w.lines.push_back(format("SFE,%*d,%4d,%-5s,%4d,R5.0", header_width, label, 1, load,
                             static_cast<int>(w.d.below(2))));
    const std::size_t form = w.d.below(4);
    if (form == 0 && w.note(true, "comma-separated fluxes")) {
      w.lines.push_back(format(w.d.pick({"%.9G,%.9G,%.9G,%.9G", "%.9G, %.9G, %.9G, %.9G"}), v[0],
                               v[1], v[2], v[3]));
      continue;
    }
    const std::size_t cut =
        form == 1 && w.note(true, "fluxes on two records") ? 1 + w.d.below(3) : 4;
    std::string record;
    for (std::size_t k = 0; k < 4; ++k) {
      if (k == cut) {
        w.lines.push_back(record);
        record.clear();
      }
      record += format("%16.9G", v[k]);
    }
    w.lines.push_back(record);
  }
  if (w.d.percent(80)) {
    w.lines.push_back("/GO");
  }
  w.lines.push_back("FINISH");
}

}  // namespace

legacy_archive draw_legacy_archive(std::uint64_t seed) {
  dice d(seed);
  legacy_archive out;
  const legacy_model m = draw_model(d, out.recipe);
  writer w(d, m);
  w.recipe = format(", layout %d, (19i%d)", w.node_layout, w.element_width);
  w.note(w.strays, "stray N records");
  add_offsets_and_types(w);
  add_nodes(w);
  add_elements(w);
  add_components(w);
  add_conditions(w);
  const bool crlf = w.note(d.percent(30), "CR LF");
  for (const std::string& line : w.lines) {
    out.text += line;
    out.text += crlf ? "\r\n" : "\n";
  }
  if (w.note(d.percent(10), "no last line end")) {
    out.text.resize(out.text.size() - (crlf ? 2 : 1));
  }
  out.recipe += w.recipe;
  return out;
}

}  // namespace cdbbem::testing
