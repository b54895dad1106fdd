#include "model/termtab.h"

#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

#include "driver/utils.h"

namespace {

bool failed_run(int status) { return WIFEXITED(status) && WEXITSTATUS(status) != 0; }

std::string file_text(const std::string &path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Term files name atoms, which read checks against the atom table: atom i is
// "a<i>", so listings show the ids.
const unsigned long atom_count = 2000;

class TermTableTest : public testing::Test {
 protected:
  void SetUp() override {
    while (atom_table.size() < atom_count)
      enter_atom("a" + std::to_string(atom_table.size()));
    path = std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
           ".terms.dat";
    delete_file(path.c_str());
  }

  std::unique_ptr<TermTable> reload() {
    std::unique_ptr<TermTable> table(new TermTable);
    table->set_file(path);
    table->read();
    return table;
  }

  std::string listing(const TermTable &table) {
    std::ostringstream os;
    table.print(os);
    return os.str();
  }

  std::string path;
};

TEST_F(TermTableTest, ChainsAreSortedByModifierIdWithHeadOnlyLast) {
  TermTable table;
  const unsigned long h = 5;
  EXPECT_EQ(0UL, table.enter(h, EmptyAtom));
  EXPECT_EQ(1UL, table.enter(h, 7));
  EXPECT_EQ(2UL, table.enter(h, 100));  // "a100" sorts before "a7" as text
  EXPECT_EQ(3UL, table.enter(h, 3));
  EXPECT_EQ(1UL, table.enter(h, 7));
  EXPECT_EQ(0UL, table.enter(h, EmptyAtom));
  EXPECT_EQ("a5\n3:\t a3\n1:\t a7\n2:\t a100\n0:\t <empty>\n", listing(table));

  unsigned long id = 99;
  EXPECT_FALSE(table.find(h, 4, id));
  EXPECT_FALSE(table.find(h, 200, id));
  EXPECT_FALSE(table.find(6, 7, id));
  EXPECT_EQ(99UL, id);
  EXPECT_EQ(4UL, table.size());
  for (unsigned long mod : {3UL, 7UL, 100UL, EmptyAtom}) {
    ASSERT_TRUE(table.find(h, mod, id));
    EXPECT_EQ(mod, table.get_term(id).mod);
  }
  EXPECT_DEATH(table.enter(EmptyAtom, 3), "failed assertion");
}

// Many inserts in random order reallocate the term vector under enter's walk.
TEST_F(TermTableTest, ChainsStayCompleteWhileTheTableGrows) {
  std::vector<unsigned long> mods(1500);
  for (unsigned long i = 0; i < mods.size(); ++i) mods[i] = i;
  std::shuffle(mods.begin(), mods.end(), std::mt19937(7));
  TermTable table;
  for (unsigned long i = 0; i < mods.size(); ++i) {
    EXPECT_EQ(2 * i, table.enter(1, mods[i]));
    EXPECT_EQ(2 * i + 1, table.enter(2, mods[i]));
  }
  for (unsigned long i = 0; i < mods.size(); ++i) {
    EXPECT_EQ(2 * i, table.enter(1, mods[i]));
    EXPECT_EQ(2 * i + 1, table.enter(2, mods[i]));
  }
  EXPECT_EQ(2 * mods.size(), table.size());
}

// Term 0 (h, 7) is on disk with no successor when (h, 3) is put in front of
// it; after another run adds (h, 5) between them, the stored links say
// neither 3 -> 5 nor 5 -> 7.
TEST_F(TermTableTest, ReadRebuildsChainsThatAppendsLeftStale) {
  const unsigned long h = 9;
  TermTable first;
  first.set_file(path);
  EXPECT_EQ(0UL, first.enter(h, 7));
  first.write();
  EXPECT_EQ(1UL, first.enter(h, 3));
  first.write();
  EXPECT_EQ("9 7 0 4294967295\n9 3 1 0\n", file_text(path));

  std::unique_ptr<TermTable> second = reload();
  EXPECT_EQ("a9\n1:\t a3\n0:\t a7\n", listing(*second));
  unsigned long id;
  ASSERT_TRUE(second->find(h, 7, id));
  EXPECT_EQ(0UL, id);
  EXPECT_EQ(2UL, second->enter(h, 5));
  second->write();

  std::unique_ptr<TermTable> third = reload();
  EXPECT_EQ("a9\n1:\t a3\n2:\t a5\n0:\t a7\n", listing(*third));
}

TEST_F(TermTableTest, EveryPairKeepsItsFirstIdOverManyRuns) {
  std::map<std::pair<unsigned long, unsigned long>, unsigned long> first_ids;
  std::mt19937 random(11);
  TermTable initial;
  initial.set_file(path);
  initial.write();
  for (int run = 0; run < 40; ++run) {
    std::unique_ptr<TermTable> table = reload();
    for (int n = 0; n < 25; ++n) {
      unsigned long head = random() % 4, mod = random() % 60;
      if (mod == 59) mod = EmptyAtom;
      unsigned long id = table->enter(head, mod);
      auto known = first_ids.emplace(std::make_pair(head, mod), id);
      ASSERT_EQ(known.first->second, id) << "run " << run;
    }
    table->write();
  }
  std::unique_ptr<TermTable> last = reload();
  EXPECT_EQ(first_ids.size(), last->size());
  for (const auto &pair : first_ids) {
    unsigned long id;
    ASSERT_TRUE(last->find(pair.first.first, pair.first.second, id));
    EXPECT_EQ(pair.second, id);
  }
}

TEST_F(TermTableTest, DamagedFilesEndTheRun) {
  const char *const damaged[] = {
      "1 2 0\n",                  // three numbers
      "1 2 0 4294967295 8\n",     // five
      "1 -2 0 4294967295\n",      // no unsigned number
      "1  2 0 4294967295\n",      // two blanks
      "1 2 0 4294967296\n",       // beyond 32 bits
      "4294967295 2 0 4294967295\n",  // EmptyAtom as head
      "1 2000 0 4294967295\n",    // an atom atoms.dat does not hold
      "1 2 1 4294967295\n",       // an id that is not its line
      "1 2 0 4294967295\n1 2 1 4294967295\n",  // a pair twice
  };
  for (const char *text : damaged) {
    std::ofstream(path) << text;
    TermTable table;
    table.set_file(path);
    EXPECT_EXIT(table.read(), failed_run, "format error in file `" + path + "'")
        << text;
  }
}

TEST_F(TermTableTest, TornLastLineIsDroppedAndCutOff) {
  std::ofstream(path) << "1 2 0 4294967295\n1 3 1 4294967";
  testing::internal::CaptureStderr();
  std::unique_ptr<TermTable> table = reload();
  EXPECT_NE(std::string::npos,
            testing::internal::GetCapturedStderr().find("WARNING: dropping incomplete"));
  EXPECT_EQ(1UL, table->size());
  EXPECT_EQ(1UL, table->enter(1, 3));
  table->write();
  EXPECT_EQ("1 2 0 4294967295\n1 3 1 4294967295\n", file_text(path));
}

}  // namespace
