#include "writers/check_json.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <string>

#include "platform/fp_env.h"

namespace cdbbem {
namespace {

// Shortest round-trip text, also for subnormals while the run flushes
// them; whatever is not finite is null.
TEST(check_json_test, numbers) {
  struct row {
    double value;
    const char* text;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const row rows[] = {
      {0.1, "0.1"},
      {24.0, "24"},
      {-0.0, "-0"},
      {0x1p-1074, "5e-324"},
      {0x1.fffffffffffffp+1023, "1.7976931348623157e+308"},
      {1.7774764126676886e+101, "1.7774764126676886e+101"},
      {23.999999999999996, "23.999999999999996"},
      {inf, "null"},
      {-inf, "null"},
      {std::numeric_limits<double>::quiet_NaN(), "null"},
  };
  flushed_denormals_scope like_a_run;
  for (const row& r : rows) {
    const std::string text = json_number(r.value);
    EXPECT_EQ(text, r.text);
    if (text != "null") {
      exact_denormals_scope exact;
      EXPECT_EQ(std::strtod(text.c_str(), nullptr), r.value) << text;
    }
  }
}

TEST(check_json_test, strings) {
  struct row {
    std::string text;
    std::string json;
  };
  const row rows[] = {
      {"cdbbem: severe (29): file /a b/x.cdb", "\"cdbbem: severe (29): file /a b/x.cdb\""},
      {"say \"x\" \\ y", "\"say \\\"x\\\" \\\\ y\""},
      {std::string("\x01\n\r\x1f", 4), "\"\\u0001\\u000a\\u000d\\u001f\""},
      {"caf\xc3\xa9 \x7f", "\"caf\xc3\xa9 \x7f\""},
  };
  for (const row& r : rows) {
    EXPECT_EQ(json_string(r.text), r.json);
  }
}

}  // namespace
}  // namespace cdbbem
