#include "intake/profiling.h"

#include <iostream>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "driver/options.h"
#include "driver/param.h"
#include "driver/utils.h"
#include "intake/analyser.h"
#include "model/atomtab.h"
#include "model/termtab.h"
#include "store/database.h"
#include "tests/child_run.h"

namespace {

typedef std::vector<std::string> Pairs;

class ProfilingTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    fresh_directory("data");
    fresh_directory("docs");
    delete_file("requests.log");
    param.gen.set_file_directory("docs");
    const char *source = getenv("MIVO_SOURCE_DIR");
    analyser.initialise(std::string(source ? source : ".") +
                        "/tests/data/counting_analyser.sh requests.log");
    database.initialise("data");
    database.read(false);
  }

  static void make_document(const std::string &name, const std::string &text) {
    std::ofstream(PathName("docs", name, ".txt").get()) << text;
  }

  static unsigned requests(const std::string &name) {
    std::istringstream log(file_text("requests.log"));
    unsigned count = 0;
    for (std::string line; std::getline(log, line);)
      count += line == PathName("docs", name, ".txt").get();
    return count;
  }

  // The stored profile as "head/mod:freq" in feature order ("-" for no mod).
  static Pairs stored(const std::string &name) {
    DocProfile profile;
    database.peek_document_profile(name, profile);
    Pairs pairs;
    for (const Feature &feature : profile.get_features()) {
      const TermTable::Term &term = term_table.get_term(feature.term);
      pairs.push_back(atom_text(term.head) + "/" +
                      (term.mod == EmptyAtom ? "-" : atom_text(term.mod)) + ":" +
                      std::to_string(feature.freq));
    }
    return pairs;
  }
};

TEST_F(ProfilingTest, EachNameIsAnalysedOnce) {
  const char *argv[] = {"mivo", "-vvv", "x"};
  options.parse(3, argv);
  make_document("once", "[ car , red ] car car");
  std::stringstream screen;
  std::streambuf *old_clog = std::clog.rdbuf(screen.rdbuf());
  profile_document("once");
  profile_document("once");
  std::clog.rdbuf(old_clog);
  options = Options();
  EXPECT_EQ("profiling document `once'\n", screen.str());
  EXPECT_EQ(1u, requests("once"));
  EXPECT_EQ(Pairs({"car/red:1", "car/-:2"}), stored("once"));
}

// Features follow the pairs' atom ids, not their text; equal pairs get equal
// terms in every document; syntax errors keep what was parsed.
TEST_F(ProfilingTest, ProfilesHoldTheParsedPairsAsTerms) {
  make_document("first", "zebra [ apple , kiwi ]");
  make_document("second", "zebra [ apple , kiwi ]");
  make_document("empty", "");
  make_document("broken", "[ lime , plum");
  for (const char *name : {"first", "second", "empty", "broken"}) profile_document(name);
  EXPECT_EQ(Pairs({"zebra/-:1", "apple/kiwi:1"}), stored("first"));
  EXPECT_EQ(stored("first"), stored("second"));
  DocProfile first, second;
  database.peek_document_profile("first", first);
  database.peek_document_profile("second", second);
  EXPECT_EQ(first.get_features()[1].term, second.get_features()[1].term);
  EXPECT_TRUE(database.have_document_profile("empty"));
  EXPECT_EQ(Pairs(), stored("empty"));
  EXPECT_EQ(Pairs({"lime/plum:1"}), stored("broken"));
}

}  // namespace
