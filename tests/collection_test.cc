#include "intake/collection.h"

#include "base/options.h"
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

TEST_F(CollectionTest, MulticlassLinesEnterEveryClassInOrderAndProfileOnce) {
  make_examples("multi", "a.txt c1 c2\nb   c2\n");
  std::ofstream("multi/test") << "t.txt c1\n";
  const char *argv[] = {"mivo", "-vvv", "x"};
  options.parse(3, argv);
  std::stringstream screen;
  std::streambuf *old_clog = std::clog.rdbuf(screen.rdbuf());
  collect_all_documents("multi");
  std::clog.rdbuf(old_clog);
  options = Options();
  EXPECT_EQ("multi", class_table.get_name(0));
  EXPECT_EQ("c1[a|t] c2[ab|] ", classes());
  EXPECT_EQ(
      "profiling document `a'\n"
      "collected training document `a'\n"
      "collected training document `a'\n"
      "profiling document `b'\n"
      "collected training document `b'\n"
      "profiling document `t'\n"
      "collected testing document `t'\n",
      screen.str());
}

// Scores and question marks are cut off; a carriage return is no part of a
// class; a long line neither ends the list nor is cut; no "test" list is no
// error. Without multiclass the whole field is the class.
TEST_F(CollectionTest, ClassesAreCleanedAndLinesMayBeLong) {
  std::string train = "a.txt ?c1:0.7 c2:x\r\nb.txt", last_class;
  for (int i = 0; train.size() < 10000; ++i)
    train += " " + (last_class = "k" + std::to_string(i));
  make_examples("clean", train + "\nc.txt last\n");
  collect_all_documents("clean");
  std::string names = classes();
  EXPECT_EQ("c1[a|] c2[a|] k0[b|] ", names.substr(0, 21));
  EXPECT_NE(std::string::npos, names.find(" " + last_class + "[b|] last[c|] "));

  class_table.clear();
  param.gen.set_multiclass(false);
  make_examples("single", "a.txt ?c1:0.5\n");
  collect_all_documents("single");
  EXPECT_EQ("c1[a|] ", classes());
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

TEST_F(CollectionTest, BadExamplesEndTheRun) {
  fresh_directory("nofiles");
  EXPECT_EXIT(collect_all_documents("nofiles"), failed_run,
              "ERROR: cannot find directory `nofiles/files'");
  // A tab between fields, an empty line, two classes without multiclass.
  const char *lists[][3] = {
      {"tab", "a.txt\tc1\n", "format error in file `tab/train'"},
      {"blank", "a.txt c1\n\n", "format error in file `blank/train'"},
      {"single", "a.txt c1 c2\n", "format error in file `single/train'"},
  };
  for (const auto &list : lists) {
    param.gen.set_multiclass(std::string(list[0]) != "single");
    make_examples(list[0], list[1]);
    EXPECT_EXIT(collect_all_documents(list[0]), failed_run, std::string("ERROR: ") + list[2]);
  }
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
