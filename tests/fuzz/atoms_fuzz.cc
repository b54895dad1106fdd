// The atoms.dat reader on arbitrary files: it loads them or ends the run with
// a format error, and every atom it loads has the text of its line. An input
// that starts with a side record's header gives its first two lines to the
// side record, atoms.sum, and the rest to atoms.dat.
#include "model/atomtab.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const std::string path = scratch("atoms.dat"), record = scratch("atoms.sum");
  std::string input = as_string(data, size);
  size_t split = 0, end = input.find('\n', 27);
  if (input.rfind("mivo vocabulary checksum 1\n", 0) == 0 && end != std::string::npos)
    split = end + 1;
  unlink(record.c_str());
  if (split != 0) write_bytes(record, data, split);
  write_bytes(path, data + split, size - split);
  AtomTable table;
  table.set_file(path, record);
  if (!survives([&] { table.read(); })) return 0;
  for (uint32_t id = 0; id < table.size(); ++id) {
    uint32_t found;
    expect(table.find(table.text(id), found) && found == id, "atom ids");
  }
  return 0;
}
