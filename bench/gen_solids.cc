// gen_solids: writes an archive of solid elements and, beside it, the same
// mesh as a VTK XML file with raw appended data, so that the skin of a solid
// model can be timed in cdbbem and in VTK on one mesh.
//
// The mesh is a block of nx x ny x nz unit cubes, each kept as one eight-node
// brick (type 185) or split into six ten-node tets (type 187) along the six
// monotone paths from its lowest corner to its highest. That split is the
// same in every cube, so neighbouring cubes share whole faces. Nodes lie on a
// lattice of half steps for tets (every point of it is a corner or the
// midpoint of exactly one tet edge) and of whole steps for bricks; labels run
// 1..n over the lattice, x fastest, and the VTK point of label n is n - 1.
// Coordinates are multiples of 0.5, exact in both files. Both files are
// written element by element from one function, so they hold the same mesh
// in the same order and neither needs the mesh in memory.

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

/// Reports a refused request or a failed write and exits with status 2.
[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "gen_solids: %s\n", message.c_str());
  std::exit(2);
}

// Labels go into 9-column fields that are also read blank-separated, so they
// keep a blank in front: at most eight digits.
constexpr std::int64_t max_label = 99'999'999;

constexpr int vtk_hexahedron = 12;
constexpr int vtk_quadratic_tetra = 24;

/// The block: cubes per axis and whether they are split into tets.
struct block {
  bool tets = true;
  std::int64_t cubes[3] = {1, 1, 1};

  /// Lattice steps along one cube edge: midpoints need half steps.
  std::int64_t steps() const { return tets ? 2 : 1; }
  std::int64_t points(int axis) const { return cubes[axis] * steps() + 1; }
  std::int64_t nodes_per_element() const { return tets ? 10 : 8; }
  std::int64_t cube_count() const { return cubes[0] * cubes[1] * cubes[2]; }
  std::int64_t elements() const { return cube_count() * (tets ? 6 : 1); }
  std::int64_t nodes() const { return points(0) * points(1) * points(2); }
  /// Label of lattice point h.
  std::int64_t label(const std::int64_t (&h)[3]) const {
    return 1 + h[0] + points(0) * (h[1] + points(1) * h[2]);
  }
  /// Cube faces on the outside of the block.
  std::int64_t outer_squares() const {
    return 2 * (cubes[0] * cubes[1] + cubes[1] * cubes[2] + cubes[2] * cubes[0]);
  }
  /// Element faces on the skin: a tet split cuts each square in two.
  std::int64_t skin_faces() const { return outer_squares() * (tets ? 2 : 1); }
  /// Triangles of the skin: four per six-node face, two per four-node face.
  std::int64_t skin_triangles() const { return outer_squares() * 2 * (tets ? 4 : 1); }
  /// Nodes on the top of the block, which get potentials.
  std::int64_t top_nodes() const { return points(0) * points(1); }
  /// Elements with face 1 on the bottom, which get fluxes: two tets a cube.
  std::int64_t bottom_elements() const { return cubes[0] * cubes[1] * (tets ? 2 : 1); }
};

// ---------------------------------------------------------------------------
// Element shapes

/// Corner offsets (0 or 1 per axis) of one element in its cube, in the
/// archive's node order, and whether face 1 lies on the cube's bottom.
struct shape {
  int corner[8][3];
  bool face1_at_bottom;
};

// Brick: I J K L counter-clockwise at the bottom seen from above, M N O P
// above them, which gives positive volume.
constexpr shape brick = {
    {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}}, true};

// Ten-node tet midsides, in the order both files list them: edges IJ, JK,
// KI, IL, JL, KL.
constexpr int tet_edges[6][2] = {{0, 1}, {1, 2}, {2, 0}, {0, 3}, {1, 3}, {2, 3}};

/// The six tets of a cube, I J K L ordered for positive volume.
std::vector<shape> tet_shapes() {
  std::vector<shape> out;
  int order[3] = {0, 1, 2};
  do {
    shape s{};
    for (int step = 0; step < 3; ++step) {
      for (int a = 0; a < 3; ++a) {
        s.corner[step + 1][a] = s.corner[step][a] + (a == order[step] ? 1 : 0);
      }
    }
    // (J - I) x (K - I) . (L - I): the sign of the path's permutation.
    const auto* c = s.corner;
    const int u[3] = {c[1][0] - c[0][0], c[1][1] - c[0][1], c[1][2] - c[0][2]};
    const int v[3] = {c[2][0] - c[0][0], c[2][1] - c[0][1], c[2][2] - c[0][2]};
    const int w[3] = {c[3][0] - c[0][0], c[3][1] - c[0][1], c[3][2] - c[0][2]};
    const int volume6 = (u[1] * v[2] - u[2] * v[1]) * w[0] + (u[2] * v[0] - u[0] * v[2]) * w[1] +
                        (u[0] * v[1] - u[1] * v[0]) * w[2];
    if (volume6 < 0) {
      std::swap(s.corner[1], s.corner[2]);
    }
    // Face 1 is J I K; it is on the bottom when the path climbs last.
    s.face1_at_bottom = c[0][2] == 0 && c[1][2] == 0 && c[2][2] == 0;
    out.push_back(s);
  } while (std::next_permutation(order, order + 3));
  return out;
}

/// Calls f(label, nodes, bottom) for every element, cube by cube (x fastest),
/// with the node labels in the archive's order; `bottom` is true when face 1
/// lies on the bottom of the block.
template <typename F>
void for_each_element(const block& b, F&& f) {
  const std::vector<shape> shapes = b.tets ? tet_shapes() : std::vector<shape>{brick};
  const std::int64_t st = b.steps();
  std::int64_t label = 0;
  std::int64_t nodes[10];
  for (std::int64_t k = 0; k < b.cubes[2]; ++k) {
    for (std::int64_t j = 0; j < b.cubes[1]; ++j) {
      for (std::int64_t i = 0; i < b.cubes[0]; ++i) {
        const std::int64_t base[3] = {i * st, j * st, k * st};
        for (const shape& s : shapes) {
          std::int64_t h[10][3];
          const int corners = b.tets ? 4 : 8;
          for (int n = 0; n < corners; ++n) {
            for (int a = 0; a < 3; ++a) {
              h[n][a] = base[a] + s.corner[n][a] * st;
            }
          }
          if (b.tets) {
            for (int e = 0; e < 6; ++e) {
              for (int a = 0; a < 3; ++a) {
                h[4 + e][a] = (h[tet_edges[e][0]][a] + h[tet_edges[e][1]][a]) / 2;
              }
            }
          }
          for (int n = 0; n < b.nodes_per_element(); ++n) {
            nodes[n] = b.label(h[n]);
          }
          f(++label, nodes, k == 0 && s.face1_at_bottom);
        }
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Output

/// Collects bytes in a large buffer and hands them to the file when full.
class output {
 public:
  explicit output(const std::string& path) : path_(path), buf_(capacity) {
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
      fail("cannot create " + path + ": " + std::strerror(errno));
    }
  }
  output(const output&) = delete;
  output& operator=(const output&) = delete;

  /// Room for at least `n` bytes (n <= 4096).
  char* room(std::size_t n) {
    if (used_ + n > buf_.size()) {
      flush();
    }
    return buf_.data() + used_;
  }
  /// Ends the record built from `room()` up to `end`.
  void end_record(char* end) {
    *end++ = '\n';
    used_ = static_cast<std::size_t>(end - buf_.data());
  }
  void line(std::string_view text) {
    char* p = room(text.size() + 1);
    std::memcpy(p, text.data(), text.size());
    end_record(p + text.size());
  }
  /// Appends the bytes of `v` as they are in memory (little-endian here).
  template <typename T>
  void raw(T v) {
    std::memcpy(room(sizeof v), &v, sizeof v);
    used_ += sizeof v;
  }
  void text(std::string_view t) {
    std::memcpy(room(t.size()), t.data(), t.size());
    used_ += t.size();
  }
  void close() {
    flush();
    if (std::fclose(file_) != 0) {
      fail("cannot finish writing " + path_);
    }
  }

 private:
  void flush() {
    if (used_ > 0 && std::fwrite(buf_.data(), 1, used_, file_) != used_) {
      fail("cannot write " + path_);
    }
    used_ = 0;
  }
  static constexpr std::size_t capacity = std::size_t{8} << 20;
  std::string path_;
  std::FILE* file_ = nullptr;
  std::vector<char> buf_;
  std::size_t used_ = 0;
};

/// Writes `v` right-justified in `w` columns.
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

/// Writes h / 2 (h >= 0, below 1e13) as E21.13e3: " 2.5000000000000E+001".
char* put_half(char* p, std::int64_t h) {
  char digits[20];
  const auto tenths = static_cast<std::uint64_t>(h) * 5;
  const int n =
      static_cast<int>(std::to_chars(digits, digits + sizeof digits, tenths).ptr - digits);
  const int exponent = tenths == 0 ? 0 : n - 2;
  *p++ = ' ';
  *p++ = digits[0];
  *p++ = '.';
  for (int i = 1; i <= 13; ++i) {
    *p++ = i < n ? digits[i] : '0';
  }
  *p++ = 'E';
  *p++ = exponent < 0 ? '-' : '+';
  const int e = exponent < 0 ? -exponent : exponent;
  *p++ = static_cast<char>('0' + e / 100);
  *p++ = static_cast<char>('0' + e / 10 % 10);
  *p++ = static_cast<char>('0' + e % 10);
  return p;
}

/// Half-step coordinates of the lattice point with 0-based index `n`.
void lattice_point(const block& b, std::int64_t n, std::int64_t (&h)[3]) {
  h[0] = n % b.points(0);
  h[1] = n / b.points(0) % b.points(1);
  h[2] = n / (b.points(0) * b.points(1));
  // A step of the brick lattice is two half steps.
  const std::int64_t half_steps = b.tets ? 1 : 2;
  for (std::int64_t& v : h) {
    v *= half_steps;
  }
}

void write_header(output& out, const block& b) {
  char buf[64];
  out.line("/COM,generated by cdbbem gen_solids");
  out.line("/PREP7");
  out.line("/NOPR");
  out.line("*IF,_CDRDOFF,EQ,1,THEN");
  out.line("_CDRDOFF=");
  out.line("*ELSE");
  std::snprintf(buf, sizeof buf, "NUMOFF,NODE,%9lld", static_cast<long long>(b.nodes()));
  out.line(buf);
  std::snprintf(buf, sizeof buf, "NUMOFF,ELEM,%9lld", static_cast<long long>(b.elements()));
  out.line(buf);
  out.line("NUMOFF,MAT ,        1");
  out.line("NUMOFF,TYPE,        1");
  out.line("*ENDIF");
  out.line("DOF,DELETE");
  out.line(b.tets ? "ET,        1,187" : "ET,        1,185");
}

/// One node block; a record stops after its last non-zero coordinate, as
/// pre-processors write it.
void write_nodes(output& out, const block& b) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "NBLOCK,6,SOLID,%10lld,%10lld", static_cast<long long>(b.nodes()),
                static_cast<long long>(b.nodes()));
  out.line(buf);
  out.line("(3i9,6e21.13e3)");
  for (std::int64_t n = 0; n < b.nodes(); ++n) {
    std::int64_t h[3];
    lattice_point(b, n, h);
    char* p = out.room(128);
    p = put_int(p, n + 1, 9);
    p = put_int(p, 0, 9);
    p = put_int(p, 0, 9);
    const int last = h[2] != 0 ? 3 : h[1] != 0 ? 2 : h[0] != 0 ? 1 : 0;
    for (int a = 0; a < last; ++a) {
      p = put_half(p, h[a]);
    }
    out.end_record(p);
  }
  out.line("N,R5.3,LOC,       -1,");
}

void write_elements(output& out, const block& b) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "EBLOCK,19,SOLID,%10lld,%10lld",
                static_cast<long long>(b.elements()), static_cast<long long>(b.elements()));
  out.line(buf);
  out.line("(19i9)");
  const int count = static_cast<int>(b.nodes_per_element());
  for_each_element(b, [&](std::int64_t label, const std::int64_t* nodes, bool) {
    // material, type, real, section, coordinate system, birth/death,
    // solid-model reference, shape flag, node count, exclude key, label
    const std::int64_t head[11] = {1, 1, 1, 1, 0, 0, 0, 0, count, 0, label};
    char* p = out.room(256);
    for (std::int64_t v : head) {
      p = put_int(p, v, 9);
    }
    for (int n = 0; n < std::min(count, 8); ++n) {
      p = put_int(p, nodes[n], 9);
    }
    out.end_record(p);
    if (count > 8) {
      p = out.room(64);
      for (int n = 8; n < count; ++n) {
        p = put_int(p, nodes[n], 9);
      }
      out.end_record(p);
    }
  });
  out.line("       -1");
}

/// Potentials on every node of the top of the block (100 plus x) and an
/// outward flux on face 1 of every element on its bottom.
void write_conditions(output& out, const block& b) {
  char buf[96];
  const std::int64_t top = b.points(0) * b.points(1) * (b.points(2) - 1);
  for (std::int64_t n = top; n < b.nodes(); ++n) {
    std::int64_t h[3];
    lattice_point(b, n, h);
    std::snprintf(buf, sizeof buf, "D,%7lld,TEMP,%12.7f    ,  0.00000000    ",
                  static_cast<long long>(n + 1), 100.0 + 0.5 * static_cast<double>(h[0]));
    out.line(buf);
  }
  for_each_element(b, [&](std::int64_t label, const std::int64_t*, bool bottom) {
    if (!bottom) {
      return;
    }
    std::snprintf(buf, sizeof buf, "SFE,%9lld,   1,HFLUX,   1,R5.0", static_cast<long long>(label));
    out.line(buf);
    const double v = -1.0 - 0.25 * static_cast<double>(label % 4);
    std::snprintf(buf, sizeof buf, "%16.7f%16.7f%16.7f%16.7f", v, v, v, v);
    out.line(buf);
  });
}

void write_archive(const std::string& path, const block& b, bool conditions) {
  output out(path);
  write_header(out, b);
  write_nodes(out, b);
  write_elements(out, b);
  if (conditions) {
    write_conditions(out, b);
  }
  out.line("FINISH");
  out.close();
}

/// The VTK file: points as Float64, connectivity and offsets as Int64 (VTK's
/// own id type, so the reader converts nothing), cell types as UInt8, each
/// array a UInt64 byte count and its bytes in the appended section.
void write_vtu(const std::string& path, const block& b) {
  const auto nodes = static_cast<std::uint64_t>(b.nodes());
  const auto elements = static_cast<std::uint64_t>(b.elements());
  const auto per = static_cast<std::uint64_t>(b.nodes_per_element());
  const std::uint64_t sizes[4] = {nodes * 3 * 8, elements * per * 8, elements * 8, elements};
  std::uint64_t offsets[4] = {};
  for (int a = 1; a < 4; ++a) {
    offsets[a] = offsets[a - 1] + 8 + sizes[a - 1];
  }
  std::string head =
      "<?xml version=\"1.0\"?>\n"
      "<VTKFile type=\"UnstructuredGrid\" version=\"1.0\" byte_order=\"LittleEndian\" "
      "header_type=\"UInt64\">\n<UnstructuredGrid>\n<Piece NumberOfPoints=\"" +
      std::to_string(nodes) + "\" NumberOfCells=\"" + std::to_string(elements) +
      "\">\n<Points>\n<DataArray type=\"Float64\" NumberOfComponents=\"3\" format=\"appended\" "
      "offset=\"0\"/>\n</Points>\n<Cells>\n"
      "<DataArray type=\"Int64\" Name=\"connectivity\" format=\"appended\" offset=\"" +
      std::to_string(offsets[1]) +
      "\"/>\n<DataArray type=\"Int64\" Name=\"offsets\" format=\"appended\" offset=\"" +
      std::to_string(offsets[2]) +
      "\"/>\n<DataArray type=\"UInt8\" Name=\"types\" format=\"appended\" offset=\"" +
      std::to_string(offsets[3]) +
      "\"/>\n</Cells>\n</Piece>\n</UnstructuredGrid>\n<AppendedData encoding=\"raw\">\n_";
  output out(path);
  out.text(head);
  out.raw(sizes[0]);
  for (std::int64_t n = 0; n < b.nodes(); ++n) {
    std::int64_t h[3];
    lattice_point(b, n, h);
    for (std::int64_t v : h) {
      out.raw(0.5 * static_cast<double>(v));
    }
  }
  out.raw(sizes[1]);
  for_each_element(b, [&](std::int64_t, const std::int64_t* ids, bool) {
    for (std::uint64_t n = 0; n < per; ++n) {
      out.raw(ids[n] - 1);
    }
  });
  out.raw(sizes[2]);
  for (std::uint64_t e = 1; e <= elements; ++e) {
    out.raw(e * per);
  }
  out.raw(sizes[3]);
  const auto type = static_cast<std::uint8_t>(b.tets ? vtk_quadratic_tetra : vtk_hexahedron);
  for (std::uint64_t e = 0; e < elements; ++e) {
    out.raw(type);
  }
  out.text("\n</AppendedData>\n</VTKFile>\n");
  out.close();
}

// ---------------------------------------------------------------------------
// Sizing and the command line

/// The block whose element count is nearest `target`, with cubes per axis
/// within one of the cube root; of equal counts the most even block.
block size_for(bool tets, std::int64_t target) {
  block best;
  best.tets = tets;
  const double cubes = static_cast<double>(target) / (tets ? 6.0 : 1.0);
  const auto n0 = std::max<std::int64_t>(1, std::llround(std::cbrt(cubes)));
  std::int64_t best_miss = -1;
  std::int64_t best_spread = 0;
  for (std::int64_t nx = std::max<std::int64_t>(1, n0 - 1); nx <= n0 + 1; ++nx) {
    for (std::int64_t ny = std::max<std::int64_t>(1, n0 - 1); ny <= nx; ++ny) {
      block b = best;
      b.cubes[0] = nx;
      b.cubes[1] = ny;
      b.cubes[2] = std::max<std::int64_t>(1, std::llround(cubes / static_cast<double>(nx * ny)));
      const std::int64_t miss = std::abs(b.elements() - target);
      const std::int64_t spread = std::max({nx, ny, b.cubes[2]}) - std::min({nx, ny, b.cubes[2]});
      if (best_miss < 0 || miss < best_miss || (miss == best_miss && spread < best_spread)) {
        best = b;
        best_miss = miss;
        best_spread = spread;
      }
    }
  }
  return best;
}

struct options {
  bool tets = true;
  bool shape_given = false;
  std::int64_t elements = 0;
  bool conditions = false;
  bool counts_only = false;
  std::string out;
  std::string vtu;
};

[[noreturn]] void usage(int status) {
  std::fprintf(status == 0 ? stdout : stderr,
               "usage: gen_solids --tets|--bricks --elements N [--conditions]\n"
               "                  -o ARCHIVE [--vtu FILE]\n"
               "       gen_solids --tets|--bricks --elements N --counts\n"
               "Writes a block of cubes as ten-node tets (six per cube) or eight-node\n"
               "bricks, with about N elements; --conditions adds potentials on the top\n"
               "nodes and fluxes on the bottom faces; --vtu also writes the mesh for VTK.\n"
               "Prints the counts, and with --counts only them.\n");
  std::exit(status);
}

options parse_options(int argc, char** argv) {
  options opt;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    auto value = [&]() -> std::string_view {
      if (i + 1 >= argc) {
        fail("missing value after " + std::string(a));
      }
      return argv[++i];
    };
    if (a == "--tets" || a == "--bricks") {
      opt.tets = a == "--tets";
      opt.shape_given = true;
    } else if (a == "--elements") {
      const std::string_view t = value();
      auto r = std::from_chars(t.data(), t.data() + t.size(), opt.elements);
      if (r.ec != std::errc{} || r.ptr != t.data() + t.size() || opt.elements < 1) {
        fail("--elements needs a positive count, not '" + std::string(t) + "'");
      }
    } else if (a == "--conditions") {
      opt.conditions = true;
    } else if (a == "--counts") {
      opt.counts_only = true;
    } else if (a == "-o") {
      opt.out = value();
    } else if (a == "--vtu") {
      opt.vtu = value();
    } else if (a == "-h" || a == "--help") {
      usage(0);
    } else {
      fail("unknown option '" + std::string(a) + "' (try --help)");
    }
  }
  if (!opt.shape_given || opt.elements == 0) {
    usage(2);
  }
  if (opt.out.empty() && !opt.counts_only) {
    fail("no output file: give -o ARCHIVE");
  }
  return opt;
}

/// Bytes both files take at most (node records at full length).
std::int64_t bytes_at_most(const block& b) {
  const std::int64_t record = b.tets ? 19 * 9 + 1 + 2 * 9 + 1 : 19 * 9 + 1;
  const std::int64_t archive = b.nodes() * (3 * 9 + 3 * 21 + 1) + b.elements() * record;
  const std::int64_t conditions = b.top_nodes() * 50 + b.bottom_elements() * 100;
  const std::int64_t vtu = 1024 + b.nodes() * 24 + b.elements() * (b.nodes_per_element() * 8 + 9);
  return archive + conditions + vtu + 4096;
}

}  // namespace

int main(int argc, char** argv) {
  const options opt = parse_options(argc, argv);
  const block b = size_for(opt.tets, opt.elements);
  if (b.nodes() > max_label || b.elements() > max_label) {
    fail("model too large: labels must keep a blank in their 9-column fields");
  }
  const std::int64_t potentials = opt.conditions ? b.top_nodes() : 0;
  const std::int64_t fluxes = opt.conditions ? b.bottom_elements() : 0;
  if (!opt.counts_only) {
    write_archive(opt.out, b, opt.conditions);
    if (!opt.vtu.empty()) {
      write_vtu(opt.vtu, b);
    }
  }
  std::printf(
      "elements=%lld nodes=%lld cubes=%lldx%lldx%lld skin_faces=%lld skin_triangles=%lld "
      "potentials=%lld fluxes=%lld bytes_at_most=%lld\n",
      static_cast<long long>(b.elements()), static_cast<long long>(b.nodes()),
      static_cast<long long>(b.cubes[0]), static_cast<long long>(b.cubes[1]),
      static_cast<long long>(b.cubes[2]), static_cast<long long>(b.skin_faces()),
      static_cast<long long>(b.skin_triangles()), static_cast<long long>(potentials),
      static_cast<long long>(fluxes), static_cast<long long>(bytes_at_most(b)));
  return 0;
}
