#include "intake/collection.h"

#include "base/utils.h"
#include "intake/analyser.h"
#include "intake/profiling.h"
#include "model/classtab.h"
#include "model/termtab.h"
#include "store/database.h"
#include "tests/child_run.h"

namespace {

class CollectionTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    char cwd[4096];
    home = getcwd(cwd, sizeof cwd);
    fresh_directory("data");
    fresh_directory("docs");
    for (const char *name : {"a", "b", "c", "t"})
      std::ofstream(PathName("docs", name, ".txt").get()) << "[ " << name << " ]";
    param.gen.set_file_directory(home + "/docs");
    analyser.initialise("");  // documents are read as they are
    database.initialise(home + "/data");
    database.read(false);
  }

  void SetUp() override { class_table.clear(); }
  void TearDown() override {
    EXPECT_EQ(0, chdir(home.c_str()));
    param.gen.set_multiclass(true);
  }

  // An examples directory with "files" and the given "train" list.
  static void make_examples(const std::string &dir, const std::string &train) {
    fresh_directory(dir);
    EXPECT_EQ(0, create_directory(PathName(dir, "files").get(), 0770));
    std::ofstream(PathName(dir, "train").get()) << train;
  }

  // Every class but the root as "name[train docs|test docs]", in id order.
  static std::string classes() {
    std::string text;
    for (uint32_t id = 1; id < class_table.size(); ++id) {
      const ClassData &data = class_table.get_data(id);
      text += class_table.get_name(id) + "[";
      for (const auto &entry : data.examples.train) text += entry.first;
      text += "|";
      for (const auto &entry : data.examples.test) text += entry.first;
      text += "] ";
    }
    return text;
  }

  static std::string home;
};

std::string CollectionTest::home;

// Each row: whether a line may name several classes, the lists, and the
// classes they give as "name[train docs|test docs]", or none when the run
// must end with a format error (a tab between fields, an empty line, two
// classes without multiclass). Scores and question marks are cut off, a
// carriage return is no part of a class, a long line neither ends the list
// nor is cut, and no "test" list is no error.
TEST_F(CollectionTest, ListsGiveTheirClassesOrEndTheRun) {
  std::string long_line = "b.txt", long_classes;
  for (int i = 0; long_line.size() < 10000; ++i) {
    long_line += " k" + std::to_string(i);
    long_classes += "k" + std::to_string(i) + "[b|] ";
  }
  const struct { bool multiclass; std::string train, test, classes; } cases[] = {
      {true, "a.txt c1 c2\nb   c2\n", "t.txt c1\n", "c1[a|t] c2[ab|] "},
      {true, "a.txt ?c1:0.7 c2:x\r\n" + long_line + "\nc.txt last\n", "",
       "c1[a|] c2[a|] " + long_classes + "last[c|] "},
      {false, "a.txt ?c1:0.5\n", "", "c1[a|] "},
      {true, "a.txt\tc1\n", "", ""},
      {true, "a.txt c1\n\n", "", ""},
      {false, "a.txt c1 c2\n", "", ""}};
  for (const auto &c : cases) {
    std::string dir = "list" + std::to_string(&c - cases);
    make_examples(dir, c.train);
    if (!c.test.empty()) std::ofstream(dir + "/test") << c.test;
    param.gen.set_multiclass(c.multiclass);
    class_table.clear();
    if (c.classes.empty()) {
      EXPECT_EXIT(collect_all_documents(dir.c_str()), failed_run,
                  "ERROR: format error in file `" + dir + "/train'");
      continue;
    }
    collect_all_documents(dir.c_str());
    EXPECT_EQ(c.classes, classes()) << c.train;
  }
  fresh_directory("nofiles");
  EXPECT_EXIT(collect_all_documents("nofiles"), failed_run,
              "ERROR: cannot find directory `nofiles/files'");
}

// The root is named after the examples directory: "." after the working
// directory, while the empty name keeps the empty name. Without an examples
// directory a stored root is accepted.
TEST_F(CollectionTest, TheRootIsNamedAfterTheExamplesDirectory) {
  make_examples("news", "a c1\n");
  ASSERT_EQ(0, chdir("news"));
  collect_all_documents(".");
  EXPECT_EQ("news", class_table.get_name(0));
  class_table.clear();
  collect_all_documents("");
  EXPECT_EQ("", class_table.get_name(0));
  EXPECT_EQ("c1[a|] ", classes());
  class_table.clear();
  class_table.enter_class("stored", 0);
  collect_all_documents("");
  EXPECT_EQ("c1[a|] ", classes());
  EXPECT_EXIT(collect_all_documents("."), failed_run,
              "ERROR: Cannot profile \"news\" with the same data as \"stored\"");
}

typedef std::vector<std::string> Pairs;

// The stored profile as "head/mod:freq" in feature order ("-" for no mod).
Pairs stored(const std::string &name) {
  DocProfile profile;
  database.peek_document_profile(name, profile);
  Pairs pairs;
  for (const Feature &feature : profile.get_features()) {
    const TermTable::Term &term = term_table.get_term(feature.term);
    pairs.push_back(atom_text(term.head) + "/" + (term.mod == NoId ? "-" : atom_text(term.mod)) +
                    ":" + std::to_string(feature.freq));
  }
  return pairs;
}

// Features follow the pairs' atom ids, not their text; equal pairs are equal
// terms in every document; syntax errors keep what was parsed.
TEST_F(CollectionTest, StoredProfilesHoldTheParsedPairsOnce) {
  const char *texts[][2] = {{"first", "zebra [ apple , kiwi ] zebra"},
                            {"second", "[ apple , kiwi ]"},
                            {"empty", ""},
                            {"broken", "[ lime , plum"}};
  size_t terms = term_table.size();
  for (auto &text : texts) std::ofstream(PathName("docs", text[0], ".txt").get()) << text[1];
  for (auto &text : texts) profile_document(text[0]);
  profile_document("first");  // on its way already
  EXPECT_FALSE(database.have_document_profile("first"));
  finish_profiling();
  EXPECT_EQ(Pairs({"zebra/-:2", "apple/kiwi:1"}), stored("first"));
  EXPECT_EQ(Pairs({"apple/kiwi:1"}), stored("second"));
  EXPECT_TRUE(database.have_document_profile("empty"));
  EXPECT_EQ(Pairs(), stored("empty"));
  EXPECT_EQ(Pairs({"lime/plum:1"}), stored("broken"));
  EXPECT_EQ(terms + 3, term_table.size());
}

}  // namespace
