#include "model/termtab.h"

#include "base/utils.h"
#include "tests/child_run.h"

namespace {

// read checks that terms name known atoms: atom i is "a<i>", so listings show ids.
class TermTableTest : public testing::Test {
 protected:
  void SetUp() override {
    while (atom_table.size() < 5000) enter_atom("a" + std::to_string(atom_table.size()));
    delete_file("terms.dat");
  }
  static std::unique_ptr<TermTable> reload(const std::string &record = std::string()) {
    std::unique_ptr<TermTable> table(new TermTable);
    table->set_file("terms.dat", record);
    table->read();
    return table;
  }
  static std::string listing(const TermTable &table) {
    std::ostringstream os;
    table.print(os);
    return os.str();
  }
};

// Pairs entered over several runs, each reading what the last one appended:
// modifiers in front of all others, far beyond them, in between, head-only
// terms, and heads whose modifiers grow dense enough for a bitmap and thin
// again. Every pair keeps the id it was first given, and the chains (which
// the listing follows link by link) list each head's terms in modifier
// order, in the table that entered them and in the one read back from a
// file whose stored links went stale, also when it freed its terms and read
// them back. Entering a known pair gives its id, a new one the next.
TEST_F(TermTableTest, ChainsKeepModifierOrderAndIdsOverManyRuns) {
  std::map<unsigned long, std::map<unsigned long, unsigned long>> model;
  auto expected = [&model] {
    std::string text;
    for (const auto &head : model) {
      text += "a" + std::to_string(head.first) + "\n";
      // std::map puts NoId last, as the chains do.
      for (const auto &term : head.second)
        text += std::to_string(term.second) + ":\t " +
                (term.first == NoId ? "<empty>" : "a" + std::to_string(term.first)) + "\n";
    }
    return text;
  };
  std::mt19937 random(3);
  std::ofstream("terms.dat");
  // Each line written links to the next term of its chain at that moment.
  auto check_links = [&model](unsigned long from) {
    std::ifstream in("terms.dat");
    unsigned long head, mod, id, next;
    while (in >> head >> mod >> id >> next) {
      if (id < from) continue;
      auto following = model[head].upper_bound(mod);
      ASSERT_EQ(following == model[head].end() ? NoId : following->second, next) << id;
    }
  };
  for (int run = 0; run < 6; ++run) {
    std::unique_ptr<TermTable> table = reload();
    ASSERT_EQ(expected(), listing(*table)) << "read in run " << run;
    unsigned long saved = table->size();
    if (run % 2 != 0) table->release();  // read back by the first enter
    auto enter = [&](unsigned long head, unsigned long mod) {
      auto known = model[head].emplace(mod, table->size());
      ASSERT_EQ(known.first->second, table->enter(head, mod)) << head << " " << mod;
    };
    if (run == 0) {
      for (unsigned long mod = 3000; mod-- > 2900;) enter(1, mod);  // always first
      for (unsigned long mod = 0; mod < 40; ++mod) enter(2, mod);   // dense at once
      enter(2, 4990);                                               // far beyond
      enter(2, NoId);
    } else if (run == 1) {
      for (unsigned long mod : {4000UL, 41UL, 2500UL, 4989UL, 4991UL}) enter(2, mod);
    }
    for (int n = 0; n < 4000; ++n) {
      unsigned long mod = random() % 5001;
      enter(3 + random() % 4, mod == 5000 ? NoId : mod * (n % 3 + 1) / 3);
    }
    ASSERT_EQ(expected(), listing(*table)) << "entered in run " << run;
    table->write();
    check_links(saved);
  }
}

TEST_F(TermTableTest, DamagedFilesEndTheRun) {
  const std::string beyond = std::to_string(atom_table.size());
  for (const std::string &damaged : std::vector<std::string>{
           "1 2 0\n", "1 2 0 4294967295 8\n", "1 -2 0 4294967295\n", "1  2 0 4294967295\n",
           "1 2 0 4294967296\n",
           "4294967295 2 0 4294967295\n",      // NoId as head
           "1 " + beyond + " 0 4294967295\n",  // beyond the atom table
           "1 2 1 4294967295\n",               // an id that is not its line
           "1 2 0 4294967295\n1 2 1 0\n"}) {   // a pair twice
    std::ofstream("terms.dat") << damaged;
    EXPECT_EXIT(reload(), failed_run, "format error in file `terms.dat'") << damaged;
  }
  // A cut atoms.dat shows as terms that name unknown atoms: both files named.
  atom_table.set_file("atoms.dat");
  std::ofstream("terms.dat") << "1 2 0 4294967295\n7 " << beyond << " 1 4294967295\n";
  EXPECT_EXIT(reload(), failed_run,
              "term 1 names an atom beyond the " + beyond + " of `atoms.dat'(.|\n)*"
              "format error in file `terms.dat'");
}

// With a side record the terms are counted at once and read when one is
// looked up; a change to the bytes still ends the run, by the next write at
// the latest, and a file cut short of the record at once.
TEST_F(TermTableTest, RecordedTermsAreReadWhenLookedUpAndStillChecked) {
  // A forked child would wait for a checking thread it does not have.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  delete_file("terms.sum");
  std::ofstream("terms.dat");
  {
    std::unique_ptr<TermTable> table = reload("terms.sum");
    for (uint32_t head = 1; head <= 3; ++head) table->enter(head, NoId);
    table->write();
  }
  uint32_t id = NoId;
  std::unique_ptr<TermTable> table = reload("terms.sum");
  EXPECT_EQ(3u, table->size());
  EXPECT_TRUE(table->find(2, NoId, id));
  EXPECT_EQ(1u, id);
  std::ofstream("terms.dat", std::ios::in | std::ios::out).seekp(0) << '9';
  table = reload("terms.sum");
  EXPECT_EQ(3u, table->size());
  EXPECT_EXIT(table->write(), failed_run, "file `terms.dat' is damaged");
  EXPECT_EXIT(table->find(2, NoId, id), failed_run, "file `terms.dat' is damaged");
  std::string text = file_text("terms.dat");
  std::ofstream("terms.dat") << text.substr(0, text.size() - 2);
  EXPECT_EXIT(reload("terms.sum"), failed_run, "file `terms.dat' is damaged");
}

}  // namespace
