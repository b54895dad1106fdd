// The parser of analysed documents on arbitrary answers, entering new atoms or
// not by the first byte.

#include "model/atomtab.h"
#include "tests/fuzz/fuzz_support.h"
#include "text/docparser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  bool enter = data[0] & 1;
  Doc doc;
  survives([&] { parse_document(as_string(data + 1, size - 1), "fuzz", enter, doc); });
  for (const auto &entry : doc) {
    expect(entry.second > 0, "a counted pair has a count");
    expect(entry.first.head == NoId || entry.first.head < atom_table.size(),
           "heads are atoms");
  }
  return 0;
}
