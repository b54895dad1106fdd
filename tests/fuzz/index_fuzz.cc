// The profile store opened on an arbitrary index over one repository of 256
// known bytes: the store is refused with an error or every record it lists
// reads back whole from inside the repository.
#include "store/filestore.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const std::string base = scratch("store");
  uint8_t repository[256];
  for (unsigned i = 0; i < sizeof repository; ++i) repository[i] = uint8_t(i);
  write_bytes(base + ".000", repository, sizeof repository);
  write_bytes(base + ".idx", data, size);
  FileStore *fs = nullptr;
  if (!survives([&] { fs = filestore_open(base.c_str()); })) return 0;
  GList *names = filestore_get_filenames(fs);
  for (GList *cell = names; cell != nullptr; cell = cell->next) {
    const char *name = static_cast<const char *>(cell->data);
    const FileStoreNode *node = filestore_get_node(fs, name);
    void *bytes = nullptr;
    size_t len = 0;
    if (!survives([&] { filestore_get_file(fs, name, &bytes, &len); })) continue;
    expect(node != nullptr && len == node->size, "a record reads whole");
    g_free(bytes);
  }
  g_list_free(names);
  filestore_abandon(fs);
  return 0;
}
