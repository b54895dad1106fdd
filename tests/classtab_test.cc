#include "model/classtab.h"

#include <gtest/gtest.h>

namespace {

std::string full_name(const ClassTable &table, uint32_t id) {
  std::ostringstream os;
  table.print_full_name(os, id);
  return os.str();
}

// Under corpus (0): a (1) / b (2) / c (3), a / d (4), e (5). Runs of slashes
// name the same class, a trailing one is part of the name. Read back, every
// class is found by its full name, and a class named like the root is a
// class of its own.
TEST(ClassTable, FullNamesResolveAndSurviveTheClassesFile) {
  ClassTable table;
  table.enter_class("corpus", 0);
  for (const char *name : {"a/b/c", "a/d", "e"}) table.enter_on_full_name(name, 0);
  EXPECT_EQ(3u, table.enter_on_full_name("a//b///c", 0));
  EXPECT_EQ(6u, table.enter_on_full_name("a/", 0));
  EXPECT_EQ(7u, table.enter_on_full_name("corpus", 0));
  table.get_data(0).num_docs = 12;
  table.get_data(0).sum_freq = 5000000000ULL;
  std::ostringstream written, again;
  ASSERT_TRUE(table.write(written));
  EXPECT_EQ(0u, written.str().find("8\n0\t12\t0\t5000000000\t0\t\"corpus\"\n"));
  ClassTable copy;
  std::istringstream in(written.str() + "\n \n");
  ASSERT_TRUE(copy.read(in) && copy.write(again));
  EXPECT_EQ(written.str(), again.str());
  EXPECT_EQ("corpus a/b/c a/", full_name(copy, 0) + " " + full_name(copy, 3) + " " + full_name(copy, 6));
  ClassData *found = nullptr;
  for (uint32_t id = 1; id < copy.size(); ++id)
    EXPECT_TRUE(copy.extract_full_name(full_name(copy, id), &found) && found->id == id) << id;
  EXPECT_FALSE(copy.extract_full_name("b/c", &found) || found);
  EXPECT_EQ(7u, copy.enter_on_full_name("corpus", 0));
}

TEST(ClassTable, UnstorableNamesStopTheRun) {
  const std::string bad[] = {"a\"b", "a\tb", "x/a\nb", "a\\", "a\\/b", "",
                             "/a", std::string("a\0b", 3), std::string(1024, 'x')};
  for (const std::string &name : bad) {
    ClassTable table;
    table.enter_class("corpus", 0);
    EXPECT_EXIT(table.enter_on_full_name(name, 0), ::testing::ExitedWithCode(1),
                "invalid class name") << name;
  }
}

TEST(ClassTable, DamagedClassesFilesFailToRead) {
  const std::string root = "0\t1\t0\t5\t0\t\"r\"\n1\t0\t0\t0\t0\t\"b\"\n";
  const char *lines[] = {
      "2\t0\t0\t0\t0\t\"a\"\nx\n",  // trailing text
      "2\t0\t0\t0\t2\t\"a\"\n",     // father not smaller
      "3\t0\t0\t0\t0\t\"a\"\n",     // id out of order
      "2\t0\t0\t0\t0\t\"b\"\n",     // repeats a key
      "2\t-1\t0\t0\t0\t\"a\"\n",    // negative
      "2\t0\t0\t0\t0\t\"\"\n",      // empty name below the root
      "2\t0\t4294967296\t0\t0\t\"a\"\n",  // beyond 32 bits
  };
  for (const char *line : lines) {
    ClassTable table;
    std::istringstream in("3\n" + root + line);
    EXPECT_FALSE(table.read(in)) << line;
    EXPECT_TRUE(table.empty()) << line;
  }
}

}  // namespace
