#include "learn/sbc.h"

#include "eval/scoring.h"
#include "tests/collection_fixture.h"

namespace {

// news knows terms 1, 2 and 3 (V = 3) in 4 documents: sport has 3 of them
// and 5 occurrences, 4 of term 1 and 1 of term 2; arts has 1 document with
// term 3 twice. So P(t | sport) is 5/8, 2/8 and 1/8 (never met), P(t | arts)
// 1/5, 1/5 and 3/5, and the priors 3/4 and 1/4.
TEST_F(CollectionTest, SBCScoresTheShareOfItsSmoothedLikelihood) {
  param.gen.set_algorithm(SBC);
  ClassData &root = class_table.get_data(0);
  ClassData &sport = class_table.get_data(class_table.enter_on_full_name("sport", 0));
  ClassData &arts = class_table.get_data(class_table.enter_on_full_name("arts", 0));
  root.num_docs = 4;
  for (uint32_t term : {1, 2, 3}) root.profile.features[term].term_freq = 1;
  sport.num_docs = 3;
  sport.sum_freq = 5;
  sport.profile.features[1].term_freq = 4;
  sport.profile.features[2].term_freq = 1;
  arts.num_docs = 1;
  arts.sum_freq = 2;
  arts.profile.features[3].term_freq = 2;
  sbc_set_weights(root);
  EXPECT_DOUBLE_EQ(5.0 / 8, sport.profile.features[1].weight);
  EXPECT_DOUBLE_EQ(3.0 / 5, arts.profile.features[3].weight);

  // Each row: a document's terms and the joint probabilities of sport and arts.
  const struct { std::vector<std::pair<uint32_t, uint32_t>> terms; double sport, arts; } cases[] = {
      {{}, 3.0 / 4, 1.0 / 4},                       // the priors alone
      {{{9, 1}}, 3.0 / 4, 1.0 / 4},                 // a term news does not know
      {{{1, 1}}, 3.0 / 4 * 5 / 8, 1.0 / 4 / 5},     // known to both
      {{{3, 1}}, 3.0 / 4 / 8, 1.0 / 4 * 3 / 5},     // unknown to sport
      {{{1, 2}, {3, 1}}, 3.0 / 4 * 25 / 64 / 8, 1.0 / 4 / 25 * 3 / 5},
  };
  std::vector<double> scores;
  for (const auto &c : cases) {
    DocProfile doc;
    for (const auto &term : c.terms) doc.enter_term(term.first, term.second);
    ColumnScorer(ScoringRule(), {&sport.profile, &arts.profile}).predict_scores(doc, scores);
    EXPECT_NEAR(std::log(c.sport / (c.sport + c.arts)), scores[0], 1e-12) << c.sport;
    EXPECT_NEAR(std::log(c.arts / (c.sport + c.arts)), scores[1], 1e-12) << c.arts;
  }
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
  // Log probabilities lie below 1.0, the threshold a new profile starts with.
  EXPECT_LT(data("sport").profile.get_theta(), 0.0);
  EXPECT_LT(data("sport/ball").profile.get_theta(), 0.0);
  EXPECT_LT(data("arts").profile.get_theta(), 0.0);
  EXPECT_EQ(class_table.get_data(0).profile.get_theta(), 1.0);
}

}  // namespace
