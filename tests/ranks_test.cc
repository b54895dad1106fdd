#include "eval/ranks.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/classtab.h"

namespace {

TEST(Ranks, PrintsOneLinePerDocument) {
  class_table.enter_class("news", 0);
  ClassData *football = &class_table.get_data(class_table.enter_on_full_name("sport/football", 0));
  ClassData *arts = &class_table.get_data(class_table.enter_on_full_name("arts", 0));
  Ranks ranks;
  ranks.enter(football, 12.3456789);
  ranks.enter(arts, 0.000012345678);
  ranks.enter(arts, 2);
  std::ostringstream os;
  EXPECT_TRUE(Ranks().print("empty", os));
  EXPECT_TRUE(ranks.print("d.txt.old", os));
  EXPECT_EQ("empty.txt \nd.txt.old.txt sport/football:12.346 arts:1.2346e-05 arts:2\n",
            os.str());
  os.setstate(std::ios::badbit);
  EXPECT_FALSE(ranks.print("d", os));
  class_table.clear();
}

TEST(Ranks, ScoresThatAreNoNumberSortLast) {
  ClassData a(1), b(2), c(3);
  Ranks ranks;
  ranks.enter(&a, NAN);
  ranks.enter(&b, 0.7);
  ranks.enter(&c, 0.9);
  ranks.sortGF();
  EXPECT_EQ(&c, ranks[0].class_data);
  EXPECT_TRUE(std::isnan(ranks.back().score));
}

}  // namespace
