// The terms.dat reader on arbitrary files, over a vocabulary of a few atoms:
// it loads them or ends the run with a format error, and every term it loads
// is found again by its pair.
#include "model/termtab.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const std::string path = scratch("terms.dat");
  for (const char *word : {"a", "b", "c", "d", "e", "f", "g", "h"}) atom_table.enter(word);
  write_bytes(path, data, size);
  TermTable table;
  table.set_file(path);
  if (!survives([&] { table.read(); })) return 0;
  for (uint32_t id = 0; id < table.size(); ++id) {
    const TermTable::Term &term = table.get_term(id);
    uint32_t found;
    expect(table.find(term.head, term.mod, found) && found == id, "term ids");
  }
  return 0;
}
