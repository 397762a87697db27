// Writes the bad-archive table as directories of files, so that another
// build of the program (the Windows one, under Wine) runs the same cases:
// DIR/NN holds the archive, an earlier run's outputs, and what the run must
// give: status.txt, stderr-first-line.txt and outputs.txt ("untouched" or
// "written").

#include <cstdio>
#include <filesystem>
#include <string>

#include "bad_archives.h"
#include "support/test_support.h"

int main(int argc, char** argv) {
  using namespace cdbbem::testing;
  if (argc != 2) {
    std::fputs("usage: export_bad_archives DIR\n", stderr);
    return 2;
  }
  const std::string root = argv[1];
  int count = 0;
  for (const bad_archive& c : bad_archives()) {
    char name[16];
    std::snprintf(name, sizeof name, "%02d", count++);
    const std::string dir = root + "/" + name;
    std::filesystem::create_directories(dir);
    write_file(dir + "/name.txt", c.name + "\n");
    write_file(dir + "/ANSYS_Model.cdb", c.archive);
    write_file(dir + "/input.dat", stale_model);
    write_file(dir + "/input.plt", stale_plot);
    write_file(dir + "/status.txt", std::to_string(c.status) + "\n");
    write_file(dir + "/stderr-first-line.txt", c.first_line.empty() ? "" : c.first_line + "\n");
    write_file(dir + "/outputs.txt", c.files == outputs::written ? "written\n" : "untouched\n");
  }
  std::printf("%d cases in %s\n", count, root.c_str());
  return 0;
}
