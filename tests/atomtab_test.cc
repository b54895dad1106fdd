#include "model/atomtab.h"

#include <sys/resource.h>

#include "base/options.h"
#include "base/utils.h"
#include "tests/child_run.h"

namespace {

// The table of a file as a run has it after reading it.
std::unique_ptr<AtomTable> read_table(const std::string &file, const std::string &record = "") {
  std::unique_ptr<AtomTable> table(new AtomTable);
  table->set_file(file, record);
  table->read();
  return table;
}

// Level-1 results reach the screen with -v: the growth lines are checked there.
TEST(AtomTableTest, IdsSurviveAndOnlyNewAtomsAreAppended) {
  const char *argv[] = {"mivo", "-v", "examples"};
  options.parse(3, argv);
  testing::internal::CaptureStderr();
  delete_file("grow.dat");
  AtomTable first;
  first.set_file("grow.dat");
  first.write();
  EXPECT_EQ(0UL, first.enter("red"));
  EXPECT_EQ(1UL, first.enter("blue"));
  EXPECT_EQ(0UL, first.enter("red"));
  first.write();
  std::unique_ptr<AtomTable> second = read_table("grow.dat");
  uint32_t id = 0;
  EXPECT_FALSE(second->find("green", id));
  EXPECT_EQ(2UL, second->enter("green"));
  second->write();
  second->write();
  EXPECT_EQ("creating grow.dat with 2 atoms\nupdating grow.dat from 2 to 3 atoms\n",
            testing::internal::GetCapturedStderr());
  EXPECT_EQ("red\nblue\ngreen\n", file_text("grow.dat"));
  // A run killed amid an append leaves a torn last line: dropped, and written
  // over by the next append. Atoms have no length limit.
  std::ofstream("grow.dat", std::ios::app) << "torn";
  std::string phrase;
  while (phrase.size() < 40000) phrase += "word ";
  testing::internal::CaptureStderr();
  std::unique_ptr<AtomTable> third = read_table("grow.dat");
  EXPECT_NE(std::string::npos,
            testing::internal::GetCapturedStderr().find("WARNING: dropping incomplete"));
  EXPECT_EQ(3UL, third->enter(phrase));
  third->write();
  EXPECT_EQ("red\nblue\ngreen\n" + phrase + "\n", file_text("grow.dat"));
  EXPECT_EQ(phrase, read_table("grow.dat")->text(3));
}

// The side record vouches for the bytes that the last append left: a change
// among them or a file cut short of them ends the run naming the file. Lines
// appended after them, and a file without a record (an older directory),
// read unchecked until the next append records them.
TEST(AtomTableTest, TheSideRecordVouchesForTheBytesOfTheLastAppend) {
  delete_file("sum.dat");
  AtomTable first;
  first.set_file("sum.dat", "sum.sum");
  first.enter("red");
  first.enter("blue");
  first.write();
  const std::string record = file_text("sum.sum");
  const struct { const char *text, *record, *message; } cases[] = {
      {"red\nblue\ngreen\n", "", nullptr},
      {"red\nblux\n", nullptr, nullptr},
      {"red\nblux\n", "", "file `sum.dat' is damaged"},
      {"red\nbl", "", "file `sum.dat' is damaged"},
      {"red\n", "", "file `sum.dat' is damaged"},
      {"red\nblue\n", "mivo vocabulary checksum 1\n9\n", "format error in file `sum.sum'"}};
  for (const auto &c : cases) {
    std::ofstream("sum.dat") << c.text;
    delete_file("sum.sum");
    if (c.record != nullptr) std::ofstream("sum.sum") << (*c.record ? c.record : record.c_str());
    if (c.message != nullptr) {
      EXPECT_EXIT(read_table("sum.dat", "sum.sum"), failed_run, c.message) << c.text;
      continue;
    }
    read_table("sum.dat", "sum.sum")->write();
    std::ofstream("sum.dat", std::ios::in | std::ios::out).seekp(-2, std::ios::end) << 'Z';
    EXPECT_EXIT(read_table("sum.dat", "sum.sum"), failed_run, "file `sum.dat' is damaged") << c.text;
  }
}

// A file that is damaged, cannot be read, has changed behind the table's back
// or cannot take the new lines ends the run naming it.
TEST(AtomTableTest, FilesThatCannotBeTrustedEndTheRun) {
  mkdir("unreadable.dat", 0755);
  const struct { const char *name, *text, *message; } cases[] = {
      {"twice.dat", "red\nblue\nred\n", "format error in file `twice.dat'"},
      {"empty-line.dat", "red\n\nblue\n", "format error in file `empty-line.dat'"},
      {"unreadable.dat", nullptr, "error reading file `unreadable.dat'"}};
  for (const auto &c : cases) {
    if (c.text != nullptr) std::ofstream(c.name) << c.text;
    EXPECT_EXIT(read_table(c.name), failed_run, c.message);
  }
  // Appending behind lines this table never read would give its atoms their ids.
  std::ofstream("changed.dat") << "red\n";
  AtomTable table;
  table.set_file("changed.dat");
  table.enter("blue");
  EXPECT_EXIT(table.write(), failed_run, "`changed.dat' is not as this run read it");
  // The lines wait in a buffer until the file is closed: a full disk (here
  // a limit of 200 bytes for 1000) shows there.
  auto full_disk = [] {
    AtomTable full;
    for (int n = 0; n < 50; ++n) full.enter("a-word-of-twenty-" + std::to_string(n + 100));
    full.set_file("full.dat");
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit = {200, 200};
    setrlimit(RLIMIT_FSIZE, &limit);
    full.write();
  };
  delete_file("full.dat");
  EXPECT_EXIT(full_disk(), failed_run, "error writing file `full.dat'");
}

}  // namespace
