// The resource-file parser on arbitrary text: it counts errors and goes on.
#include <sstream>

#include "tests/fuzz/fuzz_support.h"
#include "text/rcparser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::istringstream is(as_string(data, size));
  Param params;
  survives([&] {
    RcParser parser(params, is, "fuzz.rc");
    parser.parse();
  });
  return 0;
}
