// The blob reader of document profiles: any bytes are taken whole or refused,
// and a taken blob writes back as the same bytes (one stored before
// checksums, as the same bytes and its checksum).
#include <glib.h>

#include "model/docprof.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  DocProfile profile;
  if (!profile.read(reinterpret_cast<const char *>(data), size)) {
    expect(profile.get_features().empty(), "a refused blob leaves no features");
    return 0;
  }
  char *contents = nullptr;
  size_t len = 0;
  expect(profile.write(&contents, &len), "a read profile writes");
  expect((len == size || len == size + 4) && memcmp(contents, data, size) == 0,
         "blob round trip");
  g_free(contents);
  return 0;
}
