// The atoms.dat reader on arbitrary files: it loads them or ends the run with
// a format error, and every atom it loads has the text of its line.
#include "model/atomtab.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const std::string path = scratch("atoms.dat");
  write_bytes(path, data, size);
  AtomTable table;
  table.set_file(path);
  if (!survives([&] { table.read(); })) return 0;
  for (unsigned long id = 0; id < table.size(); ++id) {
    unsigned long found;
    expect(table.find(table.text(id), found) && found == id, "atom ids");
  }
  return 0;
}
