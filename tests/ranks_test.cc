#include "eval/ranks.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <sstream>

#include "model/classtab.h"

namespace {

bool failed_run(int status) { return WIFEXITED(status) && WEXITSTATUS(status) != 0; }

class RanksTest : public ::testing::Test {
 protected:
  // news (root) with sons sport and arts; sport has the son football.
  void SetUp() override {
    class_table.clear();
    class_table.enter_class("news", 0);
    sport = &class_table.get_data(class_table.enter_on_full_name("sport", 0));
    football =
        &class_table.get_data(class_table.enter_on_full_name("sport/football", 0));
    arts = &class_table.get_data(class_table.enter_on_full_name("arts", 0));
  }
  void TearDown() override { class_table.clear(); }

  static std::string written(const Ranks &ranks, const std::string &name) {
    std::ostringstream os;
    ranks.write(name, os);
    return os.str();
  }

  static std::string order(const Ranks &ranks) {
    std::string names;
    for (const Ranking &r : ranks) names += class_table.get_name(r.class_data->id)[0];
    return names;
  }

  ClassData *sport, *football, *arts;
};

TEST_F(RanksTest, LineFormat) {
  Ranks ranks;
  EXPECT_EQ("d17.txt \n", written(ranks, "d17"));
  ranks.enter(football, 12.3456789);
  ranks.enter(sport, 0.000012345678);
  ranks.enter(arts, 2);
  EXPECT_EQ("d17.txt sport/football:12.346 sport:1.2346e-05 arts:2\n",
            written(ranks, "d17"));
}

TEST_F(RanksTest, OrdersPutScoresThatAreNoNumberLast) {
  Ranks ranks;
  ranks.enter(arts, 0.2);
  ranks.enter(sport, NAN);
  ranks.enter(football, 0.9);
  ranks.enter(sport, 0.5);
  EXPECT_EQ(football, ranks.top().class_data);
  ranks.sortGF();
  EXPECT_EQ("fsas", order(ranks));
  EXPECT_TRUE(std::isnan(ranks.back().score));
  ranks.sort();
  EXPECT_EQ("asfs", order(ranks));
  EXPECT_TRUE(std::isnan(ranks.back().score));

  Ranks tie;
  tie.enter(arts, 0.7);
  tie.enter(sport, 0.7);
  EXPECT_EQ(arts, tie.top().class_data);
  EXPECT_DEATH(Ranks().top(), "failed assertion `size\\(\\) != 0'");
}

TEST_F(RanksTest, ReadsWhatWriteWrote) {
  Ranks ranks;
  ranks.enter(football, 1.5);
  ranks.enter(arts, -2);
  std::istringstream is(written(Ranks(), "empty") + written(ranks, "d.txt.old") +
                        "x.txt nowhere:3 sport:bad arts:4 sport\n" + "last.txt");
  std::string name;
  Ranks back;
  back.read(name, is);  // an empty line must not reach into the next one
  EXPECT_EQ("empty", name);
  EXPECT_EQ(0u, back.size());
  back.read(name, is);
  EXPECT_EQ("d", name);
  ASSERT_EQ(2u, back.size());
  EXPECT_EQ(football, back[0].class_data);
  EXPECT_EQ(-2.0, back[1].score);
  back.read(name, is);  // unknown classes and malformed words are skipped
  EXPECT_EQ("x", name);
  ASSERT_EQ(3u, back.size());
  EXPECT_EQ(4.0, back[2].score);
  back.read(name, is);
  EXPECT_EQ("last", name);
  EXPECT_EQ(3u, back.size());
}

TEST_F(RanksTest, FailedWriteOfANonEmptyLineEndsTheRun) {
  std::ostringstream failed;
  failed.setstate(std::ios::badbit);
  Ranks().write("quiet", failed);  // the state of an empty line is not examined
  Ranks ranks;
  ranks.enter(arts, 1);
  EXPECT_FALSE(ranks.print("d", failed));
  EXPECT_EXIT(ranks.write("d", failed), failed_run,
              "cannot write the ranking of document `d'");
}

}  // namespace
