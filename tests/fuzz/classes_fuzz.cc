// The "classes" reader on arbitrary files: damage is refused with the table
// left empty; a table that was read writes back and reads again the same.
#include <sstream>

#include "model/classtab.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::istringstream is(as_string(data, size));
  ClassTable table;
  bool read = false;
  survives([&] { read = table.read(is); });
  if (!read) {
    expect(table.empty(), "a refused file leaves the table empty");
    return 0;
  }
  std::ostringstream first, second;
  expect(table.write(first), "a read table writes");
  std::istringstream again(first.str());
  ClassTable copy;
  expect(copy.read(again), "a written table reads");
  expect(copy.write(second) && first.str() == second.str(), "classes round trip");
  return 0;
}
