// Micro-benchmarks of the record engine on the record shapes a run spends
// its time in: node records read from the archive, node lines written to
// the model and plot files, and element records read free-form.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "archive/archive_formats.h"
#include "platform/fp_env.h"
#include "run/channels.h"
#include "textrec/fixed_read.h"
#include "textrec/fixed_write.h"
#include "textrec/free_form.h"
#include "textrec/output_channel.h"
#include "textrec/record_format.h"
#include "textrec/record_reader.h"
#include "writers/model_file.h"
#include "writers/plot_file.h"

namespace cdbbem {
namespace {

constexpr int record_count = 20000;

// Coordinates of a meshed part: a few hundred millimetres, full precision.
std::vector<double> coordinates() {
  std::mt19937_64 rng(1);
  std::uniform_real_distribution<double> coordinate(-350.0, 350.0);
  std::vector<double> values(3 * record_count);
  for (double& v : values) {
    v = coordinate(rng);
  }
  return values;
}

// Node records in the (3I9,3E21.13) layout.
std::string node_records() {
  std::vector<double> xyz = coordinates();
  std::string text;
  char line[128];
  for (int n = 0; n < record_count; ++n) {
    auto k = static_cast<std::size_t>(3 * n);
    std::snprintf(line, sizeof line, "%9d%9d%9d%21.13E%21.13E%21.13E\n", n + 1, 0, 0, xyz[k],
                  xyz[k + 1], xyz[k + 2]);
    text += line;
  }
  return text;
}

// Element records of nineteen values, in the (19i9) layout: ten attribute
// fields, then eight node numbers and padding.
std::string element_records() {
  std::string text;
  char field[16];
  for (int n = 0; n < record_count; ++n) {
    const int values[19] = {1,     1,         1,         1,         0,         0, 0, 0, 4, 0,
                            n + 1, 4 * n + 1, 4 * n + 2, 4 * n + 3, 4 * n + 4, 0, 0, 0, 0};
    for (int v : values) {
      std::snprintf(field, sizeof field, "%9d", v);
      text += field;
    }
    text += '\n';
  }
  return text;
}

void node_record_read(benchmark::State& state) {
  flush_denormals();
  std::string text = node_records();
  record_reader in;
  in.open_memory(text, channels::archive);
  std::int32_t n[3];
  double x[3];
  for (auto _ : state) {
    if (in.line_number() == record_count) {
      in.reopen();
    }
    read_formatted(in, formats::node_record_3i9_3e21,
                   {into(n[0]), into(n[1]), into(n[2]), into(x[0]), into(x[1]), into(x[2])});
    benchmark::DoNotOptimize(x);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(node_record_read);

void element_record_free_read(benchmark::State& state) {
  std::string text = element_records();
  record_reader in;
  in.open_memory(text, channels::archive);
  std::int32_t v[15];
  for (auto _ : state) {
    if (in.line_number() == record_count) {
      in.reopen();
    }
    read_free(in, {into(v[0]), into(v[1]), into(v[2]), into(v[3]), into(v[4]), into(v[5]),
                   into(v[6]), into(v[7]), into(v[8]), into(v[9]), into(v[10]), into(v[11]),
                   into(v[12]), into(v[13]), into(v[14])});
    benchmark::DoNotOptimize(v);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(element_record_free_read);

void node_line_write(benchmark::State& state) {
  flush_denormals();
  std::vector<double> xyz = coordinates();
  output_channel out;
  out.open_file("/dev/null", channels::model);
  std::size_t k = 0;
  std::int32_t n = 0;
  for (auto _ : state) {
    write_formatted(out, formats::node_line,
                    {item(++n), item(xyz[k]), item(xyz[k + 1]), item(xyz[k + 2])});
    k = k + 3 == xyz.size() ? 0 : k + 3;
  }
  out.finish();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(node_line_write);

void plot_node_line_write(benchmark::State& state) {
  flush_denormals();
  std::vector<double> xyz = coordinates();
  output_channel out;
  out.open_file("/dev/null", channels::plot);
  std::size_t k = 0;
  for (auto _ : state) {
    write_formatted(out, formats::e3_15_7, {item(xyz[k]), item(xyz[k + 1]), item(xyz[k + 2])});
    k = k + 3 == xyz.size() ? 0 : k + 3;
  }
  out.finish();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(plot_node_line_write);

}  // namespace
}  // namespace cdbbem

BENCHMARK_MAIN();
