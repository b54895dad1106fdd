// The resource-file parser on arbitrary text: it counts errors and goes on.
#include "tests/fuzz/fuzz_support.h"
#include "text/rcparser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Param params;
  reads(as_string(data, size), [&](std::istream &is) {
    RcParser(params, is, "fuzz.rc").parse();
    return true;
  });
  return 0;
}
