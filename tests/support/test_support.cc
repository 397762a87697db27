#include "support/test_support.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "platform/files.h"
#include "run/run.h"

namespace cdbbem::testing {

namespace {

namespace fs = std::filesystem;

// Paths are UTF-8 text here, as in the program.
fs::path native(const std::string& path) {
  return fs::path(std::u8string(path.begin(), path.end()));
}

std::string text_of(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace

temp_dir::temp_dir() {
  static std::random_device seed;
  static std::mt19937_64 names(seed());
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path dir = base / ("cdbbem-test-" + std::to_string(names()));
    std::error_code ec;
    if (fs::create_directory(dir, ec)) {
      path_ = text_of(dir);
      return;
    }
  }
  throw std::runtime_error("cannot make a directory in " + text_of(base));
}

temp_dir::~temp_dir() {
  std::error_code ec;
  fs::remove_all(native(path_), ec);
}

std::string temp_dir::file(std::string_view name) const { return path_ + "/" + std::string(name); }

void write_file(const std::string& path, std::string_view content) {
  std::ofstream f(native(path), std::ios::binary | std::ios::trunc);
  f.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!f) {
    throw std::runtime_error("cannot write " + path);
  }
}

std::string read_file(const std::string& path) {
  std::ifstream f(native(path), std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool file_exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(native(path), ec);
}

std::string lines(std::initializer_list<std::string_view> records) {
  std::string text;
  for (std::string_view r : records) {
    text += r;
    text += '\n';
  }
  return text;
}

run_result run_in_process(const std::string& dir, std::uint64_t store_cap, unsigned threads) {
  temp_dir capture;
  std::string out_path = capture.file("stdout");
  std::string err_path = capture.file("stderr");
  open_error error;
  file_handle out = open_for_writing(out_path, error);
  file_handle err = open_for_writing(err_path, error);
  run_result r;
  run_options options;
  options.directory = dir;
  options.console = out;
  options.error_out = err;
  options.store_memory_cap = store_cap;
  options.threads = threads;
  r.status = run_translation(options);
  close_file(out);
  close_file(err);
  r.out = read_file(out_path);
  r.err = read_file(err_path);
  return r;
}

std::string data_dir() { return CDBBEM_DATA_DIR; }

}  // namespace cdbbem::testing
