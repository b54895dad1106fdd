#include "eval/ranks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "model/classtab.h"

namespace {

TEST(Ranks, WriteAndReadBack) {
  class_table.enter_class("news", 0);
  ClassData *football = &class_table.get_data(class_table.enter_on_full_name("sport/football", 0));
  ClassData *arts = &class_table.get_data(class_table.enter_on_full_name("arts", 0));
  Ranks ranks;
  ranks.enter(football, 12.3456789);
  ranks.enter(arts, 0.000012345678);
  ranks.enter(arts, 2);
  std::ostringstream os;
  Ranks().write("empty", os);
  ranks.write("d.txt.old", os);
  EXPECT_EQ("empty.txt \nd.txt.old.txt sport/football:12.346 arts:1.2346e-05 arts:2\n",
            os.str());
  // An empty line must not reach into the next; unknown classes are skipped.
  std::istringstream is(os.str() + "x.txt nowhere:3 arts:4\n");
  std::string names;
  Ranks back;
  for (std::string name; back.read(name, is), !name.empty(); name.clear())
    names += name + std::to_string(back.size()) + " ";
  EXPECT_EQ("empty0 d3 x4 ", names);
  EXPECT_EQ(football, back[0].class_data);
  EXPECT_EQ(4.0, back[3].score);
  class_table.clear();
}

TEST(Ranks, ScoresThatAreNoNumberSortLast) {
  ClassData a(1), b(2), c(3);
  Ranks ranks;
  ranks.enter(&a, NAN);
  ranks.enter(&b, 0.7);
  ranks.enter(&c, 0.7);
  EXPECT_EQ(&b, ranks.top().class_data);  // the first of equals
  ranks.sortGF();
  EXPECT_TRUE(std::isnan(ranks.back().score));
  ranks.sort();
  EXPECT_TRUE(std::isnan(ranks.back().score));
}

}  // namespace
