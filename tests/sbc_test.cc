#include "learn/sbc.h"

#include <gtest/gtest.h>

#include "eval/scoring.h"
#include "tests/collection_fixture.h"

namespace {

TEST_F(CollectionTest, SBCWeighsProbabilitiesAndScoresTheirLogarithms) {
  param.gen.set_algorithm(SBC);
  ClassData &sport = class_table.get_data(class_table.enter_on_full_name("sport", 0));
  ClassData &arts = class_table.get_data(class_table.enter_on_full_name("arts", 0));
  sport.sum_freq = 100;
  sport.profile.features[1].term_freq = 4;
  sport.profile.features[2].term_freq = 1;
  arts.profile.features[3].term_freq = 0;  // no occurrences left after pruning
  sbc_set_weights(class_table.get_data(0));
  EXPECT_DOUBLE_EQ(0.05, sport.profile.features[1].weight);
  EXPECT_DOUBLE_EQ(0.02, sport.profile.features[2].weight);
  EXPECT_EQ(0.01, arts.profile.features[3].weight);

  DocProfile doc;  // a product of its probabilities would be 0.0 for both classes
  for (int i = 0; i < 400; ++i) doc.enter_term(i % 2 ? 1 : 9, 1);
  std::vector<double> scores;
  ColumnScorer(ScoringRule(), {&sport.profile, &arts.profile}).predict_scores(doc, scores);
  EXPECT_GT(scores[0], scores[1]);
}

TEST_F(CollectionTest, SBCGivesInnerClassesThresholdsToo) {
  param.gen.set_algorithm(SBC);
  example("d1", "sport/ball", {{1, 3}, {2, 1}});
  example("d2", "sport/track", {{2, 3}, {3, 1}});
  example("d3", "arts", {{4, 3}, {5, 1}});
  example("d4", "arts", {{5, 2}, {6, 2}});
  class_table.collect_examples();
  update_all_class_data();
  train_sbc();
  // Log scores lie far below 1.0, the threshold a new profile starts with.
  EXPECT_LT(data("sport").profile.get_theta(), 0.0);
  EXPECT_LT(data("sport/ball").profile.get_theta(), 0.0);
  EXPECT_LT(data("arts").profile.get_theta(), 0.0);
  EXPECT_EQ(class_table.get_data(0).profile.get_theta(), 1.0);
}

}  // namespace
