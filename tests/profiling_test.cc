#include "intake/profiling.h"

#include "base/utils.h"
#include "intake/analyser.h"
#include "model/termtab.h"
#include "store/database.h"
#include "tests/child_run.h"

namespace {

typedef std::vector<std::string> Pairs;

// The stored profile as "head/mod:freq" in feature order ("-" for no mod).
Pairs stored(const std::string &name) {
  DocProfile profile;
  database.peek_document_profile(name, profile);
  Pairs pairs;
  for (const Feature &feature : profile.get_features()) {
    const TermTable::Term &term = term_table.get_term(feature.term);
    pairs.push_back(atom_text(term.head) + "/" +
                    (term.mod == NoId ? "-" : atom_text(term.mod)) + ":" +
                    std::to_string(feature.freq));
  }
  return pairs;
}

// Features follow the pairs' atom ids, not their text; equal pairs are equal
// terms in every document; syntax errors keep what was parsed.
TEST(ProfilingTest, StoredProfilesHoldTheParsedPairsOnce) {
  fresh_directory("docs");
  fresh_directory("data");
  param.gen.set_file_directory("docs");
  analyser.initialise("");  // documents are read as they are
  database.initialise("data");
  database.read(false);
  const char *texts[][2] = {{"first", "zebra [ apple , kiwi ] zebra"},
                            {"second", "[ apple , kiwi ]"},
                            {"empty", ""},
                            {"broken", "[ lime , plum"}};
  for (auto &text : texts) std::ofstream(PathName("docs", text[0], ".txt").get()) << text[1];
  for (auto &text : texts) profile_document(text[0]);

  EXPECT_EQ(Pairs({"zebra/-:2", "apple/kiwi:1"}), stored("first"));
  EXPECT_EQ(Pairs({"apple/kiwi:1"}), stored("second"));
  EXPECT_TRUE(database.have_document_profile("empty"));
  EXPECT_EQ(Pairs(), stored("empty"));
  EXPECT_EQ(Pairs({"lime/plum:1"}), stored("broken"));
  EXPECT_EQ(3u, term_table.size());
}

}  // namespace
