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
  static FeatureInfo &feature(const char *son, uint32_t term) {
    return data(son).profile.features[term];
  }
};

TEST_F(WinnowTest, InitialWeightsFollowTheFathersAverageStrength) {
  ClassData &father = class_table.get_data(0);
  father.num_docs = 10;
  father.sum_strength = 50.0;
  param.gen.set_normalize(normalize_off);
  init_winnow_weights(data("sport"));
  EXPECT_EQ(0.4, feature("sport", 1).weight);
  EXPECT_EQ(0.2, feature("sport", 1).negative_weight);
  // One training document gives every term the strength ln(1/1) = 0.
  father.num_docs = 1;
  father.sum_strength = 0.0;
  init_winnow_weights(data("sport"));
  EXPECT_EQ(2.0 / 10000.0, feature("sport", 1).weight);
}

TEST_F(WinnowTest, UpdatesAreInclusiveTheLastOneCountsAndWeightsStayFinite) {
  DocProfile &doc = *database.get_document_profile("d1");  // sport's
  doc.set_class_document_strengths(0);
  ClassData *sport = &data("sport"), *arts = &data("arts");
  arts->profile.features[1] = FeatureInfo{0, 0, 0.0, 2.0, 1.0, 0, 0};
  init_winnow_weights(*sport);
  EXPECT_EQ(+1, winnow_update_sons({arts, sport}, doc, {sport}));
  EXPECT_DOUBLE_EQ(1.8, feature("arts", 1).weight);
  EXPECT_DOUBLE_EQ(0.9, feature("sport", 1).negative_weight);
  arts->profile.features[1] = FeatureInfo{0, 0, 0.0, 2.0, 1.0, 0, 0};
  init_winnow_weights(*sport);
  feature("sport", 7).weight = 5.0;  // not in the document
  EXPECT_EQ(-1, winnow_update_sons({sport, arts}, doc, {sport}));
  EXPECT_EQ(2, feature("sport", 1).promotions);
  EXPECT_EQ(5.0, feature("sport", 7).weight);

  feature("sport", 1).weight = NAN;
  EXPECT_EQ(0, winnow_update_sons({sport}, doc, {sport}));
  feature("sport", 1).weight = DBL_MAX;
  feature("sport", 1).negative_weight = DBL_MIN;
  promote_profile(sport->profile, doc);
  EXPECT_EQ(DBL_MAX, feature("sport", 1).weight);
  EXPECT_EQ(DBL_MIN, feature("sport", 1).negative_weight);
}

TEST_F(WinnowTest, PassesUntilNothingChanges) {
  event_log.initialize("winnow.log");
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
                           "Class sport threshhold ",
                           "iteration 1: 0 promotions, 0 demotions\n"})
    EXPECT_NE(std::string::npos, log.find(line)) << line;
}

}  // namespace
