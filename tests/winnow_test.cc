#include "learn/winnow.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "base/eventlog.h"
#include "tests/collection_fixture.h"

namespace {

// Under linear normalisation every document has one term of strength 1.0
// (sport's term 1, arts' term 2), so a son with the initial weights 2.0 and
// 1.0 scores its own documents exactly 1.0: on the thick threshold.
class WinnowTest : public CollectionTest {
 protected:
  void SetUp() override {
    CollectionTest::SetUp();
    param.gen.set_normalize(normalize_linear);
    param.gen.set_term_sel(NoTermSel);
    for (int i = 0; i < 25; ++i)
      example("d" + std::to_string(i), i % 2 ? "sport" : "arts", {{i % 2 ? 1u : 2u, 1}});
    class_table.collect_examples();
    update_all_class_data();
  }
  static FeatureInfo &feature(const char *s, uint32_t t) { return data(s).profile.features[t]; }
  typedef std::pair<double, double> Weights;  // positive, negative
  static Weights weights(const char *s, uint32_t t = 1) {
    return {feature(s, t).weight, feature(s, t).negative_weight};
  }
};

// d1 scores exactly 1.0 for both sons, on the thick threshold: sport is
// promoted and arts demoted, in either order; the last update counts. Terms
// outside the document keep their weights; scaled ones stay finite, non-zero.
TEST_F(WinnowTest, UpdatesAreInclusiveTheLastOneCountsAndWeightsStayFinite) {
  DocProfile &doc = *database.get_document_profile("d1");  // sport's
  doc.set_class_document_strengths(0);
  ClassData *sport = &data("sport"), *arts = &data("arts");
  feature("sport", 7).weight = 5.0;
  const struct { std::vector<ClassData *> sons; Weights from; int last; Weights to; } cases[] = {
      {{arts, sport}, {2.0, 1.0}, +1, {2.2, 0.9}},
      {{sport, arts}, {2.0, 1.0}, -1, {2.2, 0.9}},
      {{sport}, {DBL_MAX, DBL_MAX}, +1, {DBL_MAX, DBL_MAX * 0.9}},  // scores 0.0
      {{sport}, {DBL_MIN, DBL_MIN}, +1, {DBL_MIN * 1.1, DBL_MIN}}};
  for (const auto &c : cases) {
    arts->profile.features[1] = FeatureInfo{0, 0, 2.0, 1.0, 0, 0};
    feature("sport", 1) = FeatureInfo{0, 0, c.from.first, c.from.second, 5, 0};
    EXPECT_EQ(c.last, SonWeights(c.sons).learn(doc, {sport}));
    EXPECT_EQ(6, feature("sport", 1).promotions);
    EXPECT_EQ(c.to, weights("sport"));
    EXPECT_EQ(c.sons.size() == 2 ? Weights(1.8, 1.1) : Weights(2.0, 1.0), weights("arts"));
  }
  EXPECT_EQ(5.0, feature("sport", 7).weight);
  feature("sport", 1).weight = NAN;  // a score that is no number: no update
  EXPECT_EQ(0, SonWeights({sport}).learn(doc, {sport}));
}

// Weighted, a term moves by the scale to the power of its strength over the
// mean strength of the document's known terms, here 1/4 and 3/4 (a mean of
// 1/2: the terms are equally rare in news).
TEST_F(WinnowTest, WeightedUpdatesMoveEachTermByItsShareOfStrength) {
  DocProfile doc;
  doc.enter_term(1, 1);
  doc.enter_term(2, 3);
  feature("news", 1).doc_freq = feature("news", 2).doc_freq = 5;
  doc.set_class_document_strengths(0);
  feature("sport", 1) = FeatureInfo{0, 0, 2.0, 1.0, 0, 0};
  feature("sport", 2) = FeatureInfo{0, 0, 0.5, 0.5, 0, 0};
  param.win.set_weighted_update(true);
  EXPECT_EQ(1, SonWeights({&data("sport")}).learn(doc, {&data("sport")}));  // scores 1/4
  EXPECT_DOUBLE_EQ(2.0 * std::pow(1.1, 0.5), feature("sport", 1).weight);
  EXPECT_DOUBLE_EQ(0.5 * std::pow(1.1, 1.5), feature("sport", 2).weight);
  EXPECT_DOUBLE_EQ(0.5 * std::pow(0.9, 1.5), feature("sport", 2).negative_weight);
}

// A pass shares the sons out between the threads. With every other son
// demoted, a document has updates of both kinds, and the last in order of
// sons counts; the weights come out as one document at a time gives them.
TEST_F(WinnowTest, APassInThreadsTrainsAsOneDocumentAtATime) {
  ClassData &news = class_table.get_data(0);
  param.win.set_theta_minus(0.0);
  set_training_strengths(news, "strengths");
  std::vector<Example> order = find_examples(news);
  for (ClassData *son : news.sons) init_winnow_weights(*son);
  std::vector<int> kinds;
  {
    SonWeights one(news.sons);
    for (const Example &example : order) kinds.push_back(one.learn(*example.doc, *example.classes));
  }
  Weights sport = weights("sport"), arts = weights("arts", 2);
  for (ClassData *son : news.sons) init_winnow_weights(*son);
  EXPECT_EQ(kinds, SonWeights(news.sons).learn(order));
  EXPECT_EQ(sport, weights("sport"));
  EXPECT_EQ(arts, weights("arts", 2));
}

TEST_F(WinnowTest, PassesUntilNothingChanges) {
  event_log.initialise("winnow.log");
  const char *argv[] = {"mivo", "-v", "x", nullptr};
  options.parse(3, argv);
  train_winnow();  // the first document of each son is promoted, then none
  param.win.set_theta_plus(0.5);  // the sons separate from the start
  param.win.set_theta_minus(0.5);
  EXPECT_EQ(1u, train_winnow_class(class_table.get_data(0)));
  param.win.set_max_iters(0);
  EXPECT_EQ(0u, train_winnow_class(class_table.get_data(0)));
  EXPECT_EQ(2.0, feature("sport", 1).weight);
  std::string log = file_text("winnow.log");
  for (const char *line : {"training winnow on `news' with 25 documents: 2 active terms.\n",
                           "Winnow Initialization on <news> 120% complete\n",
                           "iteration 1: 2 promotions, 0 demotions\n",
                           "iteration 2: 0 promotions, 0 demotions\ntrained 2 iterations\n",
                           "iteration 1: 0 promotions, 0 demotions\n"})
    EXPECT_NE(std::string::npos, log.find(line)) << line;
}

// Each document has a term of its own: a fold model, which never saw the
// held-out document, does not know it and scores it 0.0 like every other,
// so the threshold falls to 0.0; trained on, the document scores 1.0.
TEST_F(CollectionTest, HeldOutDocumentsAreStrangersToTheirFoldModel) {
  param.gen.set_term_sel(NoTermSel);
  param.win.set_max_iters(0);  // the initial weights decide
  for (uint32_t t = 1; t <= 4; ++t) example("d" + std::to_string(t), t <= 2 ? "a" : "b", {{t, 1}});
  class_table.collect_examples();
  update_all_class_data();
  for (unsigned int folds : {0u, 2u}) {
    param.gen.set_threshold_folds(folds);
    train_winnow();
    EXPECT_EQ(folds == 0, data("a").profile.get_theta() > 0.0) << folds;
  }
}

}  // namespace
