#include "eval/scoring.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "learn/winnow.h"
#include "model/classtab.h"
#include "model/docprof.h"

namespace {

bool same_bits(double a, double b) { return memcmp(&a, &b, sizeof a) == 0; }

// SBC as its header states it: log P(class | document) among the sons of
// each father on the way down from the root, one term at a time.
double sbc_reference(const ClassData &data, const DocProfile &doc) {
  if (data.father == nullptr) return 0.0;
  const ClassData &father = *data.father;
  std::vector<double> joints;
  double own = 0.0, greatest = -HUGE_VAL;
  for (const ClassData *son : father.sons) {
    double joint = std::log(double(son->num_docs) / father.num_docs);
    double total = son->sum_freq + double(father.profile.features.size());
    for (const Feature &feature : doc.get_features())
      if (father.profile.get_feature(feature.term) != nullptr)
        joint += raw_strength(feature.freq, param.gen.get_strength_mode()) *
                 std::log(((son->profile.get_feature(feature.term) ? son->profile.get_feature(feature.term)->term_freq : 0) + 1.0) / total);
    joints.push_back(joint);
    greatest = std::max(greatest, joint);
    if (son == &data) own = joint;
  }
  double sum = 0.0;
  for (double joint : joints) sum += std::exp(joint - greatest);
  return own - greatest - std::log(sum) + sbc_reference(father, doc);
}

// The rule as its header states it, one profile and one term at a time,
// with the document's strengths relative to the class last given to it
// unless others are given.
double reference(const ClassProfile &profile, const DocProfile &doc,
                 std::vector<double> strengths = {}) {
  ScoringRule rule;
  if (param.gen.get_algorithm() == SBC) {
    for (uint32_t id = 0; id < class_table.size(); ++id)
      if (&class_table.get_data(id).profile == &profile)
        return sbc_reference(class_table.get_data(id), doc);
  }
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

// Profiles that know overlapping terms, some with an idf of 0.0, on three
// levels: under every setting each scorer gives the rule's bits for the sons
// of a class, with the strengths relative to it (SBC's scorers agree on
// theirs). A guard builds its scorer
// under the settings of its time; guards made while it lives share it.
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
              double expected = reference(*sons[i], doc);
              if (algorithm == SBC) {  // a sum of its own order, the same in both scorers
                EXPECT_TRUE(same_bits(held[i], scores[i])) << mode << " class " << id;
                EXPECT_NEAR(expected, scores[i], 1e-9 * (1 - expected)) << mode << " class " << id;
                continue;
              }
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
