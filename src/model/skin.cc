#include "model/skin.h"

#include <algorithm>
#include <bit>
#include <memory>
#include <vector>

#include "model/grow_array.h"
#include "model/solid_faces.h"
#include "platform/machine.h"
#include "textrec/early_task.h"
#include "textrec/failure.h"

namespace cdbbem {

namespace {

// Each face with area is known by an id, its element's index shifted past
// 3 bits for its number, and by its distinct corners.  Faces are matched
// by their lowest corner (below) when the labels allow, and otherwise
// through buckets, which take any labels.  A 64-bit hash of the corners
// picks a face's bucket, so that the faces of one corner set meet
// in one bucket, where sorting by corners brings them together.  The
// buckets are taken in parts of about the same number of faces, each part
// holding the corners of its faces beside their ids: nothing is read back
// from the elements at random, and the memory is that of one part.  Each
// part reads the elements again in order and keeps only its own faces.
constexpr int face_bits = 3;

// Buckets of about this many faces when every element is a brick, but no
// more buckets than `most_bucket_bits` give: filling them keeps the next
// place of each in the cache whatever the mesh's size, and a larger
// bucket costs only a larger spread by the hash inside it.
constexpr std::uint64_t bucket_faces = 4096;
constexpr int most_bucket_bits = 11;

// The faces are taken in one part when they take no more than this, and
// otherwise in two: a part costs one more reading of the elements, but
// from a hundred thousand elements on, half the faces is memory the peak
// of a run can no longer carry.
constexpr std::uint64_t part_bytes_below = std::uint64_t{2} << 20;

// A face: its distinct corners ascending (a set of 3 repeats its last,
// which sets 4 distinct corners apart), then its id.
struct face_entry {
  std::uint32_t corners[4];
  std::uint32_t id;
};

std::uint64_t high_pair(const face_entry& e) {
  return std::uint64_t{e.corners[0]} << 32 | e.corners[1];
}
std::uint64_t low_pair(const face_entry& e) {
  return std::uint64_t{e.corners[2]} << 32 | e.corners[3];
}

bool same_corners(const face_entry& a, const face_entry& b) {
  return high_pair(a) == high_pair(b) && low_pair(a) == low_pair(b);
}

// By corners, then by id: one set's faces together, in element order.
bool before(const face_entry& a, const face_entry& b) {
  if (high_pair(a) != high_pair(b)) {
    return high_pair(a) < high_pair(b);
  }
  if (low_pair(a) != low_pair(b)) {
    return low_pair(a) < low_pair(b);
  }
  return a.id < b.id;
}

std::uint64_t corner_hash(const face_entry& e) {
  std::uint64_t h = high_pair(e) * 0x9E3779B97F4A7C15u ^ low_pair(e) * 0xC2B2AE3D27D4EB4Fu;
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDu;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53u;
  return h ^ (h >> 33);
}

skin_face face_of(std::uint32_t id) {
  return {id >> face_bits, static_cast<std::uint8_t>(id & ((1u << face_bits) - 1))};
}

void order(std::uint32_t& a, std::uint32_t& b) {
  const std::uint32_t low = std::min(a, b);
  b = std::max(a, b);
  a = low;
}

// The entry of a face of corners a, b, c (and d when `four`); false for a
// face of fewer than 3 distinct corners.  Every face of every element
// passes here, so the corners stay values in registers rather than an
// array sorted in memory.  They are compared as unsigned values: any order
// serves that is the same for all faces.
template <bool four>
[[gnu::always_inline]] inline bool face_of_corners(std::uint32_t a, std::uint32_t b,
                                                   std::uint32_t c, std::uint32_t d,
                                                   std::uint32_t id, face_entry& e) {
  if constexpr (four) {
    order(a, b);
    order(c, d);
    order(a, c);
    order(b, d);
    order(b, c);
    const int repeats = (a == b) + (b == c) + (c == d);
    if (repeats > 1) {
      return false;
    }
    if (repeats == 1) {
      // The one repeat dropped: a b c d becomes the 3 distinct, the last
      // repeated.
      b = a == b ? c : b;
      c = c == d ? c : d;
      d = c;
    }
  } else {
    order(a, b);
    order(b, c);
    order(a, b);
    if (a == b || b == c) {
      return false;
    }
    d = c;
  }
  e = {{a, b, c, d}, id};
  return true;
}

// A range of corner labels; empty when no corner was seen.
struct label_range {
  std::uint32_t lowest = UINT32_MAX;
  std::uint32_t highest = 0;
  bool quadrilaterals = false;  // an element of six faces was seen
  bool empty() const { return lowest > highest; }
};

// The elements of a run whose lowest corner the search by lowest corner
// notes, to know which lists are final.
constexpr std::int64_t block_elements = 256;

// One past every corner label.
constexpr std::uint64_t beyond_labels = std::uint64_t{UINT32_MAX} + 1;

// Reads the faces of the caller's elements in order, each shape's corner
// fields taken from the face table once.
class face_scan {
 public:
  explicit face_scan(const solid_elements& s) : s_(s) {
    for (int shape = 0; shape < shape_count; ++shape) {
      shape_table& t = tables_[shape];
      t.faces = solid_face_count(static_cast<solid_shape>(shape));
      t.corner_fields = t.faces == 6 ? 8 : 4;
      for (int face = 1; face <= t.faces; ++face) {
        solid_face_corner_fields(static_cast<solid_shape>(shape), face, t.corners[face - 1]);
      }
    }
  }

  // The lowest and highest corner label of elements [begin, end), and
  // into `blocks`, for each run of `block_elements` of them, the lowest of
  // that run and every run after it.
  label_range corner_range(std::int64_t begin, std::int64_t end,
                           std::vector<std::uint32_t>& blocks) const {
    label_range r;
    blocks.assign(static_cast<std::size_t>((end - begin + block_elements - 1) / block_elements),
                  UINT32_MAX);
    for (std::int64_t k = begin; k < end; ++k) {
      const auto shape = static_cast<int>(s_.shape[k]);
      if (shape >= shape_count || tables_[shape].faces == 0) {
        continue;
      }
      r.quadrilaterals = r.quadrilaterals || tables_[shape].faces == 6;
      const std::int32_t* fields = fields_of(k);
      const int corners = std::min(tables_[shape].corner_fields, written_of(k));
      std::uint32_t lowest = corners < tables_[shape].corner_fields ? 0 : UINT32_MAX;
      for (int c = 0; c < corners; ++c) {
        const auto label = static_cast<std::uint32_t>(fields[c]);
        lowest = std::min(lowest, label);
        r.highest = std::max(r.highest, label);
      }
      // A corner not written counts as 0.
      r.lowest = std::min(r.lowest, lowest);
      std::uint32_t& block = blocks[static_cast<std::size_t>((k - begin) / block_elements)];
      block = std::min(block, lowest);
    }
    for (std::size_t b = blocks.size(); b-- > 1;) {
      blocks[b - 1] = std::min(blocks[b - 1], blocks[b]);
    }
    return r;
  }

  // Calls `each(entry, hash)` for every face with area of elements
  // [begin, end), in element order.
  template <typename F>
  void each(std::int64_t begin, std::int64_t end, F each) const {
    for (std::int64_t k = begin; k < end; ++k) {
      const auto shape = static_cast<int>(s_.shape[k]);
      if (shape >= shape_count || tables_[shape].faces == 0) {
        continue;
      }
      const shape_table& t = tables_[shape];
      const std::int32_t* fields = fields_of(k);
      const int written = written_of(k);
      const auto first_id = static_cast<std::uint32_t>(k << face_bits);
      // An element with every corner written, by the constant face table of
      // its shape: its corners then stay in registers.
      if (t.faces == 6 && written >= 8) {
        faces_of<true>(fields, brick_face_corners, first_id, each);
        continue;
      }
      if (t.faces == 4 && written >= 4) {
        faces_of<false>(fields, tet_face_corners, first_id, each);
        continue;
      }
      std::uint32_t corners[8] = {};
      for (int c = 0; c < t.corner_fields; ++c) {
        corners[c] = c < written ? static_cast<std::uint32_t>(fields[c]) : 0;
      }
      for (int face = 0; face < t.faces; ++face) {
        const int* at = t.corners[face];
        face_entry e;
        const std::uint32_t id = first_id | static_cast<std::uint32_t>(face + 1);
        const bool area =
            t.faces == 6
                ? face_of_corners<true>(corners[at[0]], corners[at[1]], corners[at[2]],
                                        corners[at[3]], id, e)
                : face_of_corners<false>(corners[at[0]], corners[at[1]], corners[at[2]], 0, id, e);
        if (area) {
          each(e, corner_hash(e));
        }
      }
    }
  }

 private:
  // The faces of a brick (`four`, 6 faces of 4 corners) or of a tet (4 of
  // 3) whose corner fields are all written.
  template <bool four, std::size_t faces, std::size_t corners, typename F>
  [[gnu::always_inline]] static void faces_of(const std::int32_t* fields,
                                              const std::uint8_t (&table)[faces][corners],
                                              std::uint32_t first_id, F& each) {
    std::uint32_t c[8] = {};
    for (std::size_t k = 0; k < (four ? 8 : 4); ++k) {
      c[k] = static_cast<std::uint32_t>(fields[k]);
    }
#pragma GCC unroll 6
    for (std::size_t face = 0; face < faces; ++face) {
      face_entry e;
      const std::uint32_t id = first_id | static_cast<std::uint32_t>(face + 1);
      if (face_of_corners<four>(c[table[face][0]], c[table[face][1]], c[table[face][2]],
                                four ? c[table[face][corners - 1]] : 0, id, e)) {
        each(e, corner_hash(e));
      }
    }
  }

  const std::int32_t* fields_of(std::int64_t k) const {
    return s_.nodes +
           (s_.first_node.first != nullptr ? std::int64_t{s_.first_node[k]} : k * s_.nodes_each);
  }
  int written_of(std::int64_t k) const {
    return s_.node_count.first != nullptr ? s_.node_count[k] : s_.nodes_each;
  }

  static constexpr int shape_count = 5;
  struct shape_table {
    int faces = 0;
    int corner_fields = 0;  // the fields that hold its corners
    int corners[6][4] = {};
  };
  const solid_elements& s_;
  shape_table tables_[shape_count];
};

// What matching a range of buckets finds, and its scratch.
struct match_result {
  std::vector<std::uint32_t> skin;  // ids of faces no other element has
  std::int64_t shared_by_more = 0;
  std::uint32_t first_shared = UINT32_MAX;
  std::vector<face_entry> sorted;
  std::vector<std::uint16_t> groups;
  std::vector<std::uint32_t> starts;
};

// Takes each run of one corner set in [begin, end), sorted: skin when one
// element has it, shared by more when three or more do.
void take_runs(const face_entry* begin, const face_entry* end, match_result& out) {
  for (const face_entry* run = begin; run < end;) {
    const face_entry* next = run + 1;
    int elements = 1;
    while (next < end && same_corners(*next, *run)) {
      elements += (next->id >> face_bits) != (next[-1].id >> face_bits) ? 1 : 0;
      ++next;
    }
    if (elements == 1) {
      for (const face_entry* f = run; f < next; ++f) {
        out.skin.push_back(f->id);
      }
    } else if (elements >= 3) {
      ++out.shared_by_more;
      out.first_shared = std::min(out.first_shared, run->id);
    }
    run = next;
  }
}

// Sorts [begin, end) by corners, then id; few faces, mostly in order.
void insertion_sort(face_entry* begin, face_entry* end) {
  for (face_entry* f = begin + 1; f < end; ++f) {
    const face_entry moved = *f;
    face_entry* to = f;
    for (; to > begin && before(moved, to[-1]); --to) {
      *to = to[-1];
    }
    *to = moved;
  }
}

// Matches the faces of each bucket of [first, last) (from `entries +
// start[b]`).  A bucket is first spread by the next bits of the hash into
// groups of a face or two, in order of those bits, so that what is sorted
// by corners are those small groups: equal sets have equal hashes.
void match_buckets(face_entry* entries, const std::uint32_t* start, std::size_t first,
                   std::size_t last, int bucket_bits, match_result& out) {
  for (std::size_t b = first; b < last; ++b) {
    face_entry* begin = entries + start[b];
    const std::size_t size = start[b + 1] - start[b];
    if (size == 0) {
      continue;
    }
    const int group_bits = std::min(static_cast<int>(std::bit_width(size)), 16);
    const std::size_t groups = std::size_t{1} << group_bits;
    out.starts.assign(groups + 1, 0);
    out.sorted.resize(std::max(out.sorted.size(), size));
    out.groups.resize(std::max(out.groups.size(), size));
    for (std::size_t k = 0; k < size; ++k) {
      const auto g =
          static_cast<std::uint16_t>(corner_hash(begin[k]) << bucket_bits >> (64 - group_bits));
      out.groups[k] = g;
      ++out.starts[g + 1u];
    }
    for (std::size_t g = 0; g < groups; ++g) {
      out.starts[g + 1] += out.starts[g];
    }
    for (std::size_t k = 0; k < size; ++k) {
      out.sorted[out.starts[out.groups[k]]++] = begin[k];
    }
    // Each group now ends where the next began.
    for (std::size_t g = 0; g < groups; ++g) {
      face_entry* group_begin = out.sorted.data() + (g == 0 ? 0 : out.starts[g - 1]);
      face_entry* group_end = out.sorted.data() + out.starts[g];
      insertion_sort(group_begin, group_end);
      take_runs(group_begin, group_end, out);
    }
  }
}

// Runs `lower` here and `upper` beside it when two threads are asked for.
template <typename L, typename U>
void in_two(bool parallel, L lower, U upper) {
  early_task beside;
  beside.start(parallel, upper);
  lower();
  beside.finish();
}

// The skin faces the two halves found, marked by element, then listed in
// element order.
solid_skin list_faces(std::int64_t count, match_result& lower, match_result& upper) {
  solid_skin skin;
  skin.shared_by_more = lower.shared_by_more + upper.shared_by_more;
  if (skin.shared_by_more > 0) {
    skin.first_shared = face_of(std::min(lower.first_shared, upper.first_shared));
  }
  std::vector<std::uint8_t> marks(static_cast<std::size_t>(count), 0);
  for (const match_result* m : {&lower, &upper}) {
    for (const std::uint32_t id : m->skin) {
      std::uint8_t& mark = marks[id >> face_bits];
      mark = static_cast<std::uint8_t>(mark | (1u << (id & ((1u << face_bits) - 1))));
    }
  }
  skin.faces.reserve(lower.skin.size() + upper.skin.size());
  lower = {};
  upper = {};
  for (std::size_t k = 0; k < marks.size(); ++k) {
    for (unsigned left = marks[k]; left != 0; left &= left - 1) {
      skin.faces.push_back(
          {static_cast<std::uint32_t>(k), static_cast<std::uint8_t>(std::countr_zero(left))});
    }
  }
  return skin;
}

// Matching by lowest corner.  When the corner labels of each half of the
// elements lie close together, every face is listed under its lowest
// corner, in a table indexed by that label.  A corner is the lowest of few
// faces (a node of a brick mesh of about three), and as meshers number
// nodes near their elements, the lists an element's faces go to lie near
// those of the elements just read.  One reading of the elements finds each
// face's corner set or adds it: nothing is counted, placed or sorted, and a
// set is held once, not once per face.

// A corner set, under its lowest corner: the other corners (2 when every
// face is a triangle, else 3, a triangle's last repeated), the first face
// that has it and how many elements do.
template <std::size_t others>
struct listed_face {
  std::uint32_t corners[others];  // ascending
  std::uint32_t id;               // its first face
  std::uint32_t link;  // (next set of the same lowest corner + 1) << 2 | elements, 3 for more
};

constexpr std::uint32_t elements_mask = 3;
constexpr std::size_t most_listed = (std::size_t{1} << 30) - 1;  // what `link` can name

// Labels a table may span beyond twice the elements it lists.
constexpr std::uint64_t span_slack = 4096;

template <std::size_t others>
std::uint32_t elements_of(const listed_face<others>& f) {
  return f.link & elements_mask;
}

template <std::size_t others>
bool same_corners(const listed_face<others>& f, const std::uint32_t* corners) {
  for (std::size_t c = 0; c < others; ++c) {
    if (f.corners[c] != corners[c]) {
      return false;
    }
  }
  return true;
}

// Per lowest corner of one half: its list's first set + 1 (0 for none),
// with `kept_flag` when an element has two faces of one of its sets.
constexpr std::uint32_t kept_flag = std::uint32_t{1} << 31;
constexpr std::uint32_t head_mask = kept_flag - 1;

// The sets of the faces of one half of the elements.  Its elements are
// read in runs of `block_elements`; before each run, the lists of the
// corners below the lowest corner of every element still to come are
// final, as no face still to come can have them, so their sets are decided
// there and their places taken again.  As meshers number nodes near their
// elements, the sets held are then those of the faces about the elements
// being read, not all of them, and they stay in the cache.  A list of a
// corner that the other half's elements may hold stays to the end, when
// the halves' counts are added, and so does one marked kept.
template <std::size_t others>
class corner_lists {
  using set = listed_face<others>;

 public:
  // Lists the faces of elements [begin, end), of corners `range` and of
  // `blocks` as `face_scan::corner_range` gives them; the lists of corners in
  // [final_from, final_to) may be decided on the way, into `out`.  False
  // when a set could not be named (more sets than `link` holds).
  bool build(const face_scan& scan, std::int64_t begin, std::int64_t end, label_range range,
             const std::vector<std::uint32_t>& blocks, std::uint64_t final_from,
             std::uint64_t final_to, match_result& out) {
    range_ = range;
    if (range.empty()) {
      return true;
    }
    head_.assign_zeros(std::size_t{range.highest} - range.lowest + 1);
    const auto faces = static_cast<std::size_t>(end - begin) * 6;
    // Room for every set, as if none were decided before the end; only the
    // pages used are ever touched.
    sets_.reserve(std::max<std::size_t>(faces / 2, 1024));
    std::uint64_t decided = std::max<std::uint64_t>(final_from, range.lowest);
    std::uint32_t touched[6];  // the sets this element's faces have met
    int touched_count = 0;
    bool named = true;
    auto face = [&](const face_entry& e, std::uint64_t) {
      std::uint32_t& first = head_[e.corners[0] - range_.lowest];
      for (std::uint32_t at = first & head_mask; at != 0;) {
        set& f = sets_[at - 1];
        if (same_corners(f, e.corners + 1)) {
          bool again = false;
          for (int t = 0; t < touched_count; ++t) {
            again = again || touched[t] == at;
          }
          if (again) {
            // A second face of this element with the set: skin with the
            // first while no other element has it.
            also_.emplace_back(at, e.id);
            first |= kept_flag;
          } else {
            f.link = (f.link & ~elements_mask) | std::min(elements_of(f) + 1, elements_mask);
            touched[touched_count++] = at;
          }
          return;
        }
        at = f.link >> 2;
      }
      const std::uint32_t at = take_place();
      if (at == 0) {
        named = false;
        return;
      }
      set& added = sets_[at - 1];
      std::copy_n(e.corners + 1, others, added.corners);
      added.id = e.id;
      added.link = (first & head_mask) << 2 | 1;
      first = (first & kept_flag) | at;
      touched[touched_count++] = at;
    };
    for (std::int64_t k = begin; k < end; ++k) {
      if ((k - begin) % block_elements == 0) {
        const std::uint64_t below =
            std::min({std::uint64_t{blocks[static_cast<std::size_t>((k - begin) / block_elements)]},
                      final_to, std::uint64_t{range.highest} + 1});
        for (; decided < below; ++decided) {
          fetch_to_decide(decided, below);
          decide(head_[decided - range_.lowest], out);
        }
      }
      touched_count = 0;
      scan.each(k, k + 1, face);
    }
    return named;
  }

  // The sets of a final list were listed long before and are seldom in
  // cache: the first set of the list some corners ahead is fetched, and
  // the second of a nearer one, whose first came some corners ago.
  void fetch_to_decide(std::uint64_t corner, std::uint64_t below) const {
    constexpr std::uint64_t firsts_ahead = 16;
    constexpr std::uint64_t seconds_ahead = 8;
    if (corner + firsts_ahead < below) {
      if (const std::uint32_t at = head_[corner + firsts_ahead - range_.lowest] & head_mask;
          at != 0) {
        fetch_soon(&sets_[at - 1]);
      }
    }
    if (corner + seconds_ahead < below) {
      if (const std::uint32_t at = head_[corner + seconds_ahead - range_.lowest] & head_mask;
          at != 0) {
        if (const std::uint32_t next = sets_[at - 1].link >> 2; next != 0) {
          fetch_soon(&sets_[next - 1]);
        }
      }
    }
  }

  // Adds to these sets the element counts of the same sets in `upper`,
  // whose elements all follow these, for the lowest corners
  // [from, to) of both tables; those of `upper` are then counted here.
  void take_counts(corner_lists& upper, std::uint64_t from, std::uint64_t to) {
    for (std::uint64_t corner = from; corner < to; ++corner) {
      const std::uint32_t mine = head_[corner - range_.lowest] & head_mask;
      if (mine == 0) {
        continue;
      }
      for (std::uint32_t at = upper.head_[corner - upper.range_.lowest] & head_mask; at != 0;) {
        set& u = upper.sets_[at - 1];
        for (std::uint32_t here = mine; here != 0;) {
          set& f = sets_[here - 1];
          if (same_corners(f, u.corners)) {
            f.link = (f.link & ~elements_mask) |
                     std::min(elements_of(f) + elements_of(u), elements_mask);
            u.link &= ~elements_mask;  // counted here
            break;
          }
          here = f.link >> 2;
        }
        at = u.link >> 2;
      }
    }
  }

  // The faces of sets of one element, and the sets of three or more, of
  // the sets still held.
  void take_results(match_result& out) {
    for (const set& f : sets_) {
      take(f, out);
    }
    for (const auto& [at, id] : also_) {
      if (elements_of(sets_[at - 1]) == 1) {
        out.skin.push_back(id);
      }
    }
  }

 private:
  static void take(const set& f, match_result& out) {
    if (elements_of(f) == 1) {
      out.skin.push_back(f.id);
    } else if (elements_of(f) == 3) {
      ++out.shared_by_more;
      out.first_shared = std::min(out.first_shared, f.id);
    }
  }

  // Decides the sets of a final list, unless it is kept, and frees their
  // places: a free place counts no element, so nothing is taken from it at
  // the end.
  void decide(std::uint32_t& first, match_result& out) {
    if ((first & kept_flag) != 0) {
      return;
    }
    for (std::uint32_t at = first; at != 0;) {
      set& f = sets_[at - 1];
      const std::uint32_t next = f.link >> 2;
      take(f, out);
      f.link = free_ << 2;
      free_ = at;
      at = next;
    }
    first = 0;
  }

  // A place for a new set, + 1: a freed one, or one more; 0 when there can
  // be no more.
  std::uint32_t take_place() {
    if (free_ != 0) {
      const std::uint32_t at = free_;
      free_ = sets_[at - 1].link >> 2;
      return at;
    }
    if (sets_.size() >= most_listed) {
      return 0;
    }
    sets_.push_back(set{});
    return static_cast<std::uint32_t>(sets_.size());
  }

  label_range range_;
  grow_array<std::uint32_t> head_;  // by lowest corner
  grow_array<set> sets_;
  std::uint32_t free_ = 0;  // the first free place + 1, 0 for none
  std::vector<std::pair<std::uint32_t, std::uint32_t>> also_;
};

// The search, in its steps.  Elements [0, middle) are the lower half, read
// here; the upper half is read beside it when there are two threads, each
// half counting and placing its faces apart.
class skin_search {
 public:
  skin_search(const solid_elements& s, int threads)
      : scan_(s),
        count_(std::max<std::int64_t>(s.count, 0)),
        middle_(count_ / 2),
        parallel_(threads > 1),
        bits_(std::clamp(
            static_cast<int>(std::bit_width(static_cast<std::uint64_t>(count_) * 6 / bucket_faces)),
            1, most_bucket_bits)),
        buckets_(std::size_t{1} << bits_),
        lower_count_(buckets_),
        upper_count_(buckets_) {}

  solid_skin run(std::uint64_t part_bytes) {
    count();
    const std::vector<std::size_t> ends = plan_parts(part_bytes);
    entries_ = std::make_unique_for_overwrite<face_entry[]>(largest_ + 2);
    advise_huge_pages(entries_.get(), largest_ * sizeof(face_entry));
    start_.resize(buckets_ + 1);
    std::size_t first = 0;
    for (const std::size_t end : ends) {
      place(first, end);
      match(first, end);
      first = end;
    }
    entries_.reset();
    return list_faces(count_, lower_match_, upper_match_);
  }

 private:
  std::size_t bucket(std::uint64_t hash) const { return hash >> (64 - bits_); }
  std::uint64_t faces_in(std::size_t b) const {
    return std::uint64_t{lower_count_[b]} + upper_count_[b];
  }

  void count() {
    auto count_into = [&](std::int64_t begin, std::int64_t end, std::vector<std::uint32_t>& c) {
      scan_.each(begin, end, [&](const face_entry&, std::uint64_t h) { ++c[bucket(h)]; });
    };
    in_two(
        parallel_, [&] { count_into(0, middle_, lower_count_); },
        [&] { count_into(middle_, count_, upper_count_); });
  }

  // The end of each part's run of buckets: a part ends with the bucket
  // that brings it to `part_bytes` of faces (0: to half of all, or all
  // when they take no more than `part_bytes_below`).
  std::vector<std::size_t> plan_parts(std::uint64_t part_bytes) {
    std::uint64_t total = 0;
    for (std::size_t b = 0; b < buckets_; ++b) {
      total += faces_in(b);
    }
    std::uint64_t capacity = part_bytes / sizeof(face_entry);
    if (part_bytes == 0) {
      capacity = total * sizeof(face_entry) > part_bytes_below ? (total + 1) / 2 : total;
    }
    std::vector<std::size_t> ends;
    std::uint64_t in_part = 0;
    for (std::size_t b = 0; b < buckets_; ++b) {
      in_part += faces_in(b);
      if (in_part >= std::max<std::uint64_t>(capacity, 1) || b + 1 == buckets_) {
        ends.push_back(b + 1);
        largest_ = std::max(largest_, in_part);
        in_part = 0;
      }
    }
    return ends;
  }

  // Places the faces of buckets [first, end): each bucket's from the lower
  // half, then the upper half's.  The faces of other buckets all go to one
  // place past the part's (one for each half, as both may fill it at once),
  // which is cheaper than telling them apart by a branch taken at random.
  void place(std::size_t first, std::size_t end) {
    const auto elsewhere = static_cast<std::uint32_t>(largest_);
    std::vector<std::uint32_t> lower_at(buckets_, elsewhere), upper_at(buckets_, elsewhere + 1);
    std::uint32_t at = 0;
    for (std::size_t b = first; b < end; ++b) {
      start_[b] = at;
      lower_at[b] = at;
      upper_at[b] = at + lower_count_[b];
      at += lower_count_[b] + upper_count_[b];
    }
    start_[end] = at;
    auto place_from = [&](std::int64_t begin, std::int64_t stop, std::vector<std::uint32_t>& to) {
      face_entry* e = entries_.get();
      scan_.each(begin, stop, [&](const face_entry& f, std::uint64_t h) {
        const std::size_t b = bucket(h);
        std::uint32_t& next = to[b];
        e[next] = f;
        next += b - first < end - first ? 1 : 0;
      });
    };
    in_two(
        parallel_, [&] { place_from(0, middle_, lower_at); },
        [&] { place_from(middle_, count_, upper_at); });
  }

  // Matches buckets [first, end), split between the threads where half
  // their faces lie below.
  void match(std::size_t first, std::size_t end) {
    std::size_t split = first;
    while (split < end && start_[split] < start_[end] / 2) {
      ++split;
    }
    face_entry* e = entries_.get();
    const std::uint32_t* s = start_.data();
    in_two(
        parallel_, [&] { match_buckets(e, s, first, split, bits_, lower_match_); },
        [&] { match_buckets(e, s, split, end, bits_, upper_match_); });
  }

  const face_scan scan_;
  const std::int64_t count_;
  const std::int64_t middle_;
  const bool parallel_;
  const int bits_;
  const std::size_t buckets_;
  std::vector<std::uint32_t> lower_count_, upper_count_;
  std::vector<std::uint32_t> start_;
  std::uint64_t largest_ = 0;
  std::unique_ptr<face_entry[]> entries_;
  match_result lower_match_, upper_match_;
};

// The search by lowest corner: each half of the elements listed apart
// (beside each other with two threads), then the counts of the upper
// half's sets that the lower half also has taken into the lower's, split
// between the threads by lowest corner.  False, with nothing found, when
// its sets outgrow what a list can name.
template <std::size_t others>
bool match_by_corner(const face_scan& scan, std::int64_t count, std::int64_t middle, bool parallel,
                     const label_range& lower_range, const label_range& upper_range,
                     const std::vector<std::uint32_t>& lower_blocks,
                     const std::vector<std::uint32_t>& upper_blocks, solid_skin& skin) {
  // The lowest corners both tables span, [from, to): their lists wait for
  // the halves' counts to be added.
  std::uint64_t from = UINT32_MAX, to = 0;
  if (!lower_range.empty() && !upper_range.empty()) {
    from = std::max(lower_range.lowest, upper_range.lowest);
    to = std::uint64_t{std::min(lower_range.highest, upper_range.highest)} + 1;
  }
  corner_lists<others> lower, upper;
  match_result lower_match, upper_match;
  bool lower_named = true, upper_named = true;
  // The lower half decides the corners below the upper's, the upper those
  // above the lower's.
  const std::uint64_t lower_final_to = upper_range.empty() ? beyond_labels : upper_range.lowest;
  const std::uint64_t upper_final_from =
      lower_range.empty() ? 0 : std::uint64_t{lower_range.highest} + 1;
  in_two(
      parallel,
      [&] {
        lower_named =
            lower.build(scan, 0, middle, lower_range, lower_blocks, 0, lower_final_to, lower_match);
      },
      [&] {
        upper_named = upper.build(scan, middle, count, upper_range, upper_blocks, upper_final_from,
                                  beyond_labels, upper_match);
      });
  if (!lower_named || !upper_named) {
    return false;
  }
  if (to > from) {
    const std::uint64_t split = from + (to - from) / 2;
    in_two(
        parallel, [&] { lower.take_counts(upper, from, split); },
        [&] { lower.take_counts(upper, split, to); });
  }
  in_two(
      parallel, [&] { lower.take_results(lower_match); }, [&] { upper.take_results(upper_match); });
  skin = list_faces(count, lower_match, upper_match);
  return true;
}

// Matches by lowest corner unless the labels of a half spread over more
// than twice its elements' worth; false, with nothing found, when it does
// not.  A mesh of only tets lists its sets with two corners beside the
// lowest.
bool search_by_corner(const solid_elements& s, int threads, solid_skin& skin) {
  const face_scan scan(s);
  const std::int64_t count = std::max<std::int64_t>(s.count, 0);
  const bool parallel = threads > 1;
  const std::int64_t middle = parallel ? count / 2 : count;
  label_range lower_range, upper_range;
  std::vector<std::uint32_t> lower_blocks, upper_blocks;
  in_two(
      parallel, [&] { lower_range = scan.corner_range(0, middle, lower_blocks); },
      [&] { upper_range = scan.corner_range(middle, count, upper_blocks); });
  auto too_wide = [](const label_range& r, std::int64_t elements) {
    return !r.empty() && std::uint64_t{r.highest} - r.lowest >=
                             2 * static_cast<std::uint64_t>(elements) + span_slack;
  };
  if (too_wide(lower_range, middle) || too_wide(upper_range, count - middle)) {
    return false;
  }
  if (lower_range.quadrilaterals || upper_range.quadrilaterals) {
    return match_by_corner<3>(scan, count, middle, parallel, lower_range, upper_range, lower_blocks,
                              upper_blocks, skin);
  }
  return match_by_corner<2>(scan, count, middle, parallel, lower_range, upper_range, lower_blocks,
                            upper_blocks, skin);
}
}  // namespace

solid_skin find_skin(const solid_elements& solids, int threads, std::uint64_t part_bytes) {
  if (solids.count > skin_element_limit) {
    fail(report::array_size_overflow, channel::none);
  }
  solid_skin skin;
  if (part_bytes == 0 && search_by_corner(solids, threads, skin)) {
    return skin;
  }
  return skin_search(solids, threads).run(part_bytes);
}

}  // namespace cdbbem
