#include "archive/any_model.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "archive/any_reader.h"
#include "archive/load_notes.h"
#include "model/conditions.h"
#include "model/element_class.h"
#include "model/faces.h"
#include "model/model.h"
#include "model/skin.h"
#include "model/solid_faces.h"
#include "model/store.h"
#include "model/triangulation.h"
#include "model/volume.h"
#include "platform/machine.h"
#include "textrec/early_task.h"

namespace cdbbem {

namespace {

constexpr int class_count = static_cast<int>(element_class::other) + 1;

const char* class_words(element_class c) {
  switch (c) {
  case element_class::shell:
    return "shell elements";
  case element_class::mesh_surface:
    return "surface mesh elements";
  case element_class::surface_effect:
    return "surface-effect elements";
  case element_class::planar:
    return "2-D planar elements";
  case element_class::brick8:
    return "8-node bricks";
  case element_class::brick20:
    return "20-node bricks";
  case element_class::tet10:
    return "10-node tets";
  case element_class::tet4:
    return "4-node tets";
  case element_class::mesh_volume:
    return "volume mesh elements";
  default:
    return "line, point, contact and other elements";
  }
}

bool is_solid(element_class c) {
  return c == element_class::brick8 || c == element_class::brick20 || c == element_class::tet10 ||
         c == element_class::tet4 || c == element_class::mesh_volume;
}

std::string at_line(std::int64_t line) { return "archive line " + std::to_string(line); }

// Sorted, merged label ranges of a component, for membership.
struct label_set {
  std::vector<std::pair<std::int32_t, std::int32_t>> ranges;

  explicit label_set(const any_component& c) {
    for (const auto& r : c.ranges) {
      if (r.first <= r.second) {
        ranges.push_back(r);
      }
    }
    std::sort(ranges.begin(), ranges.end());
    std::size_t kept = 0;
    for (const auto& r : ranges) {
      if (kept > 0 && r.first <= ranges[kept - 1].second + std::int64_t{1}) {
        ranges[kept - 1].second = std::max(ranges[kept - 1].second, r.second);
      } else {
        ranges[kept++] = r;
      }
    }
    ranges.resize(kept);
  }
  bool has(std::int32_t label) const {
    if (ranges.empty() || label < ranges.front().first || label > ranges.back().second) {
      return false;
    }
    auto it = std::upper_bound(ranges.begin(), ranges.end(), std::make_pair(label, INT32_MAX));
    return it != ranges.begin() && (it - 1)->second >= label;
  }
};

// Positions of labels in a table by label, built only when they lie close
// together (a span of at most twice their count and 1024).  Of equal
// labels the table finds the first position.  Labels that go up by one
// from each position to the next, as meshers mostly number, need no
// table: a position is then its label's distance from the lowest.
class dense_index {
 public:
  template <typename label_of>
  void build(std::size_t count, std::int64_t lowest, std::int64_t highest, label_of label) {
    const std::int64_t span = highest - lowest + 1;
    if (span > 2 * static_cast<std::int64_t>(count) + 1024) {
      return;
    }
    lowest_ = lowest;
    if (span == static_cast<std::int64_t>(count)) {
      std::size_t k = 0;
      while (k < count && label(k) == lowest + static_cast<std::int64_t>(k)) {
        ++k;
      }
      if (k == count) {
        step_span_ = span;
        return;
      }
    }
    at_.assign(static_cast<std::size_t>(span), 0);
    for (std::size_t k = count; k-- > 0;) {
      at_[static_cast<std::size_t>(label(k) - lowest)] = static_cast<std::int32_t>(k + 1);
    }
  }
  bool built() const { return step_span_ > 0 || !at_.empty(); }
  // Whether each of `count` labels is 0 or has a position.
  bool found_or_zero(const std::int32_t* labels, std::int32_t count) const {
    bool all = true;
    if (at_.empty()) {
      // Without branches, so that the loop takes several labels at once.
      for (std::int32_t n = 0; n < count; ++n) {
        const std::int64_t k = labels[n] - lowest_;
        all &= labels[n] == 0 || (k >= 0 && k < step_span_);
      }
      return all;
    }
    for (std::int32_t n = 0; n < count && all; ++n) {
      all = labels[n] == 0 || find(labels[n]) != 0;
    }
    return all;
  }
  // The 1-based position of `label`, 0 for none.
  std::int32_t find(std::int32_t label) const {
    const std::int64_t k = label - lowest_;
    if (at_.empty()) {
      return k >= 0 && k < step_span_ ? static_cast<std::int32_t>(k + 1) : 0;
    }
    return k >= 0 && k < static_cast<std::int64_t>(at_.size()) ? at_[static_cast<std::size_t>(k)]
                                                               : 0;
  }

 private:
  std::int64_t lowest_ = 0;
  std::int64_t step_span_ = 0;  // the labels' span when they need no table
  std::vector<std::int32_t> at_;
};

// The shared state of the building: contents, the sorted node labels and
// element classes, and the model.
struct building {
  building(archive_contents& contents, const any_choices& chosen, model& built,
           std::vector<std::string>& noted)
      : c(contents), choices(chosen), m(built), notes(noted) {}

  archive_contents& c;
  const any_choices& choices;
  model& m;
  std::vector<std::string>& notes;
  std::vector<element_class> classes;  // per element record
  // Element indices ordered by label; none when the records' labels
  // ascend already, each index then its own.
  bool in_label_order = false;
  std::vector<std::uint32_t> by_label;
  std::size_t ordered(std::size_t k) const { return in_label_order ? k : by_label[k]; }
  std::vector<std::uint32_t> boundary;  // boundary element indices, in record order
  // Without shells the boundary is the skin of the solids: their shapes
  // (none for any other element) and the faces no other solid shares.
  bool skin = false;
  std::vector<solid_shape> shapes;
  solid_skin skin_faces;
  solid_volume_figures* volumes = nullptr;
  std::vector<std::int32_t> point_labels;  // field point labels, ascending
  // Of each type record, its class and its elements' node count, worked
  // out once rather than for every element.
  std::vector<element_class> type_classes;
  std::vector<int> type_nodes;
  void know_types() {
    for (const any_type& t : c.types) {
      type_classes.push_back(classify_element_type(t.number, t.shape));
      type_nodes.push_back(element_node_count(t.number, t.shape));
    }
  }
  // The type record of element `e` (the last of its attribute), -1 for none.
  int type_of(const any_element& e) const {
    int found = -1;
    for (std::size_t k = 0; k < c.types.size(); ++k) {
      found = c.types[k].itype == e.itype ? static_cast<int>(k) : found;
    }
    return found;
  }

  // The defined nodes' labels, ascending once sorted.
  std::int64_t node_count() const { return static_cast<std::int64_t>(c.node_labels.size()); }
  // Labels that lie close together are looked up in tables by label.
  dense_index nodes_by_label;
  dense_index elements_by_label;
  dense_index points_by_label;
  void index_nodes() {
    const std::size_t n = c.node_labels.size();
    if (n > 0) {
      nodes_by_label.build(n, c.node_labels[0], c.node_labels[n - 1],
                           [&](std::size_t k) { return c.node_labels[k]; });
    }
  }
  void index_elements() {
    const std::size_t n = c.elements.size();
    if (n > 0) {
      elements_by_label.build(n, c.elements[ordered(0)].label, c.elements[ordered(n - 1)].label,
                              [&](std::size_t k) { return c.elements[k].label; });
    }
  }
  void index_points() {
    if (!point_labels.empty()) {
      points_by_label.build(point_labels.size(), point_labels.front(), point_labels.back(),
                            [&](std::size_t k) { return point_labels[k]; });
    }
  }
  std::int32_t node_index(std::int32_t label) const {  // 1-based, 0 for none
    if (nodes_by_label.built()) {
      return nodes_by_label.find(label);
    }
    const std::int32_t* first = c.node_labels.data();
    const std::int32_t* last = first + c.node_labels.size();
    const std::int32_t* it = std::lower_bound(first, last, label);
    return it != last && *it == label ? static_cast<std::int32_t>(it - first + 1) : 0;
  }
  // Whether each of `count` node fields is 0 or a defined node.
  bool nodes_defined(const std::int32_t* fields, std::int32_t count) const {
    if (nodes_by_label.built()) {
      return nodes_by_label.found_or_zero(fields, count);
    }
    for (std::int32_t n = 0; n < count; ++n) {
      if (fields[n] != 0 && node_index(fields[n]) == 0) {
        return false;
      }
    }
    return true;
  }
  std::int32_t point_index(std::int32_t label) const {  // 1-based, 0 for none
    if (points_by_label.built()) {
      return points_by_label.find(label);
    }
    const auto it = std::lower_bound(point_labels.begin(), point_labels.end(), label);
    return it != point_labels.end() && *it == label
               ? static_cast<std::int32_t>(it - point_labels.begin() + 1)
               : 0;
  }
  const any_element* element(std::int32_t label) const {
    if (elements_by_label.built()) {
      const std::int32_t k = elements_by_label.find(label);
      return k == 0 ? nullptr : &c.elements[static_cast<std::size_t>(k - 1)];
    }
    // Clang's reading of the standard library's ranges fails here, so the
    // search is written out.
    std::size_t low = 0;
    std::size_t high = c.elements.size();
    while (low < high) {
      const std::size_t middle = low + (high - low) / 2;
      if (c.elements[ordered(middle)].label < label) {
        low = middle + 1;
      } else {
        high = middle;
      }
    }
    return low < c.elements.size() && c.elements[ordered(low)].label == label
               ? &c.elements[ordered(low)]
               : nullptr;
  }
  [[noreturn]] void raise(report number, std::string message) const {
    fail_check(number, choices.unit, std::move(message));
  }
};

// Runs `part(half, begin, end)` over [0, count) in two halves (0 the lower,
// 1 the upper), the upper one on another thread when there are two and
// enough for it to pay.  A part only notes what it finds; the caller
// raises the first.
constexpr std::size_t halves_from = 1 << 14;

template <typename F>
void in_halves(std::size_t count, unsigned threads, F part) {
  const std::size_t middle = count / 2;
  early_task upper;
  upper.start(threads > 1 && count >= halves_from, [&] { part(1, middle, count); });
  part(0, 0, middle);
  upper.finish();
}

// The defined nodes in label order; of two with one label the later.
// Archives mostly write them so: then nothing moves.
void sort_nodes(building& b) {
  grow_array<std::int32_t>& labels = b.c.node_labels;
  const std::size_t count = labels.size();
  bool ascending = true;
  for (std::size_t k = 1; k < count && ascending; ++k) {
    ascending = labels[k - 1] < labels[k];
  }
  if (ascending) {
    return;
  }
  std::vector<std::uint32_t> order(count);
  for (std::size_t k = 0; k < count; ++k) {
    order[k] = static_cast<std::uint32_t>(k);
  }
  std::stable_sort(order.begin(), order.end(),
                   [&](std::uint32_t x, std::uint32_t y) { return labels[x] < labels[y]; });
  grow_array<std::int32_t> sorted_labels;
  grow_array<double> sorted_xyz;
  sorted_labels.reserve(count);
  sorted_xyz.reserve(3 * count);
  std::int64_t twice = 0;
  for (std::size_t k = 0; k < count; ++k) {
    // Of a run of one label the last definition stands.
    if (k + 1 < count && labels[order[k + 1]] == labels[order[k]]) {
      ++twice;
      continue;
    }
    sorted_labels.push_back(labels[order[k]]);
    for (std::size_t a = 0; a < 3; ++a) {
      sorted_xyz.push_back(b.c.node_xyz[3 * order[k] + a]);
    }
  }
  labels.swap(sorted_labels);
  b.c.node_xyz.swap(sorted_xyz);
  if (twice > 0) {
    b.notes.push_back(std::to_string(twice) +
                      " node definitions repeat a label: the later definition is taken");
  }
}

// The class of each element; an element of no ET record is a surface
// element when it has at most 4 node fields.
void classify(building& b, reading_fault& first) {
  b.know_types();
  b.classes.resize(b.c.elements.size());
  // Each half notes its first element of no known type.
  std::size_t unknown[2] = {SIZE_MAX, SIZE_MAX};
  in_halves(b.c.elements.size(), b.choices.threads,
            [&](int half, std::size_t begin, std::size_t end) {
              for (std::size_t k = begin; k < end; ++k) {
                const any_element& e = b.c.elements[k];
                const int type = b.type_of(e);
                if (type >= 0) {
                  b.classes[k] = b.type_classes[static_cast<std::size_t>(type)];
                } else if (e.node_count <= 4) {
                  b.classes[k] = element_class::shell;
                } else {
                  b.classes[k] = element_class::other;
                  unknown[half] = k;
                  return;
                }
              }
            });
  const std::size_t k = std::min(unknown[0], unknown[1]);
  if (k != SIZE_MAX) {
    const any_element& e = b.c.elements[k];
    if (first.line == 0 || e.line < first.line) {
      first = {e.line, "element " + std::to_string(e.label) + " has " +
                           std::to_string(e.node_count) +
                           " node fields and no ET record gives its type"};
    }
  }
}

// The reading faults found only once every record is read, and the first
// of all of them by line.
void check_reading(building& b) {
  reading_fault first = b.c.fault;
  auto earlier = [&](std::int64_t line, std::string message) {
    if (first.line == 0 || line < first.line) {
      first = {line, std::move(message)};
    }
  };
  classify(b, first);
  // Labels that ascend from record to record, as meshers mostly write
  // them, are in order already and none repeats.
  const grow_array<any_element>& elements = b.c.elements;
  std::size_t in_order = elements.empty() ? 0 : 1;
  while (in_order < elements.size() && elements[in_order - 1].label < elements[in_order].label) {
    ++in_order;
  }
  b.in_label_order = in_order == elements.size();
  if (!b.in_label_order) {
    b.by_label.resize(elements.size());
    for (std::uint32_t k = 0; k < b.by_label.size(); ++k) {
      b.by_label[k] = k;
    }
    std::stable_sort(b.by_label.begin(), b.by_label.end(), [&](std::uint32_t x, std::uint32_t y) {
      return elements[x].label < elements[y].label;
    });
    for (std::size_t k = 1; k < b.by_label.size(); ++k) {
      const any_element& second = elements[b.by_label[k]];
      if (elements[b.by_label[k - 1]].label == second.label) {
        earlier(second.line,
                "element " + std::to_string(second.label) + " is defined a second time");
      }
    }
  }
  b.index_elements();
  for (const any_flux& q : b.c.fluxes) {
    if (b.element(q.element) == nullptr) {
      earlier(q.line, "a flux on element " + std::to_string(q.element) +
                          ", which no element block defines");
      break;
    }
  }
  const any_component* named[2] = {&b.c.field_points, &b.c.field_cells};
  const char* names[2] = {"FIELDPOINTS", "FIELDCELLS"};
  for (int k = 0; k < 2; ++k) {
    if (named[k]->cm_line != 0 && named[k]->line == 0) {
      earlier(named[k]->cm_line, std::string("the component ") + names[k] +
                                     " is named by CM after a selection, which the archive "
                                     "alone cannot resolve");
    }
  }
  if (first.line != 0) {
    b.raise(any_reading_fault, at_line(first.line) + ": " + first.message);
  }
}

// The boundary: shells and surface elements outside FIELDCELLS, in record
// order; a note for each class passed over.
// The shape of element `k` when it is a solid outside FIELDCELLS.
solid_shape shape_of(const building& b, std::uint32_t k) {
  const int type = b.type_of(b.c.elements[k]);
  return solid_shape_of(b.classes[k],
                        type >= 0 ? b.c.types[static_cast<std::size_t>(type)].shape : 0);
}

// The boundary: shells and surface elements outside FIELDCELLS, in record
// order, or without them the solids, whose skin it is; a note for each
// class passed over.
void choose_boundary(building& b, const label_set& cells) {
  // One reading of the elements, in halves: each half lists its shells
  // and surface elements and its solids, and counts what either boundary
  // would pass over.  The lists have room for all from the start: growing
  // them step by step copies and first touches their pages again and
  // again.
  struct half_found {
    std::vector<std::uint32_t> shells, solids;
    passed_records all[class_count];       // the elements outside FIELDCELLS
    passed_records no_shape[class_count];  // those of them that are not solids
  };
  const std::size_t count = b.c.elements.size();
  half_found halves[2];
  for (int half = 0; half < 2; ++half) {
    const std::size_t room = half == 0 ? count : count - count / 2;
    halves[half].shells.reserve(room);
    halves[half].solids.reserve(room);
  }
  b.shapes.assign(count, solid_shape::none);
  in_halves(count, b.choices.threads, [&](int half, std::size_t begin, std::size_t end) {
    half_found& own = halves[half];
    for (auto k = static_cast<std::uint32_t>(begin); k < end; ++k) {
      const any_element& e = b.c.elements[k];
      if (cells.has(e.label)) {
        continue;
      }
      const element_class cls = b.classes[k];
      own.all[static_cast<int>(cls)].add(e.line);
      if (cls == element_class::shell || cls == element_class::mesh_surface) {
        own.shells.push_back(k);
      }
      const solid_shape shape = shape_of(b, k);
      if (shape != solid_shape::none) {
        b.shapes[k] = shape;
        own.solids.push_back(k);
      } else {
        own.no_shape[static_cast<int>(cls)].add(e.line);
      }
    }
  });
  // Shells and surface elements where there are any, else the solids.
  const bool shells = !halves[0].shells.empty() || !halves[1].shells.empty();
  auto boundary_of = [&](std::vector<std::uint32_t> half_found::*list) {
    b.boundary = std::move(halves[0].*list);
    b.boundary.insert(b.boundary.end(), (halves[1].*list).begin(), (halves[1].*list).end());
  };
  boundary_of(shells ? &half_found::shells : &half_found::solids);
  b.skin = !shells && !b.boundary.empty();
  if (!b.skin) {
    std::vector<solid_shape>().swap(b.shapes);
  }
  // What the boundary taken passes over, by class: the elements that are
  // not solids beside a skin, else every element not a shell or surface.
  passed_records passed[class_count];
  for (int k = 0; k < class_count; ++k) {
    const bool shell_class = k == static_cast<int>(element_class::shell) ||
                             k == static_cast<int>(element_class::mesh_surface);
    for (const half_found& h : halves) {
      const passed_records& p = b.skin ? h.no_shape[k] : h.all[k];
      if (p.count > 0 && (b.skin || !shell_class)) {
        passed[k].first_line = passed[k].count > 0 ? passed[k].first_line : p.first_line;
        passed[k].count += p.count;
      }
    }
  }
  std::string found;
  for (int k = 0; k < class_count; ++k) {
    if (passed[k].count > 0) {
      const std::string what =
          std::to_string(passed[k].count) + " " + class_words(static_cast<element_class>(k));
      found += (found.empty() ? "" : ", ") + what;
      b.notes.push_back(what + " passed over, the first on " + at_line(passed[k].first_line));
    }
  }
  if (b.c.element_commands.count > 0) {
    b.notes.push_back(std::to_string(b.c.element_commands.count) +
                      " element commands outside blocks passed over, the first on " +
                      at_line(b.c.element_commands.first_line));
  }
  if (b.boundary.empty()) {
    if (found.empty()) {
      found = b.c.elements.empty() ? "no elements" : "only field cells";
    }
    b.raise(any_no_boundary,
            "no boundary: the archive has no shell, surface or solid elements "
            "outside FIELDCELLS; it has " +
                std::to_string(b.node_count()) + " nodes and " + found);
  }
}

// The faces of the solids that no other solid shares.
void find_solid_skin(building& b, unsigned threads) {
  solid_elements view;
  view.count = static_cast<std::int64_t>(b.c.elements.size());
  view.nodes = b.c.element_nodes.data();
  if (view.count > 0) {
    view.first_node = {&b.c.elements[0].first_node, sizeof(any_element)};
    view.node_count = {&b.c.elements[0].node_count, sizeof(any_element)};
    view.shape = {b.shapes.data(), sizeof(solid_shape)};
  }
  b.skin_faces = find_skin(view, threads > 1 ? 2 : 1);
  if (b.skin_faces.shared_by_more > 0) {
    const any_element& e = b.c.elements[b.skin_faces.first_shared.element];
    b.notes.push_back(std::to_string(b.skin_faces.shared_by_more) +
                      " faces shared by three or more solids are not skin, the first: element " +
                      std::to_string(e.label) + " face " +
                      std::to_string(b.skin_faces.first_shared.face));
  }
}

// Whether boundary element `k` has every corner of a solid written
// (midsides may be absent) and only nodes a block or command defines; with
// `raise`, its first fault is raised instead.
bool element_nodes_defined(const building& b, std::uint32_t k, bool raise) {
  const any_element& e = b.c.elements[k];
  const int corners = !b.skin                                                                 ? 0
                      : b.shapes[k] == solid_shape::tet4 || b.shapes[k] == solid_shape::tet10 ? 4
                                                                                              : 8;
  const std::int32_t* fields = b.c.element_nodes.data() + e.first_node;
  for (int n = 0; n < corners; ++n) {
    if (n >= e.node_count || fields[n] == 0) {
      if (!raise) {
        return false;
      }
      b.raise(any_undefined_node, "element " + std::to_string(e.label) + " on " + at_line(e.line) +
                                      " has no node in a corner field");
    }
  }
  if (b.nodes_defined(fields, e.node_count)) {
    return true;
  }
  for (std::int32_t n = 0; n < e.node_count && raise; ++n) {
    const std::int32_t label = fields[n];
    if (label != 0 && b.node_index(label) == 0) {
      b.raise(any_undefined_node, "element " + std::to_string(e.label) + " on " + at_line(e.line) +
                                      " uses node " + std::to_string(label) +
                                      ", which no node block or N command defines");
    }
  }
  return false;
}

// Each half of the boundary finds its first element with a fault; the
// first of them raises it.
void check_boundary_nodes(const building& b) {
  std::size_t faulty[2] = {SIZE_MAX, SIZE_MAX};
  in_halves(b.boundary.size(), b.choices.threads,
            [&](int half, std::size_t begin, std::size_t end) {
              for (std::size_t k = begin; k < end; ++k) {
                if (!element_nodes_defined(b, b.boundary[k], false)) {
                  faulty[half] = k;
                  return;
                }
              }
            });
  const std::size_t k = std::min(faulty[0], faulty[1]);
  if (k != SIZE_MAX) {
    element_nodes_defined(b, b.boundary[k], true);
  }
}

// The field points in ascending label order, each a defined node.
void choose_field_points(building& b) {
  const label_set points(b.c.field_points);
  for (const auto& r : points.ranges) {
    for (std::int64_t label = r.first; label <= r.second; ++label) {
      if (b.node_index(static_cast<std::int32_t>(label)) == 0) {
        b.raise(any_field_fault, "field point " + std::to_string(label) + " of FIELDPOINTS (" +
                                     at_line(b.c.field_points.line) +
                                     ") is a node no block defines");
      }
      b.point_labels.push_back(static_cast<std::int32_t>(label));
    }
  }
}

// The field cells in record order: each named cell defined, not a solid,
// its corners field points.
std::vector<std::uint32_t> choose_field_cells(const building& b, const label_set& cells) {
  std::vector<std::uint32_t> chosen;
  for (const auto& r : cells.ranges) {
    for (std::int64_t label = r.first; label <= r.second; ++label) {
      if (b.element(static_cast<std::int32_t>(label)) == nullptr) {
        b.raise(any_field_fault, "field cell " + std::to_string(label) + " of FIELDCELLS (" +
                                     at_line(b.c.field_cells.line) +
                                     ") is an element no block defines");
      }
    }
  }
  for (std::uint32_t k = 0; k < b.c.elements.size(); ++k) {
    const any_element& e = b.c.elements[k];
    if (!cells.has(e.label)) {
      continue;
    }
    if (is_solid(b.classes[k])) {
      b.raise(any_field_fault, "field cell " + std::to_string(e.label) + " on " + at_line(e.line) +
                                   " is a solid element");
    }
    if (e.node_count < 1) {
      b.raise(any_field_fault, "field cell " + std::to_string(e.label) + " on " + at_line(e.line) +
                                   " has no node fields");
    }
    for (std::int32_t n = 0; n < std::min(e.node_count, 4); ++n) {
      const std::int32_t label = b.c.element_nodes[e.first_node + static_cast<std::uint32_t>(n)];
      if (b.point_index(label) == 0) {
        b.raise(any_field_fault, "field cell " + std::to_string(e.label) + " on " +
                                     at_line(e.line) + ": corner node " + std::to_string(label) +
                                     " is not a field point");
      }
    }
    chosen.push_back(k);
  }
  return chosen;
}

// The label the conditions of one kind use: the one asked for, or the
// only one; -1 when there are none.
std::int32_t choose_label(const building& b, const std::vector<label_use>& uses,
                          const std::string& asked, const char* records, const char* option) {
  std::string found;
  for (const label_use& u : uses) {
    found += (found.empty() ? "" : ", ") + u.label + " (" + std::to_string(u.count) + ")";
  }
  if (!asked.empty()) {
    std::string upper = asked;
    for (char& ch : upper) {
      ch = ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
    }
    for (std::size_t k = 0; k < uses.size(); ++k) {
      if (uses[k].label == upper) {
        return static_cast<std::int32_t>(k);
      }
    }
    b.raise(any_label_choice, std::string("no ") + records + " record has the label " + upper +
                                  (found.empty() ? "" : "; the archive has " + found));
  }
  if (uses.size() > 1) {
    b.raise(any_label_choice, std::string("the ") + records + " records have several labels: " +
                                  found + "; choose one with " + option);
  }
  return uses.empty() ? -1 : 0;
}

std::int32_t triangle_bound(const any_element& e) { return e.node_count > 4 ? 6 : 2; }

// The skin faces of a solid as triangles of their face numbers.
void triangulate_skin_faces(building& b, triangle_builder& builder, solid_volumes* volumes,
                            const any_element& e, std::size_t& next_face, std::uint32_t element) {
  const std::vector<skin_face>& faces = b.skin_faces.faces;
  const bool on_skin = next_face < faces.size() && faces[next_face].element == element;
  if (!on_skin && volumes == nullptr) {
    return;
  }
  std::int32_t nodes[64];
  const std::int32_t* fields = b.c.element_nodes.data() + e.first_node;
  for (std::int32_t k = 0; k < e.node_count && k < 64; ++k) {
    nodes[k] = fields[k] != 0 ? b.node_index(fields[k]) : 0;
  }
  const solid_shape shape = b.shapes[element];
  // The element's own volume, over its faces, beside the skin's.
  if (volumes != nullptr) {
    const double volume = volumes->of(nodes, std::min(e.node_count, 64), shape);
    b.volumes->elements_volume += volume;
    if (volume < 0.0 && b.volumes->negative++ < 5) {
      b.volumes->negative_examples.emplace_back(e.label, volume);
    }
  }
  for (; next_face < faces.size() && faces[next_face].element == element; ++next_face) {
    const element_face face =
        solid_face(nodes, std::min(e.node_count, 64), shape, faces[next_face].face);
    for (int k = 0; k < face.corner_count; ++k) {
      if (face.corners[k] == 0) {
        b.raise(any_undefined_node, "element " + std::to_string(e.label) + " on " +
                                        at_line(e.line) + " has no node in a corner field");
      }
    }
    triangulate_face(builder, face.corners, face.corner_count, face.midsides,
                     faces[next_face].face);
  }
}

// The face of a boundary element as node indices among the defined nodes.
element_face boundary_face(const building& b, const any_element& e) {
  const std::int32_t* fields = b.c.element_nodes.data() + e.first_node;
  std::int32_t nodes[8] = {};
  int count = e.node_count;
  const int type = b.type_of(e);
  if (type >= 0) {
    count = b.type_nodes[static_cast<std::size_t>(type)];
  }
  count = std::min(count, 8);
  for (int k = 0; k < std::min<int>(count, e.node_count); ++k) {
    nodes[k] = fields[k] != 0 ? b.node_index(fields[k]) : 0;
  }
  if (count < 3 || (count > 4 && count != 6 && count != 8)) {
    count = std::min<int>(e.node_count, 4);
  }
  const element_face face = shell_face(nodes, count);
  for (int k = 0; k < face.corner_count; ++k) {
    if (face.corners[k] == 0) {
      b.raise(any_undefined_node, "element " + std::to_string(e.label) + " on " + at_line(e.line) +
                                      " has no node in a corner field");
    }
  }
  return face;
}

// Node indices among the defined nodes become positions among the nodes
// the triangles use; the defined nodes' columns shrink to those.
std::int32_t keep_used_nodes(building& b) {
  model_store& s = b.m.store;
  const std::int64_t defined = b.node_count();
  std::vector<std::int32_t> position(static_cast<std::size_t>(defined) + 1, 0);
  const std::int64_t corners = 3 * static_cast<std::int64_t>(b.m.counts.triangle_count);
  for (std::int64_t k = 1; k <= corners; ++k) {
    position[static_cast<std::size_t>(s.triangle_nodes[k])] = 1;
  }
  std::int32_t used = 0;
  for (std::int64_t n = 1; n <= defined; ++n) {
    if (position[static_cast<std::size_t>(n)] != 0) {
      position[static_cast<std::size_t>(n)] = ++used;
      for (int a = 1; a <= 3; ++a) {
        s.node_xyz[3 * (used - 1) + a] = s.node_xyz[3 * (n - 1) + a];
      }
      s.node_label[used] = b.c.node_labels[static_cast<std::size_t>(n - 1)];
    }
  }
  for (std::int64_t k = 1; k <= corners; ++k) {
    s.triangle_nodes[k] = position[static_cast<std::size_t>(s.triangle_nodes[k])];
  }
  return used;
}

void apply_potentials(building& b, std::int32_t dof) {
  model_store& s = b.m.store;
  const std::int32_t n = b.m.counts.node_count;
  const std::int32_t* first = &s.node_label[1];
  passed_records outside;
  std::int64_t last_line = -2;
  std::int32_t last_node = 0;
  int skips = 0;
  for (const any_potential& p : b.c.potentials) {
    if (p.dof != dof) {
      continue;
    }
    // A repeat of the record just read, for its node, right after it.
    if (p.line == last_line + 1 && p.node == last_node && skips > 0) {
      --skips;
      last_line = p.line;
      continue;
    }
    last_line = p.line;
    last_node = p.node;
    skips = 2;
    const std::int32_t* at = std::lower_bound(first, first + n, p.node);
    if (at == first + n || *at != p.node) {
      outside.add(p.line);
      continue;
    }
    s.node_potential[at - first + 1] = p.value;
  }
  if (outside.count > 0) {
    b.notes.push_back(
        std::to_string(outside.count) +
        " potentials on nodes that are not boundary nodes passed over, the first on " +
        at_line(outside.first_line));
  }
}

void apply_fluxes(building& b, std::int32_t load) {
  passed_records keys, edges, elsewhere;
  for (const any_flux& q : b.c.fluxes) {
    if (q.load != load) {
      continue;
    }
    if (q.key != 0 && q.key != 1) {
      keys.add(q.line);
      continue;
    }
    const std::int32_t position = b.m.store.element_position.find(q.element);
    if (position == 0) {
      elsewhere.add(q.line);
    } else if (b.skin) {
      // A face of a solid carries its flux when it is on the skin.
      if (set_face_flux(b.m, position, q.face, q.mean) == 0) {
        edges.add(q.line);
      }
    } else if (q.face != 1 && q.face != 2 && q.face != 0) {
      edges.add(q.line);
    } else {
      set_element_flux(b.m, position, q.mean);
    }
  }
  const std::pair<passed_records*, const char*> passed[] = {
      {&keys, " fluxes of a value key other than 0 and 1"},
      {&edges, b.skin ? " fluxes on faces of solids that are not on the skin"
                      : " fluxes on edges of surface elements"},
      {&elsewhere, " fluxes on elements that are not boundary elements"}};
  for (const auto& [records, what] : passed) {
    if (records->count > 0) {
      b.notes.push_back(std::to_string(records->count) + what + " passed over, the first on " +
                        at_line(records->first_line));
    }
  }
}

void check_values(const building& b, std::int32_t dof) {
  for (const any_potential& p : b.c.potentials) {
    if (p.dof == dof && p.form != value_form::number) {
      const char* what = p.form == value_form::table       ? "a table, not a number"
                         : p.form == value_form::all_nodes ? "D,ALL, which needs a selection"
                                                           : "a value that is not a number";
      b.raise(any_condition_value, at_line(p.line) + ": the potential is " + what);
    }
  }
}

// The coordinates of the field points; the defined nodes' coordinates
// are the store's already.
void fill_field_points(building& b) {
  model_store& s = b.m.store;
  for (std::size_t p = 0; p < b.point_labels.size(); ++p) {
    const std::int64_t n = b.node_index(b.point_labels[p]);
    for (int a = 1; a <= 3; ++a) {
      s.field_point_xyz[static_cast<std::int64_t>(3 * p) + a] = s.node_xyz[3 * (n - 1) + a];
    }
  }
}

// The skin's triangles when no volumes are summed: those of the solids
// with skin faces, in record order, then the first triangle and the
// position by label of every solid, in two halves.  Most solids of a
// large model have no skin face.
void make_skin_triangles(building& b) {
  model_store& s = b.m.store;
  triangle_builder builder(b.m);
  const std::vector<skin_face>& faces = b.skin_faces.faces;
  // Each solid with skin faces: its position, and the first triangle after
  // its own.  Its faces' elements are solids of the boundary, which lists
  // them in record order.
  std::vector<std::pair<std::int64_t, std::int32_t>> ends;
  std::size_t at = 0;  // the last solid's place in the boundary
  // The solids with skin faces lie far apart in the element arrays: the
  // record of the solid some faces ahead is fetched, nearer ones' node
  // fields, and the nearest ones' coordinates, so that each is in the
  // cache when its face is split.
  constexpr std::size_t records_ahead = 24;
  constexpr std::size_t fields_ahead = 12;
  constexpr std::size_t coordinates_ahead = 4;
  auto fields_of = [&](std::size_t face) {
    const any_element& e = b.c.elements[faces[face].element];
    return std::make_pair(b.c.element_nodes.data() + e.first_node, std::min(e.node_count, 64));
  };
  auto fetch_ahead = [&](std::size_t face) {
    if (face + records_ahead < faces.size()) {
      fetch_soon(&b.c.elements[faces[face + records_ahead].element]);
    }
    if (face + fields_ahead < faces.size()) {
      const auto [fields, count] = fields_of(face + fields_ahead);
      fetch_soon(fields);
      fetch_soon(fields + std::max(count, 1) - 1);
    }
    if (face + coordinates_ahead < faces.size()) {
      const auto [fields, count] = fields_of(face + coordinates_ahead);
      for (std::int32_t k = 0; k < count; ++k) {
        if (const std::int32_t node = fields[k] != 0 ? b.node_index(fields[k]) : 0; node != 0) {
          fetch_soon(s.node_xyz.column(node));
        }
      }
    }
  };
  const bool every_element = b.boundary.size() == b.c.elements.size();
  for (std::size_t next_face = 0; next_face < faces.size();) {
    fetch_ahead(next_face);
    const std::uint32_t element = faces[next_face].element;
    // The solid's place: its index when every element is a solid, else
    // searched from the last one's by steps that double (the next solid
    // with skin faces mostly lies near), then halved.
    if (every_element) {
      at = element;
    } else {
      std::size_t step = 1;
      std::size_t low = at;
      while (at + step < b.boundary.size() && b.boundary[at + step] < element) {
        low = at + step;
        step *= 2;
      }
      const auto first = b.boundary.begin();
      const auto from = first + static_cast<std::ptrdiff_t>(low);
      const auto to = first + static_cast<std::ptrdiff_t>(std::min(at + step, b.boundary.size()));
      at = static_cast<std::size_t>(std::lower_bound(from, to, element) - first);
    }
    const std::int64_t position = static_cast<std::int64_t>(at) + 1;
    const any_element& e = b.c.elements[element];
    builder.begin_element(position, e.label);
    triangulate_skin_faces(b, builder, nullptr, e, next_face, element);
    ends.emplace_back(position, builder.count() + 1);
  }
  builder.finish();
  // Positions 1 to E + 1: a solid without skin faces begins where the
  // last one with them before it ended.
  const std::int64_t count = static_cast<std::int64_t>(b.boundary.size());
  std::vector<std::pair<std::int32_t, std::int32_t>> sparse[2];
  in_halves(static_cast<std::size_t>(count) + 1, b.choices.threads,
            [&](int half, std::size_t begin, std::size_t end) {
              auto next = std::lower_bound(
                  ends.begin(), ends.end(), static_cast<std::int64_t>(begin) + 1,
                  [](const auto& entry, std::int64_t p) { return entry.first < p; });
              std::int32_t first = next == ends.begin() ? 1 : std::prev(next)->second;
              for (auto p = static_cast<std::int64_t>(begin) + 1;
                   p <= static_cast<std::int64_t>(end); ++p) {
                if (next != ends.end() && next->first == p) {
                  first = next->second;
                  ++next;
                } else {
                  s.element_first_triangle[p] = first;
                }
                if (p <= count) {
                  const std::int32_t label =
                      b.c.elements[b.boundary[static_cast<std::size_t>(p - 1)]].label;
                  if (!s.element_position.add_dense(label, static_cast<std::int32_t>(p))) {
                    sparse[half].emplace_back(label, static_cast<std::int32_t>(p));
                  }
                }
              }
            });
  for (const auto& half : sparse) {
    s.element_position.sparse.insert(s.element_position.sparse.end(), half.begin(), half.end());
  }
  s.element_position.seal();
}

// The boundary elements' faces as triangles, in record order.
void make_triangles(building& b) {
  if (b.skin && !b.choices.volumes) {
    make_skin_triangles(b);
    return;
  }
  model_store& s = b.m.store;
  triangle_builder builder(b.m);
  std::size_t next_face = 0;
  std::optional<solid_volumes> volumes;
  if (b.skin && b.choices.volumes) {
    volumes.emplace(s.node_xyz.begin());
  }
  for (std::size_t k = 0; k < b.boundary.size(); ++k) {
    const any_element& e = b.c.elements[b.boundary[k]];
    const auto position = static_cast<std::int32_t>(k + 1);
    builder.begin_element(position, e.label);
    if (b.skin) {
      triangulate_skin_faces(b, builder, volumes ? &*volumes : nullptr, e, next_face,
                             b.boundary[k]);
    } else {
      const element_face face = boundary_face(b, e);
      triangulate_face(builder, face.corners, face.corner_count, face.midsides, 0);
    }
    s.element_position.add(e.label, position);
  }
  builder.finish();
  s.element_position.seal();
}

// Each field cell's four corners among the field points; a triangle
// repeats its third.
void fill_field_cells(building& b, const std::vector<std::uint32_t>& cells) {
  model_store& s = b.m.store;
  for (std::size_t c = 0; c < cells.size(); ++c) {
    const any_element& e = b.c.elements[cells[c]];
    const std::int32_t* fields = b.c.element_nodes.data() + e.first_node;
    for (int k = 0; k < 4; ++k) {
      const std::int32_t label = fields[std::min(k, e.node_count - 1)];
      s.field_cell_nodes[static_cast<std::int64_t>(4 * c) + k + 1] = b.point_index(label);
    }
    s.field_cell_element[static_cast<std::int64_t>(c) + 1] = e.label;
  }
}

}  // namespace

void build_any_model(archive_contents& contents, const any_choices& choices, model& m,
                     std::vector<std::string>& notes, solid_volume_figures& solids) {
  building b(contents, choices, m, notes);
  b.volumes = &solids;
  sort_nodes(b);
  b.index_nodes();
  check_reading(b);
  const label_set cells(contents.field_cells);
  choose_boundary(b, cells);
  check_boundary_nodes(b);
  choose_field_points(b);
  b.index_points();
  const std::vector<std::uint32_t> field_cells = choose_field_cells(b, cells);
  const std::int32_t dof = choose_label(b, contents.dofs, choices.dof, "D", "--dof");
  const std::int32_t load = choose_label(b, contents.loads, choices.flux, "SFE", "--flux");
  check_values(b, dof);

  // The store one group at a time, each read part freed before the next
  // is taken: every defined node first, shrunk to the used ones once the
  // triangles are made.
  if (b.skin) {
    find_solid_skin(b, choices.threads);
    solids.skin = true;
  }
  std::int64_t bound = 0;
  if (b.skin) {
    bound = 6 * static_cast<std::int64_t>(b.skin_faces.faces.size());
  } else {
    for (std::uint32_t k : b.boundary) {
      bound += triangle_bound(contents.elements[k]);
    }
  }
  m.counts.node_count = static_cast<std::int32_t>(b.node_count());
  m.counts.element_count = static_cast<std::int32_t>(b.boundary.size());
  m.counts.field_point_count = static_cast<std::int32_t>(b.point_labels.size());
  m.counts.field_cell_count = static_cast<std::int32_t>(field_cells.size());
  std::uint64_t total = 0;
  allocate_node_columns(m.counts, m.store, choices.store_budget, total,
                        contents.node_xyz.release());
  model_store& s = m.store;
  fill_field_points(b);

  std::vector<std::uint32_t>().swap(b.by_label);
  b.elements_by_label = dense_index{};
  std::vector<element_class>().swap(b.classes);
  allocate_triangle_columns(m.counts, m.store, choices.store_budget, total, bound);
  make_triangles(b);
  fill_field_cells(b, field_cells);
  grow_array<any_element>().swap(contents.elements);
  grow_array<std::int32_t>().swap(contents.element_nodes);
  b.nodes_by_label = dense_index{};

  const std::int32_t used = keep_used_nodes(b);
  m.counts.node_count = used;
  s.node_xyz.extent = 3 * static_cast<std::int64_t>(used);
  s.node_label.extent = used + m.counts.field_point_count;
  for (std::size_t p = 0; p < b.point_labels.size(); ++p) {
    s.node_label[used + static_cast<std::int64_t>(p) + 1] = b.point_labels[p];
  }
  allocate_condition_columns(m.counts, m.store, choices.store_budget, total,
                             m.counts.triangle_count);
  // A second thread makes the condition columns' fresh pages ready while
  // this one fills them: their first touch is much of the building's time.
  early_task pages;
  // With one thread it is not done at all; its thread is waited for at
  // the end of the building, and it cannot fail.
  pages.start(choices.threads > 1, [&s] { populate_condition_columns(s); });

  set_default_conditions(s);
  if (dof >= 0) {
    apply_potentials(b, dof);
  }
  classify_triangles(m);
  if (load >= 0) {
    apply_fluxes(b, load);
  }
  if (contents.stray_records.count > 0) {
    notes.push_back(std::to_string(contents.stray_records.count) +
                    " records of numbers outside any block passed over, the first on " +
                    at_line(contents.stray_records.first_line));
  }
  if (contents.solution_conditions.count > 0) {
    notes.push_back(std::to_string(contents.solution_conditions.count) +
                    " conditions after FINISH (a solution section) passed over, the first on " +
                    at_line(contents.solution_conditions.first_line));
  }
  if (b.skin) {
    notes.push_back("the boundary taken: the skin of " + std::to_string(b.boundary.size()) +
                    " solid elements");
  } else if (!notes.empty()) {
    notes.push_back("the boundary taken: " + std::to_string(b.boundary.size()) +
                    " shell and surface elements");
  }
}

}  // namespace cdbbem
