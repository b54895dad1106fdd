#include "model/termtab.h"

#include <sys/wait.h>

#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "base/utils.h"

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

// A head's modifiers turn from a sorted array into a bitmap as the chain
// grows denser: in front of everything, far beyond the bitmap's end, in
// between across long empty stretches, and head-only terms at any time. The
// listing follows each chain's links, so it shows every link; it must list
// each head's pairs in modifier order with the ids they were first given.
TEST_F(TermTableTest, ChainsKeepModifierOrderAsModifierSetsGrowDense) {
  while (atom_table.size() < 5000) enter_atom("a" + std::to_string(atom_table.size()));
  std::map<unsigned long, std::map<unsigned long, unsigned long>> model;
  TermTable table;
  table.set_file("terms.dat");
  std::mt19937 random(3);
  auto enter = [&](unsigned long head, unsigned long mod) {
    auto known = model[head].emplace(mod, table.size());
    ASSERT_EQ(known.first->second, table.enter(head, mod)) << head << " " << mod;
  };
  for (unsigned long mod = 3000; mod-- > 2900;) enter(1, mod);    // always first
  for (unsigned long mod = 0; mod < 40; ++mod) enter(2, mod);     // dense at once
  enter(2, 4990);                                                 // far beyond
  enter(2, EmptyAtom);
  for (unsigned long mod : {4000UL, 41UL, 2500UL, 4989UL, 4991UL}) enter(2, mod);
  for (int n = 0; n < 20000; ++n) {
    unsigned long mod = random() % 5001;
    enter(3 + random() % 4, mod == 5000 ? EmptyAtom : mod * (n % 3 + 1) / 3);
  }
  std::string expected;
  for (const auto &head : model) {
    expected += "a" + std::to_string(head.first) + "\n";
    for (const auto &term : head.second)
      expected += std::to_string(term.second) + ":\t " +
                  (term.first == EmptyAtom ? "<empty>" : "a" + std::to_string(term.first)) +
                  "\n";
  }
  // std::map puts EmptyAtom last, as the chains do.
  EXPECT_EQ(expected, listing(table));
  table.write();
  std::unique_ptr<TermTable> reloaded = reload();
  EXPECT_EQ(expected, listing(*reloaded));
  for (const auto &head : model)
    for (unsigned long mod = 0; mod < 5000; mod += 7) {
      unsigned long id = EmptyTerm;
      auto term = head.second.find(mod);
      bool known = term != head.second.end();
      ASSERT_EQ(known, reloaded->find(head.first, mod, id)) << head.first << " " << mod;
      if (known) {
        EXPECT_EQ(term->second, id);
      }
    }
}

TEST_F(TermTableTest, DamagedFilesEndTheRun) {
  // Other tests may have entered more atoms than SetUp.
  const std::string beyond = std::to_string(atom_table.size());
  for (const std::string &damaged : std::vector<std::string>{
           "1 2 0\n", "1 2 0 4294967295 8\n", "1 -2 0 4294967295\n",
           "1  2 0 4294967295\n", "1 2 0 4294967296\n",
           "4294967295 2 0 4294967295\n",  // EmptyAtom as head
           "1 " + beyond + " 0 4294967295\n",  // beyond the atom table
           "1 2 1 4294967295\n",           // an id that is not its line
           "1 2 0 4294967295\n1 2 1 0\n"}) {
    std::ofstream("terms.dat") << damaged;
    EXPECT_EXIT(reload(), [](int s) { return WIFEXITED(s) && WEXITSTATUS(s) != 0; },
                "format error in file `terms.dat'")
        << damaged;
  }
  // A cut atoms.dat shows as terms that name unknown atoms: both files named.
  atom_table.set_file("atoms.dat");
  std::ofstream("terms.dat") << "1 2 0 4294967295\n7 " << beyond << " 1 4294967295\n";
  EXPECT_EXIT(reload(), [](int s) { return WIFEXITED(s) && WEXITSTATUS(s) != 0; },
              "term 1 names an atom beyond the " + beyond + " of `atoms.dat'(.|\n)*"
              "format error in file `terms.dat'");
}

}  // namespace
