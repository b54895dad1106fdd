#include "learn/sbc.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/collection_fixture.h"

namespace {

class SBCTest : public CollectionTest {
 protected:
  void SetUp() override {
    CollectionTest::SetUp();
    param.gen.set_algorithm(SBC);
  }
  static ClassData &son(const std::string &name) {
    return class_table.get_data(class_table.enter_on_full_name(name, 0));
  }
  static DocProfile document(const std::vector<uint32_t> &terms) {
    DocProfile doc;
    for (uint32_t term : terms) doc.enter_term(term, 1);
    return doc;
  }
};

TEST_F(SBCTest, WeightsEstimateTermProbabilitiesWithOneAddedOccurrence) {
  ClassData &sport = son("sport");
  sport.sum_freq = 100;
  sport.profile.features[1].term_freq = 4;
  sport.profile.features[2].term_freq = 0;
  ClassData &empty = son("arts");  // occurrences all pruned away
  empty.profile.features[3].term_freq = 0;
  sbc_set_weights(class_table.get_data(0));
  EXPECT_DOUBLE_EQ(0.05, sport.profile.features[1].weight);
  EXPECT_DOUBLE_EQ(0.01, sport.profile.features[2].weight);
  EXPECT_EQ(0.01, empty.profile.features[3].weight);
}

TEST_F(SBCTest, ScoresAreSumsOfLogarithms) {
  ClassProfile &profile = son("sport").profile;
  profile.features[1].weight = 0.05;
  profile.features[2].weight = 0.02;
  EXPECT_EQ(0.0, profile.predict_score(document({})));
  EXPECT_DOUBLE_EQ(std::log(0.05 * 0.02 * 0.01), profile.predict_score(document({1, 2, 9})));

  // A long document would make every product 0.0; its logarithms still
  // tell the class that knows more of its terms.
  std::vector<uint32_t> long_document(400, 1);
  long_document.push_back(9);
  ClassProfile &other = son("arts").profile;
  other.features[9].weight = 0.5;
  double sport_score = profile.predict_score(document(long_document));
  double arts_score = other.predict_score(document(long_document));
  EXPECT_TRUE(std::isfinite(arts_score));
  EXPECT_GT(sport_score, arts_score);
}

// The leaves get thresholds from the training scores, as under the other
// learners, and the training documents leave the cache afterwards.
TEST_F(SBCTest, TrainingSetsLeafThresholds) {
  param.gen.set_term_sel(NoTermSel);
  ClassData &sport = example("s1", "sport", {{1, 3}});
  example("s2", "sport", {{1, 1}});
  ClassData &arts = example("a1", "arts", {{2, 2}});
  example("a2", "arts", {{2, 1}, {3, 1}});
  class_table.collect_examples();
  class_table.update_all_class_data();
  train_sbc();
  EXPECT_DOUBLE_EQ(5.0 / 4, sport.profile.features[1].weight);
  EXPECT_DOUBLE_EQ(2.0 / 4, arts.profile.features[3].weight);
  // Between the best non-member's and the worst member's log score.
  EXPECT_GT(sport.profile.get_theta(), std::log(0.01));
  EXPECT_LT(sport.profile.get_theta(), std::log(5.0 / 4));
  EXPECT_GT(arts.profile.get_theta(), std::log(0.01));
  EXPECT_LT(arts.profile.get_theta(), std::log(0.5));
  EXPECT_TRUE(database.get_docprof_table_begin() == database.get_docprof_table_end());
}

}  // namespace
