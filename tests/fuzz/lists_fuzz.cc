// The example-list reader on arbitrary "train" and "test" lists (the input is
// split at its first NUL byte) over a few small documents, multiclass or not by
// the first byte. A list names documents and classes or is refused with an
// error; either way the class table stays a tree below the root.
#include "intake/analyser.h"
#include "intake/collection.h"
#include "model/classtab.h"
#include "store/database.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const std::string examples = scratch("ex");

bool set_up() {
  std::string command = "cd '" + scratch("") + "' && mkdir -p ex/files && "
      "printf '[ \"a\" ]' > ex/files/a.txt && "
      "printf '[ \"b\" [ \"c\" ] ]' > ex/files/b.txt && printf '' > ex/files/c.txt";
  if (system(command.c_str()) != 0) abort();
  param.gen.set_file_directory(examples + "/files");
  analyser.initialise("");
  database.initialise(scratch("data"));
  database.read(false);
  return true;
}

void check_tree() {
  for (uint32_t id = 1; id < class_table.size(); ++id) {
    const ClassData &data = class_table.get_data(id);
    expect(data.father != nullptr && data.father->id < id, "fathers come first");
    const std::vector<ClassData *> &sons = data.father->sons;
    expect(std::count(sons.begin(), sons.end(), &data) == 1, "a son once");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static const bool ready = set_up();
  if (!ready || size == 0) return 0;
  param.gen.set_multiclass(data[0] & 1);
  const uint8_t *lists = data + 1;
  size_t rest = size - 1;
  const uint8_t *nul = static_cast<const uint8_t *>(memchr(lists, 0, rest));
  size_t train = nul == nullptr ? rest : static_cast<size_t>(nul - lists);
  write_bytes(examples + "/train", lists, train);
  write_bytes(examples + "/test", lists + train + (nul != nullptr), rest - train - (nul != nullptr));
  class_table.clear();
  database.release_all_profiles();
  if (survives([] { collect_all_documents(examples.c_str()); })) {
    check_tree();
    class_table.collect_examples();
  }
  return 0;
}
