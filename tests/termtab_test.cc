#include "model/termtab.h"

#include <sys/wait.h>

#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

#include "driver/utils.h"

namespace {

// read checks that terms name known atoms: atom i is "a<i>", so listings show ids.
class TermTableTest : public testing::Test {
 protected:
  void SetUp() override {
    while (atom_table.size() < 200) enter_atom("a" + std::to_string(atom_table.size()));
    delete_file("terms.dat");
  }
  static std::unique_ptr<TermTable> reload() {
    std::unique_ptr<TermTable> table(new TermTable);
    table->set_file("terms.dat");
    table->read();
    return table;
  }
  static std::string listing(const TermTable &table) {
    std::ostringstream os;
    table.print(os);
    return os.str();
  }
};

TEST_F(TermTableTest, ChainsAreSortedByModifierIdWithHeadOnlyLast) {
  TermTable table;
  for (unsigned long mod : {EmptyAtom, 7UL, 100UL, 3UL}) table.enter(5, mod);
  EXPECT_EQ(1UL, table.enter(5, 7));
  EXPECT_EQ("a5\n3:\t a3\n1:\t a7\n2:\t a100\n0:\t <empty>\n", listing(table));
  unsigned long id = 99;
  EXPECT_FALSE(table.find(5, 4, id) || table.find(5, 101, id) || table.find(6, 7, id));
  EXPECT_EQ(4UL, table.size());
  ASSERT_TRUE(table.find(5, EmptyAtom, id));
  EXPECT_EQ(0UL, id);
}

// Run 2 puts (h, 3) in front of (h, 7), already on disk without a successor;
// run 3 puts (h, 5) between them. No stored link knows of these changes.
TEST_F(TermTableTest, ReadRebuildsChainsThatAppendsLeftStale) {
  TermTable first;
  first.set_file("terms.dat");
  first.enter(9, 7);
  first.write();
  first.enter(9, 3);
  first.write();
  std::unique_ptr<TermTable> second = reload();
  EXPECT_EQ(2UL, second->enter(9, 5));
  second->write();
  EXPECT_EQ("a9\n1:\t a3\n2:\t a5\n0:\t a7\n", listing(*reload()));
}

// Random inserts in the middle of chains, while the term vector reallocates.
TEST_F(TermTableTest, EveryPairKeepsItsFirstIdOverManyRuns) {
  std::map<std::pair<unsigned long, unsigned long>, unsigned long> first_ids;
  std::mt19937 random(11);
  std::ofstream("terms.dat");
  for (int run = 0; run < 40; ++run) {
    std::unique_ptr<TermTable> table = reload();
    for (int n = 0; n < 60; ++n) {
      unsigned long head = random() % 4, mod = random() % 150;
      if (mod == 149) mod = EmptyAtom;
      auto known = first_ids.emplace(std::make_pair(head, mod), table->size());
      ASSERT_EQ(known.first->second, table->enter(head, mod)) << "run " << run;
    }
    table->write();
  }
  EXPECT_EQ(first_ids.size(), reload()->size());
}

// The linked chains that terms.dat records must follow the sorted arrays
// that lookups search: a table grown by random inserts lists as the same
// table rebuilt from its file.
TEST_F(TermTableTest, LinksAgreeWithTheChainsRebuiltFromTheFile) {
  TermTable table;
  table.set_file("terms.dat");
  std::mt19937 random(5);
  for (int n = 0; n < 3000; ++n) {
    unsigned long mod = random() % 200;
    table.enter(random() % 7, mod == 199 ? EmptyAtom : mod);
  }
  table.write();
  EXPECT_EQ(listing(*reload()), listing(table));
}

TEST_F(TermTableTest, DamagedFilesEndTheRun) {
  for (const char *damaged : {
           "1 2 0\n", "1 2 0 4294967295 8\n", "1 -2 0 4294967295\n",
           "1  2 0 4294967295\n", "1 2 0 4294967296\n",
           "4294967295 2 0 4294967295\n",  // EmptyAtom as head
           "1 200 0 4294967295\n",         // beyond the atom table
           "1 2 1 4294967295\n",           // an id that is not its line
           "1 2 0 4294967295\n1 2 1 0\n"}) {
    std::ofstream("terms.dat") << damaged;
    EXPECT_EXIT(reload(), [](int s) { return WIFEXITED(s) && WEXITSTATUS(s) != 0; },
                "format error in file `terms.dat'")
        << damaged;
  }
  // A cut atoms.dat shows as terms that name unknown atoms: both files named.
  atom_table.set_file("atoms.dat");
  std::ofstream("terms.dat") << "1 2 0 4294967295\n7 200 1 4294967295\n";
  EXPECT_EXIT(reload(), [](int s) { return WIFEXITED(s) && WEXITSTATUS(s) != 0; },
              "term 1 names an atom beyond the 200 of `atoms.dat'(.|\n)*"
              "format error in file `terms.dat'");
}

}  // namespace
