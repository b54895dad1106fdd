#include "model/atomtab.h"

#include <sys/wait.h>

#include <fstream>
#include <iostream>
#include <sstream>

#include <gtest/gtest.h>

#include "driver/options.h"
#include "driver/utils.h"

namespace {

bool failed_run(int status) { return WIFEXITED(status) && WEXITSTATUS(status) != 0; }

std::string file_text(const std::string &path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void make_file(const std::string &path, const std::string &text) {
  std::ofstream(path) << text;
}

// Each test gets an atoms.dat of its own and the screen output of level-1
// results, which is where "creating"/"updating" show.
class AtomFileTest : public testing::Test {
 protected:
  void SetUp() override {
    options = Options();
    const char *argv[] = {"mivo", "-v", "examples"};
    options.parse(3, argv);
    path = std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
           ".atoms.dat";
    delete_file(path.c_str());
    old_clog = std::clog.rdbuf(screen.rdbuf());
  }
  void TearDown() override { std::clog.rdbuf(old_clog); }

  std::string take_screen() {
    std::string text = screen.str();
    screen.str("");
    return text;
  }

  std::string path;
  std::stringstream screen;
  std::streambuf *old_clog = nullptr;
};

TEST(AtomTableTest, EntersEachStringOnceAndFindsWithoutEntering) {
  AtomTable table;
  EXPECT_EQ(0UL, table.enter("red"));
  EXPECT_EQ(1UL, table.enter("blue"));
  EXPECT_EQ(2UL, table.enter("sports car"));
  EXPECT_EQ(0UL, table.enter("red"));
  EXPECT_EQ("sports car", table.text(2));

  unsigned long id = 0;
  EXPECT_FALSE(table.find("green", id));
  EXPECT_EQ(EmptyAtom, id);
  EXPECT_TRUE(table.find("blue", id));
  EXPECT_EQ(1UL, id);
  EXPECT_EQ(3UL, table.size());
}

TEST(AtomTableTest, RefusesEmptyAndMultiLineTexts) {
  AtomTable table;
  EXPECT_DEATH(table.enter(""), "failed assertion");
  EXPECT_DEATH(table.enter("two\nlines"), "failed assertion");
  EXPECT_DEATH(table.text(0), "failed assertion");
}

TEST_F(AtomFileTest, AppendsOnlyNewAtomsAndLogsTheGrowth) {
  make_file(path, "red\nblue\n");
  AtomTable table;
  table.set_file(path);
  table.read();
  EXPECT_EQ(0UL, table.enter("red"));
  EXPECT_EQ(1UL, table.enter("blue"));
  EXPECT_EQ(2UL, table.enter("green"));
  table.write();
  EXPECT_EQ("red\nblue\ngreen\n", file_text(path));
  EXPECT_EQ("updating " + path + " from 2 to 3 atoms\n", take_screen());

  table.write();
  EXPECT_EQ("red\nblue\ngreen\n", file_text(path));
  EXPECT_EQ("", take_screen());
}

TEST_F(AtomFileTest, FirstWriteCreatesTheFile) {
  AtomTable table;
  table.set_file(path);
  table.write();
  EXPECT_TRUE(file_exists(path));
  EXPECT_EQ("", file_text(path));
  EXPECT_EQ("", take_screen());

  table.enter("red");
  table.enter("blue");
  table.write();
  EXPECT_EQ("creating " + path + " with 2 atoms\n", take_screen());
}

TEST_F(AtomFileTest, LongAtomsKeepTheirLines) {
  std::string phrase;
  for (int i = 0; i < 5000; ++i) phrase += "word ";
  phrase += "end";
  AtomTable written;
  written.set_file(path);
  written.enter("before");
  written.enter(phrase);
  written.enter("after");
  written.write();

  AtomTable loaded;
  loaded.set_file(path);
  loaded.read();
  ASSERT_EQ(3UL, loaded.size());
  EXPECT_EQ(phrase, loaded.text(1));
  EXPECT_EQ("after", loaded.text(2));
}

TEST_F(AtomFileTest, TornLastLineIsDroppedAndCutOff) {
  make_file(path, "red\nblue\ngre");
  AtomTable table;
  table.set_file(path);
  testing::internal::CaptureStderr();
  table.read();
  EXPECT_NE(std::string::npos,
            testing::internal::GetCapturedStderr().find("WARNING: dropping incomplete"));
  EXPECT_EQ(2UL, table.size());
  EXPECT_EQ("red\nblue\n", file_text(path));
  EXPECT_EQ(2UL, table.enter("green"));
  table.write();
  EXPECT_EQ("red\nblue\ngreen\n", file_text(path));
}

TEST_F(AtomFileTest, DamagedOrMissingFilesEndTheRun) {
  AtomTable table;
  table.set_file(path);
  EXPECT_EXIT(table.read(), failed_run, "cannot open file `" + path + "' for reading");
  for (const char *damaged : {"red\nblue\nred\n", "red\n\nblue\n"}) {
    make_file(path, damaged);
    EXPECT_EXIT(table.read(), failed_run, "format error in file `" + path + "'");
  }
}

// Appending behind lines this table never read would give its new atoms the
// ids of those lines.
TEST_F(AtomFileTest, RefusesToAppendToAFileChangedSinceItWasRead) {
  make_file(path, "red\n");
  AtomTable table;
  table.set_file(path);
  table.enter("blue");
  EXPECT_EXIT(table.write(), failed_run, "has changed since it was read");

  AtomTable reader;
  reader.set_file(path);
  reader.read();
  reader.enter("blue");
  std::ofstream(path, std::ios::app) << "green\n";
  EXPECT_EXIT(reader.write(), failed_run, "has changed since it was read");
}

}  // namespace
