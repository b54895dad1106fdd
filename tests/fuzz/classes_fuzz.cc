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
  expect_round_trip([&](std::ostream &os) { return table.write(os); },
                    [&](std::istream &is) { return copy.read(is); },
                    [&](std::ostream &os) { return copy.write(os); }, "classes round trip");
  return 0;
}
