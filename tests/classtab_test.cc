#include "model/classtab.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

std::string full_name(const ClassTable &table, uint32_t id) {
  std::ostringstream os;
  table.print_full_name(os, id);
  return os.str();
}

// corpus (0) with a (1) / b (2) / c (3), a / d (4), e (5).
void enter_tree(ClassTable &table) {
  table.enter_class("corpus", 0);
  table.enter_on_full_name("a/b/c", 0);
  table.enter_on_full_name("a/d", 0);
  table.enter_on_full_name("e", 0);
}

TEST(ClassTable, FullNamesEnterPrintAndResolve) {
  ClassTable table;
  enter_tree(table);
  ASSERT_EQ(6u, table.size());
  EXPECT_EQ(2u, table.get_data(3).father->id);
  EXPECT_EQ(2u, table.enter_on_full_name("a/b", 0));
  EXPECT_EQ(3u, table.enter_on_full_name("a//b///c", 0));
  EXPECT_EQ(6u, table.size());
  EXPECT_EQ(6u, table.enter_on_full_name("a/", 0));
  EXPECT_EQ("a/", table.get_name(6));
  EXPECT_EQ(0u, table.enter_class("corpus", 0));  // the root's own name

  EXPECT_EQ("corpus", full_name(table, 0));
  EXPECT_EQ("a/b/c", full_name(table, 3));
  for (uint32_t id = 0; id < table.size(); ++id) {
    ClassData *found = nullptr;
    ASSERT_TRUE(table.extract_full_name(full_name(table, id), &found)) << id;
    EXPECT_EQ(id, found->id);
  }
  ClassData *found = &table.get_data(0);
  EXPECT_FALSE(table.extract_full_name("b/c", &found));
  EXPECT_EQ(nullptr, found);
  EXPECT_FALSE(table.extract_full_name("a/b/c/x", &found));
}

TEST(ClassTable, UnstorableNamesStopTheRun) {
  const char *bad[] = {"a\"b", "a\tb", "x/a\nb", "a\\", "a\\/b", "", "/a"};
  for (const char *name : bad) {
    ClassTable table;
    table.enter_class("corpus", 0);
    EXPECT_EXIT(table.enter_on_full_name(name, 0),
                ::testing::ExitedWithCode(1), "invalid class name") << name;
  }
  ClassTable table;
  table.enter_class("corpus", 0);
  EXPECT_EXIT(table.enter_on_full_name(std::string("a\0b", 3), 0),
              ::testing::ExitedWithCode(1), "invalid class name");
  EXPECT_EXIT(table.enter_on_full_name(std::string(1024, 'x'), 0),
              ::testing::ExitedWithCode(1), "invalid class name");
  EXPECT_EQ(1u, table.enter_on_full_name(std::string(1023, 'x'), 0));
}

TEST(ClassTable, CollectExamplesMergesUpTheTree) {
  ClassTable table;
  EXPECT_FALSE(table.have_training_docs());
  enter_tree(table);
  table.enter_test_example(3, "t1");
  table.enter_test_example(4, "t1");
  table.collect_examples();
  EXPECT_FALSE(table.have_training_docs());

  ClassTable tree;
  enter_tree(tree);
  tree.enter_train_example(3, "d1");
  tree.enter_train_example(3, "d2");
  tree.enter_train_example(4, "d1");  // d1 is in two siblings' subtrees
  tree.enter_train_example(5, "d3");
  tree.enter_test_example(3, "t1");
  tree.enter_test_example(4, "t1");
  Examples &root = tree.collect_examples();
  EXPECT_TRUE(tree.have_training_docs());

  const ExampList &a = tree.get_data(1).examples.train;
  ASSERT_EQ(2u, a.size());
  EXPECT_EQ((std::vector<ClassData *>{&tree.get_data(2), &tree.get_data(4)}),
            a.at("d1"));
  EXPECT_EQ(std::vector<ClassData *>{&tree.get_data(2)}, a.at("d2"));
  ASSERT_EQ(3u, root.train.size());
  EXPECT_EQ(std::vector<ClassData *>{&tree.get_data(1)}, root.train.at("d1"));
  EXPECT_EQ(std::vector<ClassData *>{&tree.get_data(5)}, root.train.at("d3"));
  EXPECT_EQ((std::vector<ClassData *>{&tree.get_data(3), &tree.get_data(4)}),
            root.test.at("t1"));
}

TEST(ClassTable, ClassesFileRoundTrip) {
  ClassTable table;
  enter_tree(table);
  table.get_data(0).num_docs = 12;
  table.get_data(0).sum_freq = 5000000000ULL;
  table.get_data(3).num_other_docs = 7;
  std::ostringstream written;
  ASSERT_TRUE(table.write(written));
  EXPECT_EQ(0u, written.str().find("6\n0\t12\t0\t5000000000\t0\t\"corpus\"\n"));

  ClassTable copy;
  std::istringstream in(written.str() + "\n \n");
  ASSERT_TRUE(copy.read(in));
  ASSERT_EQ(6u, copy.size());
  EXPECT_EQ("a/b/c", full_name(copy, 3));
  EXPECT_EQ(2u, copy.get_data(1).sons.size());
  EXPECT_EQ(7u, copy.get_data(3).num_other_docs);
  EXPECT_EQ(6u, copy.enter_class("new", 0));
  std::ostringstream again;
  copy.clear();
  std::istringstream in2(written.str());
  ASSERT_TRUE(copy.read(in2) && copy.write(again));
  EXPECT_EQ(written.str(), again.str());
}

TEST(ClassTable, DamagedClassesFilesFailToRead) {
  const std::string root = "0\t1\t0\t5\t0\t\"r\"\n";
  const char *lines[] = {
      "1\t0\t0\t0\t0\t\"a\"\nx\n",      // trailing text
      "1\t0\t0\t0\t1\t\"a\"\n",         // father not smaller
      "1\t0\t0\t0\t5\t\"a\"\n",         // father unknown
      "2\t0\t0\t0\t0\t\"a\"\n",         // id out of order
      "1\t0\t0\t0\t0\t\"r\"\n",         // repeats the root's key
      "1\t-1\t0\t0\t0\t\"a\"\n",        // negative count
      "1\t0\t0\tx\t0\t\"a\"\n",         // non-numeric
      "1\t0\t0\t0\t0\t\"a\n",           // unterminated name
      "1\t0\t0\t0\t0\t\"\"\n",          // empty name below the root
      "1\t0\t4294967296\t0\t0\t\"a\"\n",  // beyond 32 bits
  };
  for (const char *line : lines) {
    ClassTable table;
    std::istringstream in("2\n" + root + line);
    EXPECT_FALSE(table.read(in)) << line;
    EXPECT_TRUE(table.empty()) << line;
  }
  ClassTable table;
  std::istringstream short_file("3\n" + root);
  EXPECT_FALSE(table.read(short_file));
}

TEST(ClassTable, RemoveTermsPrunesGatheredTerms) {
  ClassTable table;
  table.enter_class("r", 0);
  ClassData &data = table.get_data(0);
  data.sum_freq = 10;
  data.profile.features[1].term_freq = 4;
  data.profile.features[2].term_freq = 3;
  data.profile.features[9].term_freq = 1;  // gathered in an earlier run
  data.statistics[1];
  data.statistics[2];
  table.remove_terms({2, 5});
  EXPECT_EQ(6u, data.sum_freq);
  EXPECT_EQ(nullptr, data.profile.get_feature(1));
  EXPECT_EQ(2u, data.profile.features.size());
  EXPECT_TRUE(data.statistics.empty());
  data.statistics[2];
  table.remove_terms({});
  EXPECT_EQ(3u, data.sum_freq);
  EXPECT_EQ(1u, data.profile.features.size());
}

}  // namespace
