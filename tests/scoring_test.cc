#include "eval/scoring.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "base/param.h"
#include "model/classtab.h"
#include "model/docprof.h"

namespace {

bool same_bits(double a, double b) { return memcmp(&a, &b, sizeof a) == 0; }

// Random weights and document frequencies over a small vocabulary, so that
// profiles share some terms and miss others; some document frequencies equal
// or exceed the class's document count, which gives an idf of 0.0.
void fill_profile(ClassProfile &profile, uint32_t num_docs, std::mt19937 &random) {
  for (uint32_t term = 0; term < 300; term += 1 + random() % 4) {
    FeatureInfo &info = profile.features[term * 7919u];
    info.doc_freq = random() % (num_docs + 3);
    info.weight = (random() % 5) * 0.37;
    info.negative_weight = (random() % 5) * 0.41;
  }
}

DocProfile random_document(std::mt19937 &random) {
  DocProfile doc;
  for (int i = 0; i < 120; ++i) doc.enter_term((random() % 350) * 7919u, random() % 5);
  doc.enter_term(doc.get_features()[0].term, 2);  // a term entered twice
  return doc;
}

// With the strengths a document holds, the scorer gives each profile the
// very bits that the profile gives, negative weights or not, zero weights
// and a strength of -0.0 included.
TEST(ColumnScorer, ScoresAsEachProfileDoes) {
  std::mt19937 random(5);
  std::vector<ClassProfile> profiles(4);
  for (ClassProfile &profile : profiles) fill_profile(profile, 20, random);
  DocProfile doc = random_document(random);
  std::vector<Feature> &features = const_cast<std::vector<Feature> &>(doc.get_features());
  for (Feature &feature : features) feature.strength = (random() % 7) / 3.0;
  features[1].strength = -0.0;
  for (AlgorithmType algorithm : {Winnow, Rocchio})
    for (bool negative : {true, false}) {
      param.gen.set_algorithm(algorithm);
      param.win.set_negative_weights(negative);
      ColumnScorer scorer({&profiles[0], &profiles[1], &profiles[2], &profiles[3]});
      std::vector<double> scores;
      scorer.predict_scores(doc, scores);
      ASSERT_EQ(4u, scores.size());
      for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(same_bits(profiles[i].predict_score(doc), scores[i]))
            << algorithm << " " << negative << " " << i;
    }
  param = Param();
}

// A hierarchy of three levels whose profiles know overlapping terms: for
// every class with sons and every strength and normalisation mode, the
// scorer gives the bits that setting the strengths relative to the class and
// asking each son's profile give.
TEST(HierarchyScorer, ScoresAsStrengthsAndProfilesDo) {
  std::mt19937 random(11);
  for (const char *name : {"a/x", "a/y", "a/z", "b/u", "b/v", "c"})
    class_table.enter_on_full_name(name, class_table.enter_class("root", 0));
  for (uint32_t id = 0; id < class_table.size(); ++id) {
    ClassData &data = class_table.get_data(id);
    data.num_docs = 5 + random() % 30;
    fill_profile(data.profile, data.num_docs, random);
  }
  std::vector<DocProfile> docs;
  for (int i = 0; i < 4; ++i) docs.push_back(random_document(random));
  docs.emplace_back();  // no terms at all
  for (unsigned int mode : {freq_strength, bool_strength, sqrt_strength, ltc_strength})
    for (unsigned int normalize : {normalize_off, normalize_linear, normalize_vector}) {
      param.gen.set_algorithm(mode == ltc_strength ? Rocchio : Winnow);
      param.gen.set_strength_mode(mode);
      param.gen.set_normalize(normalize);
      HierarchyScorer scorer(class_table);
      for (DocProfile &doc : docs) {
        scorer.predict_scores(doc);
        for (uint32_t id = 0; id < class_table.size(); ++id) {
          ClassData &data = class_table.get_data(id);
          std::vector<double> scores;
          scorer.get_scores(id, scores);
          ASSERT_EQ(data.sons.size(), scores.size()) << id;
          if (data.sons.empty()) continue;
          doc.set_class_document_strengths(id);
          for (size_t i = 0; i < scores.size(); ++i)
            EXPECT_TRUE(same_bits(data.sons[i]->profile.predict_score(doc), scores[i]))
                << mode << " " << normalize << " class " << id << " son " << i;
        }
      }
    }
  class_table.clear();
  param = Param();
}

}  // namespace
