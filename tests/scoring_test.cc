#include "eval/scoring.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "learn/sbc.h"
#include "learn/winnow.h"
#include "model/classtab.h"
#include "model/docprof.h"

namespace {

bool same_bits(double a, double b) { return memcmp(&a, &b, sizeof a) == 0; }

// The rule as its header states it, one profile and one term at a time,
// with the document's strengths relative to the class last given to it
// unless others are given.
double reference(const ClassProfile &profile, const DocProfile &doc,
                 std::vector<double> strengths = {}) {
  ScoringRule rule;
  if (strengths.empty()) doc.get_strengths(strengths);
  double score = 0.0;
  for (size_t k = 0; k < strengths.size(); ++k) {
    const FeatureInfo *info = profile.get_feature(doc.get_features()[k].term);
    double factor = info ? rule.factor(*info) : rule.get_unknown_factor();
    score += ScoringRule::addend(factor, rule.term_weight(strengths[k]));
  }
  return score;
}

TEST(ScoringRule, EachLearnersRule) {
  ClassProfile profile;
  profile.features[1] = FeatureInfo{0, 0, 2.0, 0.5, 0, 0};
  profile.features[2] = FeatureInfo{0, 0, 3.0, 1.0, 0, 0};
  DocProfile doc;
  for (uint32_t term : {1, 7, 2}) doc.enter_term(term, 1);
  const struct { AlgorithmType algorithm; bool negative; double expected; } rules[] = {
      {Winnow, true, 1.5 * 2 + 2.0 * 3}, {Winnow, false, 2.0 * 2 + 3.0 * 3},
      {Rocchio, true, 2.0 * 2 + 3.0 * 3}};
  for (const auto &rule : rules) {
    param.gen.set_algorithm(rule.algorithm);
    param.win.set_negative_weights(rule.negative);
    EXPECT_DOUBLE_EQ(rule.expected, reference(profile, doc, {2, 8, 3})) << rule.algorithm << rule.negative;
  }
  param = Param();
}

// news knows terms 1, 2 and 3 (V = 3) in 4 documents: sport has 3 of them
// and 5 occurrences, 4 of term 1 and 1 of term 2; arts has 1 document with
// term 3 twice. So P(t | sport) is 5/8, 2/8 and 1/8 (never met), P(t | arts)
// 1/5, 1/5 and 3/5, and the priors 3/4 and 1/4.
TEST(Scorers, SBCScoresTheShareOfItsSmoothedLikelihood) {
  param.gen.set_algorithm(SBC);
  ClassData &root = class_table.get_data(class_table.enter_class("news", 0));
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
  class_table.clear();
  param = Param();
}

// Profiles that know overlapping terms, some with an idf of 0.0, on three
// levels: under every setting each scorer gives the rule's bits for the sons
// of a class, with the strengths relative to it (SBC's scorers agree on
// theirs, whose values the test phase's checks pin down). A guard builds its
// scorer under the settings of its time; guards made while it lives share it.
TEST(Scorers, ScoreAsTheRuleDoes) {
  std::mt19937 random(11);
  for (const char *name : {"a/x", "a/y", "a/z", "b/u", "b/v", "c"})
    class_table.enter_on_full_name(name, class_table.enter_class("root", 0));
  for (uint32_t id = 0; id < class_table.size(); ++id) {
    ClassData &data = class_table.get_data(id);
    data.num_docs = 5 + random() % 30;
    for (uint32_t term = 0; term < 300; term += 1 + random() % 4)
      data.profile.features[term * 7919u] =
          FeatureInfo{uint32_t(random() % 9), uint32_t(random() % (data.num_docs + 3)),
                      (random() % 5) * 0.37 + (id % 2) * 0.01, (random() % 5) * 0.41, 0, 0};
    for (const auto &entry : data.profile.features) data.sum_freq += entry.second.term_freq;
  }
  std::vector<DocProfile> docs(5);  // the last without terms
  for (int k = 0; k < 480; ++k) docs[k % 4].enter_term((random() % 350) * 7919u, random() % 5);
  docs[0].enter_term(docs[0].get_features()[0].term, 2);  // a term entered twice
  for (AlgorithmType algorithm : {Winnow, Rocchio, SBC})
    for (unsigned int mode : {freq_strength, bool_strength, sqrt_strength, ltc_strength})
      for (unsigned int normalize : {normalize_off, normalize_linear, normalize_vector}) {
        param.gen.set_algorithm(algorithm);
        param.gen.set_strength_mode(mode);
        param.gen.set_normalize(normalize);
        param.win.set_negative_weights(mode != bool_strength);
        FrozenWeights frozen;
        FrozenScorer &scorer = frozen.get_scorer();
        EXPECT_EQ(&scorer, &FrozenWeights().get_scorer());
        for (DocProfile &doc : docs) {
          scorer.set_document(doc);
          for (uint32_t id = 0; id < class_table.size(); ++id) {
            ClassData &data = class_table.get_data(id);
            std::vector<const ClassProfile *> sons;
            for (const ClassData *son : data.sons) sons.push_back(&son->profile);
            std::vector<double> scores, held, trained;
            scorer.get_scores(data, scores);
            ASSERT_EQ(sons.size(), scores.size()) << id;
            if (sons.empty()) continue;
            doc.set_class_document_strengths(id);
            ColumnScorer(ScoringRule(), sons).predict_scores(doc, held);
            if (algorithm == Winnow) SonWeights(data.sons).predict_scores(doc, trained);
            for (size_t i = 0; i < sons.size(); ++i) {
              if (algorithm == SBC) {  // a sum of its own order, the same in both scorers
                EXPECT_TRUE(same_bits(held[i], scores[i])) << mode << " class " << id;
                continue;
              }
              double expected = reference(*sons[i], doc);
              EXPECT_TRUE(same_bits(expected, scores[i]) && same_bits(expected, held[i]) &&
                          (trained.empty() || same_bits(expected, trained[i])))
                  << algorithm << " " << mode << " " << normalize << " class " << id;
            }
          }
        }
      }
  class_table.clear();
  param = Param();
}

}  // namespace
