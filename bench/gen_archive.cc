// gen_archive: writes a large, valid archive for benchmarking the translator.
//
// The model is the closed surface of the cube [-1,1]^3, m x m quadrilaterals
// per face, with edge and corner nodes shared between faces, plus a plane
// g x g grid of field points and its (g-1)^2 cells beside the cube. Every
// number is produced with integer arithmetic, so the output depends only on
// the options and the seed, and the text is built in a large buffer that is
// handed to the file with fwrite.

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

// Coordinates are held as integers in units of 1e-9. Every coordinate lies in
// [-4.5, 4.5], so it has at most ten significant digits and prints exactly in
// E16.9 as well as in the longer layouts.
constexpr std::int64_t unit = 1'000'000'000;
constexpr std::int64_t half_side = unit;  // the cube spans [-1, 1]

// Node numbers go into a 7-column field on the potential records.
constexpr std::int64_t max_node_number = 9'999'999;

// Example model: 6 x 6 quadrilaterals per face and a 6 x 6 field grid.
constexpr std::int64_t example_cells_per_edge = 6;
constexpr std::int64_t example_grid_points = 6;

/// Command-line settings; 0 in a layout means "not given".
struct options {
  std::int64_t nodes = 0;
  std::uint64_t seed = 1;
  int node_layout = 0;  // 0: not given
  int elem_width = 0;   // 0: not given
  bool crlf = false;
  bool example = false;
  bool grouped_potentials = false;
  bool counts_only = false;
  std::string out;
};

/// Sizes of the generated model.
struct model_size {
  std::int64_t m = 0;  // quadrilaterals per cube edge
  std::int64_t g = 0;  // field points per grid edge
  std::int64_t boundary_nodes = 0;
  std::int64_t boundary_elements = 0;
  std::int64_t field_points = 0;
  std::int64_t field_cells = 0;
};

/// Text of a node layout: its layout record and field widths.
struct node_layout_text {
  const char* record;
  int int_width;
  int digits;      // digits after the decimal point
  int exp_digits;  // digits of the exponent
};

constexpr node_layout_text node_layouts[] = {
    {"(3i8,6e16.9)", 8, 9, 2},
    {"(3i8,6e20.13)", 8, 13, 2},
    {"(3i9,6e20.13)", 9, 13, 2},
    {"(3i9,6e21.13e3)", 9, 13, 3},
};

/// Reports a refused request or a failed write and exits with status 2.
[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "gen_archive: %s\n", message.c_str());
  std::exit(2);
}

/// splitmix64 step: a well-mixed 64-bit hash of `x`.
std::uint64_t mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

/// Deterministic integer in [lo, hi] drawn from the seed and a key.
std::int64_t draw(std::uint64_t seed, std::uint64_t key, std::int64_t lo, std::int64_t hi) {
  const auto span = static_cast<std::uint64_t>(hi - lo) + 1;
  return lo + static_cast<std::int64_t>(mix(mix(seed) ^ key) % span);
}

// ---------------------------------------------------------------------------
// Output buffer

/// Collects records in memory and writes them in large blocks.
class record_writer {
 public:
  record_writer(std::FILE* file, bool crlf) : file_(file), crlf_(crlf), buf_(capacity) {}

  /// Returns room for at least `n` bytes (n <= 4096); flushes when needed.
  char* room(std::size_t n) {
    if (used_ + n > buf_.size()) {
      flush();
    }
    return buf_.data() + used_;
  }

  /// Ends the record that was built in place from `room()` up to `end`.
  void end_record(char* end) {
    if (crlf_) {
      *end++ = '\r';
    }
    *end++ = '\n';
    used_ = static_cast<std::size_t>(end - buf_.data());
    ++records_;
  }

  /// Writes one whole record of text.
  void line(std::string_view text) {
    char* p = room(text.size() + 2);
    std::memcpy(p, text.data(), text.size());
    end_record(p + text.size());
  }

  /// Hands the buffered bytes to the file.
  void flush() {
    if (used_ > 0 && std::fwrite(buf_.data(), 1, used_, file_) != used_) {
      fail("write failed");
    }
    bytes_ += used_;
    used_ = 0;
  }

  std::int64_t records() const { return records_; }
  std::uint64_t bytes() const { return bytes_ + used_; }

 private:
  static constexpr std::size_t capacity = std::size_t{8} << 20;
  std::FILE* file_;
  bool crlf_;
  std::vector<char> buf_;
  std::size_t used_ = 0;
  std::int64_t records_ = 0;
  std::uint64_t bytes_ = 0;
};

// ---------------------------------------------------------------------------
// Field formatting: each writes exactly its width and returns the end.

/// Writes `v` right-justified in `w` columns; the caller ensures it fits.
char* put_int(char* p, std::int64_t v, int w) {
  char* end = p + w;
  char* q = end;
  const bool negative = v < 0;
  auto u = static_cast<std::uint64_t>(negative ? -v : v);
  do {
    *--q = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u != 0);
  if (negative) {
    *--q = '-';
  }
  while (q > p) {
    *--q = ' ';
  }
  return end;
}

/// Writes the literal `s`.
char* put_text(char* p, std::string_view s) {
  std::memcpy(p, s.data(), s.size());
  return p + s.size();
}

/// Writes v * 1e-9 as Ew.d: sign or blank, d.ddd, E, exponent sign and
/// `exp_digits` digits; w = d + 5 + exp_digits. |v| < 1e10 keeps it exact.
char* put_e(char* p, std::int64_t v, int d, int exp_digits) {
  *p++ = v < 0 ? '-' : ' ';
  const auto u = static_cast<std::uint64_t>(v < 0 ? -v : v);
  char digits[20];
  int n = 0;
  if (u == 0) {
    digits[n++] = '0';
  } else {
    auto r = std::to_chars(digits, digits + sizeof digits, u);
    n = static_cast<int>(r.ptr - digits);
  }
  const int exponent = u == 0 ? 0 : n - 1 - 9;
  *p++ = digits[0];
  *p++ = '.';
  for (int i = 1; i <= d; ++i) {
    *p++ = i < n ? digits[i] : '0';
  }
  *p++ = 'E';
  *p++ = exponent < 0 ? '-' : '+';
  int e = exponent < 0 ? -exponent : exponent;
  for (int i = exp_digits - 1; i >= 0; --i) {
    p[i] = static_cast<char>('0' + e % 10);
    e /= 10;
  }
  return p + exp_digits;
}

/// Writes t / 1000 (|t| < 1e6) in 16 columns, nine significant digits
/// right-justified in the first twelve and four trailing blanks, e.g.
/// " -20.0000000    ".
char* put_value16(char* p, std::int64_t t) {
  const auto u = static_cast<std::uint64_t>(t < 0 ? -t : t);
  const std::uint64_t whole = u / 1000;
  char text[16];
  char* q = text;
  if (t < 0) {
    *q++ = '-';
  }
  char* digits_start = q;
  q = std::to_chars(q, text + sizeof text, whole).ptr;
  // A whole part of 0 counts no significant digit: 0.500000000.
  const int whole_digits = whole == 0 ? 0 : static_cast<int>(q - digits_start);
  *q++ = '.';
  const int frac_digits = 9 - whole_digits;
  std::uint64_t frac = u % 1000;
  const char f[3] = {static_cast<char>('0' + frac / 100), static_cast<char>('0' + frac / 10 % 10),
                     static_cast<char>('0' + frac % 10)};
  for (int i = 0; i < frac_digits; ++i) {
    *q++ = i < 3 ? f[i] : '0';
  }
  const auto len = static_cast<std::size_t>(q - text);
  std::memset(p, ' ', 16);
  std::memcpy(p + 12 - len, text, len);
  return p + 16;
}

// ---------------------------------------------------------------------------
// Cube surface geometry

/// The six faces: fixed axis and side, and the in-plane axes u, v with
/// u x v pointing out of the cube, so (p,q), (p+1,q), (p+1,q+1), (p,q+1)
/// run counter-clockwise seen from outside.
struct face_axes {
  int fixed_axis;
  bool at_max;
  int u_axis;
  int v_axis;
};

constexpr face_axes faces[6] = {
    {2, false, 1, 0},  // z = -1: y x x = -z
    {2, true, 0, 1},   // z = +1: x x y = +z
    {1, false, 0, 2},  // y = -1: x x z = -y
    {1, true, 2, 0},   // y = +1: z x x = +y
    {0, false, 2, 1},  // x = -1: z x y = -x
    {0, true, 1, 2},   // x = +1: y x z = +x
};

// Every seventh quadrilateral (counting over all faces) is written as two
// 3-node elements.
constexpr std::int64_t split_period = 7;

/// Whether quadrilateral `quad_index` is written as two 3-node elements.
bool is_split(std::int64_t quad_index) { return quad_index % split_period == split_period - 1; }

/// Number of elements made from the first `quads` quadrilaterals.
std::int64_t elements_before(std::int64_t quads) { return quads + quads / split_period; }

/// Node number (1-based) of the surface lattice point (i, j, k) in [0, m]^3.
/// Nodes are numbered layer by layer in k: the bottom and top layers are
/// full (m+1)^2 grids, the layers between are rings of 4m points.
std::int64_t node_number(std::int64_t i, std::int64_t j, std::int64_t k, std::int64_t m) {
  const std::int64_t full = (m + 1) * (m + 1);
  if (k == 0) {
    return j * (m + 1) + i + 1;
  }
  const std::int64_t base = full + (k - 1) * 4 * m;
  if (k == m) {
    return base + j * (m + 1) + i + 1;
  }
  if (j == 0) {
    return base + i + 1;
  }
  if (j == m) {
    return base + (m + 1) + 2 * (m - 1) + i + 1;
  }
  return base + (m + 1) + 2 * (j - 1) + (i == m ? 1 : 0) + 1;
}

/// Coordinate (1e-9 units) of lattice index `idx` along `axis` for node `n`.
/// Points inside an edge are moved by up to a fifth of a cell along it, so
/// faces stay plane, quadrilaterals stay convex and their diagonals differ.
std::int64_t coordinate(std::int64_t idx, int axis, std::int64_t n, std::int64_t m,
                        std::uint64_t seed) {
  const std::int64_t base = -half_side + idx * 2 * half_side / m;
  if (idx == 0 || idx == m) {
    return base;
  }
  const std::int64_t jitter = 2 * half_side / m / 5;
  const auto key = static_cast<std::uint64_t>(n * 3 + axis);
  return base + draw(seed, key, -jitter, jitter);
}

/// Field-point coordinate (1e-9 units) of grid index `idx` in [0, g-1]:
/// the grid spans [1.5, 4.5] in x and [-1.5, 1.5] in y, in the plane z = 0.
std::int64_t grid_coordinate(std::int64_t idx, std::int64_t g, std::int64_t start) {
  return start + idx * 3 * unit / (g - 1);
}

// ---------------------------------------------------------------------------
// Archive sections

/// Settings fixed for one archive.
struct archive_plan {
  model_size size;
  node_layout_text layout;
  int node_layout = 0;
  int elem_width = 0;
  std::uint64_t seed = 0;
  bool example = false;
  bool grouped_potentials = false;
};

/// Writes the records ahead of the node block, NUMOFF counts included.
void write_header(record_writer& out, const archive_plan& plan) {
  const model_size& s = plan.size;
  char buf[64];
  out.line("/COM,generated by cdbbem gen_archive");
  out.line("/PREP7");
  out.line("*IF,_CDRDOFF,EQ,1,THEN");
  out.line("_CDRDOFF=");
  out.line("*ELSE");
  std::snprintf(buf, sizeof buf, "NUMOFF,NODE,%9lld",
                static_cast<long long>(s.boundary_nodes + s.field_points));
  out.line(buf);
  std::snprintf(buf, sizeof buf, "NUMOFF,ELEM,%9lld",
                static_cast<long long>(s.boundary_elements + s.field_cells));
  out.line(buf);
  out.line("NUMOFF,MAT ,        1");
  out.line("NUMOFF,TYPE,        1");
  out.line("*ENDIF");
}

/// Writes one node record in the plan's node layout.
char* put_node(char* p, const archive_plan& plan, std::int64_t n, const std::int64_t (&xyz)[3]) {
  const node_layout_text& l = plan.layout;
  p = put_int(p, n, l.int_width);
  p = put_int(p, 0, l.int_width);
  p = put_int(p, 0, l.int_width);
  for (std::int64_t c : xyz) {
    p = put_e(p, c, l.digits, l.exp_digits);
  }
  return p;
}

/// Writes the node block: boundary nodes 1..N, then field points.
void write_nodes(record_writer& out, const archive_plan& plan) {
  const model_size& s = plan.size;
  const std::int64_t m = s.m;
  const std::int64_t total = s.boundary_nodes + s.field_points;
  char buf[64];
  std::snprintf(buf, sizeof buf, "NBLOCK,6,SOLID,%10lld,%10lld", static_cast<long long>(total),
                static_cast<long long>(total));
  out.line(buf);
  out.line(plan.layout.record);
  std::int64_t n = 0;
  for (std::int64_t k = 0; k <= m; ++k) {
    const bool full_layer = k == 0 || k == m;
    for (std::int64_t j = 0; j <= m; ++j) {
      const bool full_row = full_layer || j == 0 || j == m;
      for (std::int64_t i = 0; i <= m; i += (full_row || i == m) ? 1 : m) {
        ++n;
        const std::int64_t lattice[3] = {i, j, k};
        std::int64_t xyz[3];
        for (int a = 0; a < 3; ++a) {
          xyz[a] = coordinate(lattice[a], a, n, m, plan.seed);
        }
        out.end_record(put_node(out.room(128), plan, n, xyz));
      }
    }
  }
  if (n != s.boundary_nodes) {
    fail("internal error: node numbering does not cover the surface");
  }
  for (std::int64_t j = 0; j < s.g; ++j) {
    for (std::int64_t i = 0; i < s.g; ++i) {
      ++n;
      const std::int64_t xyz[3] = {grid_coordinate(i, s.g, 3 * unit / 2),
                                   grid_coordinate(j, s.g, -3 * unit / 2), 0};
      out.end_record(put_node(out.room(128), plan, n, xyz));
    }
  }
  out.line("N,R5.3,LOC,       -1,");
}

/// Writes one element record: ten attribute values, the number, the corners
/// and the last corner repeated four times.
void put_element(record_writer& out, int w, std::int64_t number, const std::int64_t (&corners)[4]) {
  static constexpr std::int64_t attributes[10] = {1, 1, 1, 1, 0, 0, 0, 0, 4, 0};
  char* p = out.room(19 * 10 + 2);
  for (std::int64_t a : attributes) {
    p = put_int(p, a, w);
  }
  p = put_int(p, number, w);
  for (std::int64_t c : corners) {
    p = put_int(p, c, w);
  }
  for (int r = 0; r < 4; ++r) {
    p = put_int(p, corners[3], w);
  }
  out.end_record(p);
}

/// Writes the boundary elements face by face, numbered 1..E.
void write_boundary_elements(record_writer& out, const archive_plan& plan) {
  const std::int64_t m = plan.size.m;
  std::int64_t quad = 0;
  std::int64_t e = 0;
  for (const face_axes& f : faces) {
    for (std::int64_t q = 0; q < m; ++q) {
      for (std::int64_t p = 0; p < m; ++p, ++quad) {
        std::int64_t c[4];
        const std::int64_t du[4] = {0, 1, 1, 0};
        const std::int64_t dv[4] = {0, 0, 1, 1};
        for (int r = 0; r < 4; ++r) {
          std::int64_t l[3];
          l[f.fixed_axis] = f.at_max ? m : 0;
          l[f.u_axis] = p + du[r];
          l[f.v_axis] = q + dv[r];
          c[r] = node_number(l[0], l[1], l[2], m);
        }
        if (is_split(quad)) {
          put_element(out, plan.elem_width, ++e, {c[0], c[1], c[2], c[2]});
          put_element(out, plan.elem_width, ++e, {c[0], c[2], c[3], c[3]});
        } else {
          put_element(out, plan.elem_width, ++e, {c[0], c[1], c[2], c[3]});
        }
      }
    }
  }
  if (e != plan.size.boundary_elements) {
    fail("internal error: element count does not match");
  }
}

/// Writes the element block: boundary elements, field cells, end marker.
void write_elements(record_writer& out, const archive_plan& plan) {
  const model_size& s = plan.size;
  const std::int64_t total = s.boundary_elements + s.field_cells;
  char buf[64];
  std::snprintf(buf, sizeof buf, "EBLOCK,19,SOLID,%10lld,%10lld", static_cast<long long>(total),
                static_cast<long long>(total));
  out.line(buf);
  std::snprintf(buf, sizeof buf, "(19i%d)", plan.elem_width);
  out.line(buf);
  write_boundary_elements(out, plan);
  std::int64_t e = s.boundary_elements;
  const std::int64_t first_point = s.boundary_nodes + 1;
  for (std::int64_t j = 0; j + 1 < s.g; ++j) {
    for (std::int64_t i = 0; i + 1 < s.g; ++i) {
      const std::int64_t a = first_point + j * s.g + i;
      put_element(out, plan.elem_width, ++e, {a, a + 1, a + 1 + s.g, a + s.g});
    }
  }
  char* p = out.room(16);
  out.end_record(put_int(p, -1, plan.elem_width));
}

/// Writes the FIELDCELLS and FIELDPOINTS components as ranges.
void write_components(record_writer& out, const model_size& s) {
  char buf[80];
  out.line(
      "CMBLOCK,FIELDCELLS,ELEM,       2  ! users element component "
      "definition");
  out.line("(8i10)");
  std::snprintf(buf, sizeof buf, "%10lld%10lld", static_cast<long long>(s.boundary_elements + 1),
                -static_cast<long long>(s.boundary_elements + s.field_cells));
  out.line(buf);
  out.line("CMBLOCK,FIELDPOINTS,NODE,       2  ! users node component definition");
  out.line("(8i10)");
  std::snprintf(buf, sizeof buf, "%10lld%10lld", static_cast<long long>(s.boundary_nodes + 1),
                -static_cast<long long>(s.boundary_nodes + s.field_points));
  out.line(buf);
}

/// Potential of node `n` in thousandths: 100 to 111.25 in steps of 1.25 by
/// the node number's last digit in the example, otherwise a drawn value in
/// [-100, 100].
std::int64_t potential(const archive_plan& plan, std::int64_t n) {
  if (plan.example) {
    return 100'000 + static_cast<std::int64_t>(n % 10) * 1'250;
  }
  return draw(plan.seed, static_cast<std::uint64_t>(n) | (1ULL << 62), -100'000, 100'000);
}

/// Writes one potential record whose node field (7 columns) is `node`.
void write_potential_record(record_writer& out, const char* node, std::int64_t thousandths) {
  char* p = out.room(64);
  p = put_text(p, "D,");
  p = put_text(p, std::string_view(node, 7));
  p = put_text(p, ",TEMP,");
  p = put_value16(p, thousandths);
  p = put_text(p, ",  0.00000000    ");
  out.end_record(p);
}

/// Writes the potential records: one per prescribed node on consecutive
/// records, or with grouped potentials a group of three records per node.
void write_potentials(record_writer& out, const archive_plan& plan) {
  const model_size& s = plan.size;
  // The example prescribes every node of the top face (the last full layer);
  // otherwise every fifth node from node 1 on.
  const std::int64_t first = plan.example ? s.boundary_nodes - (s.m + 1) * (s.m + 1) + 1 : 1;
  const std::int64_t step = plan.example ? 1 : 5;
  for (std::int64_t n = first; n <= s.boundary_nodes; n += step) {
    char node[8];
    put_int(node, n, 7);
    write_potential_record(out, node, potential(plan, n));
    if (plan.grouped_potentials) {
      // The reader applies the first record of a group and passes over up
      // to two more for the same node, comparing converted node numbers:
      // these spell the node left-justified and with leading zeros, and
      // carry a value the model never uses, so applying one would show.
      char left[8];
      std::memset(left, ' ', sizeof left);
      std::to_chars(left, left + 7, n);
      write_potential_record(out, left, -999'000);
      std::replace(node, node + 7, ' ', '0');
      write_potential_record(out, node, -999'000);
    }
  }
}

/// Writes the flux records: a header, then the face's four values.
void write_fluxes(record_writer& out, const archive_plan& plan) {
  const model_size& s = plan.size;
  // The example loads every element of the bottom face (face 0, the first
  // elements); otherwise every fifth element from element 2 on.
  const std::int64_t first = plan.example ? 1 : 2;
  const std::int64_t last = plan.example ? elements_before(s.m * s.m) : s.boundary_elements;
  const std::int64_t step = plan.example ? 1 : 5;
  const int number_width = plan.node_layout <= 2 ? 8 : 9;
  for (std::int64_t e = first; e <= last; e += step) {
    char* p = out.room(64);
    p = put_text(p, "SFE,");
    p = put_int(p, e, number_width);
    p = put_text(p, ",   1,HFLUX,   1,R5.0");
    out.end_record(p);
    p = out.room(80);
    for (std::uint64_t v = 0; v < 4; ++v) {
      const auto key = (static_cast<std::uint64_t>(e) << 2 | v) | (1ULL << 61);
      p = put_value16(p, plan.example ? -5'000 - static_cast<std::int64_t>(v) * 250
                                      : draw(plan.seed, key, -50'000, 50'000));
    }
    out.end_record(p);
  }
}

// ---------------------------------------------------------------------------
// Sizing and the command line

/// Chooses m and g for the requested node count, or the example's sizes.
model_size size_for(const options& opt) {
  model_size s;
  if (opt.example) {
    s.m = example_cells_per_edge;
    s.g = example_grid_points;
  } else {
    // 6 m^2 + 2 nodes: take the m whose count is nearest the request.
    const double target = static_cast<double>(std::max<std::int64_t>(opt.nodes, 8));
    s.m = std::max<std::int64_t>(1, static_cast<std::int64_t>(std::sqrt((target - 2) / 6)));
    if (std::abs(6 * (s.m + 1) * (s.m + 1) + 2 - opt.nodes) <
        std::abs(6 * s.m * s.m + 2 - opt.nodes)) {
      ++s.m;
    }
    s.g = std::max<std::int64_t>(2, std::llround(std::sqrt(static_cast<double>(opt.nodes) / 4)));
  }
  s.boundary_nodes = 6 * s.m * s.m + 2;
  s.boundary_elements = elements_before(6 * s.m * s.m);
  s.field_points = s.g * s.g;
  s.field_cells = (s.g - 1) * (s.g - 1);
  return s;
}

/// Refuses models whose numbers would not fit the columns of the layouts.
void check_fits(const model_size& s, int elem_width) {
  const std::int64_t nodes = s.boundary_nodes + s.field_points;
  const std::int64_t elements = s.boundary_elements + s.field_cells;
  if (nodes > max_node_number) {
    fail("model too large: " + std::to_string(nodes) +
         " nodes; node numbers must stay below 10000000 to fit the "
         "7-column node field of the potential records");
  }
  // Element records are read as blank-separated values, so each value needs
  // a blank in front of it: at most width - 1 digits.
  std::int64_t limit = 1;
  for (int i = 1; i < elem_width; ++i) {
    limit *= 10;
  }
  if (elements >= limit) {
    fail("model too large: " + std::to_string(elements) +
         " elements do not fit element layout (19i" + std::to_string(elem_width) +
         ") with a blank before each value");
  }
}

/// Prints the usage text and exits with `status`.
[[noreturn]] void usage(int status) {
  std::fprintf(status == 0 ? stdout : stderr,
               "usage: gen_archive --nodes N [--seed S] [--layout 1|2|3|4]\n"
               "                   [--elem-layout 8|9|10] [--lf|--crlf]\n"
               "                   [--grouped-potentials] -o FILE\n"
               "       gen_archive --example [layout options] -o FILE\n"
               "       add --counts to print the model's counts without writing\n");
  std::exit(status);
}

/// Parses a non-negative decimal option value or refuses it.
std::int64_t parse_number(std::string_view text, std::string_view what) {
  std::int64_t v = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), v);
  if (r.ec != std::errc{} || r.ptr != text.data() + text.size() || v < 0) {
    fail("bad value for " + std::string(what) + ": '" + std::string(text) + "'");
  }
  return v;
}

/// Reads the command line and fills in the defaults.
options parse_options(int argc, char** argv) {
  options opt;
  bool nodes_given = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    auto value = [&]() -> std::string_view {
      if (i + 1 >= argc) {
        fail("missing value after " + std::string(a));
      }
      return argv[++i];
    };
    if (a == "--nodes") {
      opt.nodes = parse_number(value(), a);
      nodes_given = true;
    } else if (a == "--seed") {
      opt.seed = static_cast<std::uint64_t>(parse_number(value(), a));
    } else if (a == "--layout") {
      opt.node_layout = static_cast<int>(parse_number(value(), a));
      if (opt.node_layout < 1 || opt.node_layout > 4) {
        fail("--layout must be 1, 2, 3 or 4");
      }
    } else if (a == "--elem-layout") {
      opt.elem_width = static_cast<int>(parse_number(value(), a));
      if (opt.elem_width < 8 || opt.elem_width > 10) {
        fail("--elem-layout must be 8, 9 or 10");
      }
    } else if (a == "--lf") {
      opt.crlf = false;
    } else if (a == "--crlf") {
      opt.crlf = true;
    } else if (a == "--example") {
      opt.example = true;
    } else if (a == "--grouped-potentials") {
      opt.grouped_potentials = true;
    } else if (a == "--counts") {
      opt.counts_only = true;
    } else if (a == "-o") {
      opt.out = value();
    } else if (a == "-h" || a == "--help") {
      usage(0);
    } else {
      fail("unknown option '" + std::string(a) + "' (try --help)");
    }
  }
  if (opt.example && nodes_given) {
    fail("--example has a fixed size; drop --nodes");
  }
  if (!opt.example && !nodes_given) {
    usage(2);
  }
  if (!opt.example && opt.nodes < 8) {
    fail("--nodes must be at least 8 (the corners of the cube)");
  }
  if (opt.out.empty() && !opt.counts_only) {
    fail("no output file: give -o FILE");
  }
  if (opt.node_layout == 0) {
    opt.node_layout = opt.example ? 1 : 4;
  }
  if (opt.elem_width == 0) {
    opt.elem_width = opt.example ? 8 : 9;
  }
  return opt;
}

/// Prints the model's counts (and records and bytes once written).
void print_counts(const model_size& s, std::int64_t records, std::uint64_t bytes) {
  std::printf(
      "boundary_nodes=%lld boundary_elements=%lld field_points=%lld "
      "field_cells=%lld",
      static_cast<long long>(s.boundary_nodes), static_cast<long long>(s.boundary_elements),
      static_cast<long long>(s.field_points), static_cast<long long>(s.field_cells));
  if (records > 0) {
    std::printf(" records=%lld bytes=%llu", static_cast<long long>(records),
                static_cast<unsigned long long>(bytes));
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  const options opt = parse_options(argc, argv);
  archive_plan plan;
  plan.size = size_for(opt);
  plan.node_layout = opt.node_layout;
  plan.layout = node_layouts[opt.node_layout - 1];
  plan.elem_width = opt.elem_width;
  plan.seed = opt.seed;
  plan.example = opt.example;
  plan.grouped_potentials = opt.grouped_potentials;
  check_fits(plan.size, plan.elem_width);
  if (opt.counts_only) {
    print_counts(plan.size, 0, 0);
    return 0;
  }

  std::FILE* file = std::fopen(opt.out.c_str(), "wb");
  if (file == nullptr) {
    fail("cannot create " + opt.out + ": " + std::strerror(errno));
  }
  record_writer out(file, opt.crlf);
  write_header(out, plan);
  write_nodes(out, plan);
  write_elements(out, plan);
  write_components(out, plan.size);
  write_potentials(out, plan);
  write_fluxes(out, plan);
  out.line("/GO");
  out.line("FINISH");
  out.flush();
  if (std::fclose(file) != 0) {
    fail("cannot finish writing " + opt.out);
  }
  print_counts(plan.size, out.records(), out.bytes());
  return 0;
}
