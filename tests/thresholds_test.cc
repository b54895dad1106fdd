#include "eval/thresholds.h"

#include <cstring>

#include "tests/collection_fixture.h"

namespace {

// The same bits from a table that keeps every negative and from one that
// keeps one and, when it needs those it let go, tallies them again.
WeightType threshold(std::vector<WeightType> pos, std::vector<WeightType> neg) {
  ScoreTable table, small(1);
  for (ScoreTable *t : {&table, &small}) {
    for (WeightType score : pos) t->enter(score, true);
    for (WeightType score : neg) t->enter(score, false);
  }
  WeightType kept = NAN, counted = NAN;
  table.determine_threshhold(kept);
  if (!small.determine_threshhold(counted)) {
    small.open_grid();
    for (WeightType score : neg) small.tally(score);
    small.determine_threshhold(counted);
  }
  EXPECT_EQ(0, std::memcmp(&kept, &counted, sizeof kept));
  return kept;
}

TEST(ScoreTable, BreakEvenOnTheBucketGrid) {
  EXPECT_NEAR(4.0 / 3, threshold({2.0}, {0.0, 1.0}), 1e-12);
  EXPECT_DOUBLE_EQ(2.5, threshold({3.0, 4.0}, {1.0, 2.0}));
  EXPECT_DOUBLE_EQ(-2.5, threshold({-2.0, -1.0}, {-4.0, -3.0}));
  EXPECT_DOUBLE_EQ(0.7, threshold({0.7, 0.7}, {0.7}));
  EXPECT_NEAR(8.0 / 3, threshold({1.0, 2.0, 3.0, 4.0}, {0.0, 2.0, 2.5, 3.0, 0.25}), 1e-12);
  // A negative at max counts in the top bucket; no number never enters.
  EXPECT_NEAR(4.0 / 3, threshold({2.0, NAN}, {0.0, 2.0, NAN}), 1e-12);
}

// SBC scores are log probabilities of the class given the document, which
// the counts of the training documents give.
TEST_F(CollectionTest, LeavesGetTheirTrainingBreakEven) {
  param.gen.set_algorithm(SBC);
  param.gen.set_term_sel(NoTermSel);
  ClassData &a = example("a1", "a", {{1, 1}});
  example("a2", "a", {{1, 1}, {1, 1}});
  ClassData &b = example("b1", "b", {{2, 1}});
  example("c1", "c/d", {{2, 1}});
  class_table.enter_on_full_name("lonely", 0);  // no training document
  class_table.collect_examples();
  update_all_class_data();
  for (const char *name : {"a1", "a2", "b1", "c1"}) database.get_document_profile(name);
  data("c").profile.set_theta(0.25);

  testing::internal::CaptureStderr();
  set_leaf_thresholds();
  const std::string screen = testing::internal::GetCapturedStderr();
  // Joint probabilities of a, b and c: a1 2/5, 1/12, 1/12; a2 8/25, 1/36,
  // 1/36; b1 and c1 1/10, 1/6, 1/6. a: positives against 3/13 twice; the
  // crossing at the top of bucket 0.
  const double a2 = 8 / 25.0 + 2 / 36.0;
  EXPECT_NEAR((std::log(3 / 13.0) + std::log(8 / 25.0 / a2)) / 2, a.profile.get_theta(), 1e-12);
  // b: positive 5/13 against a1's 5/34, a2's and c1's 5/13.
  const double low = std::log(1 / 36.0 / a2);
  EXPECT_NEAR(low + 0.75 * (std::log(5 / 13.0) - low), b.profile.get_theta(), 1e-12);
  EXPECT_EQ(0.25, data("c").profile.get_theta());  // not a leaf
  EXPECT_EQ(1.0, data("lonely").profile.get_theta());
  EXPECT_NE(std::string::npos, screen.find("WARNING: class `lonely'"));

  // Held-out scores stand in for the father's training documents (a1, a2,
  // b1, c1 in name order), an inner class's too; b keeps its own.
  double b_theta = b.profile.get_theta();
  set_leaf_thresholds({{a.id, {1.0, 3.0, 2.0, 0.0}}, {data("c").id, {0.0, 0.0, 0.0, 5.0}}});
  EXPECT_EQ(threshold({1.0, 3.0}, {2.0, 0.0}), a.profile.get_theta());
  EXPECT_EQ(threshold({5.0}, {0.0, 0.0, 0.0}), data("c").profile.get_theta());
  EXPECT_EQ(b_theta, b.profile.get_theta());
}

}  // namespace
