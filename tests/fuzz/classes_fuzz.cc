// The "classes" reader on arbitrary files: damage is refused with the table
// left empty; a table that was read writes back and reads again the same.
#include "model/classtab.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  ClassTable table, copy;
  if (!reads(as_string(data, size), [&](std::istream &is) { return table.read(is); })) {
    expect(table.empty(), "a refused file leaves the table empty");
    return 0;
  }
  std::ostringstream first, second;
  expect(table.write(first), "a read table writes");
  expect(reads(first.str(), [&](std::istream &is) { return copy.read(is); }),
         "a written table reads");
  expect(copy.write(second) && first.str() == second.str(), "classes round trip");
  return 0;
}
