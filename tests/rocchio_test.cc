#include "learn/rocchio.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/collection_fixture.h"

namespace {

// The father news knows term 1 with strength 5.0 and term 2 with 3.0; its
// son sport holds 2.0 of term 1, none of term 2, and 2.0 of term 3, which
// the father lacks. Beta 16 and gamma 4 are the defaults.
TEST_F(CollectionTest, RocchioWeighsOwnDocumentsAgainstTheOthers) {
  auto sums = [](ClassData &data, std::vector<std::pair<uint32_t, double>> terms) {
    FeatureMap &map = data.profile.features;
    for (const auto &term : terms) map[term.first];
    map.keep_strengths();
    for (const auto &term : terms) map.strength_at(map.position(term.first)) = term.second;
  };
  ClassData &father = class_table.get_data(0);
  sums(father, {{1, 5.0}, {2, 3.0}});
  ClassData &son = class_table.get_data(class_table.enter_on_full_name("sport", 0));
  son.num_docs = 4;
  son.num_other_docs = 6;
  sums(son, {{1, 2.0}, {2, 0.0}, {3, 2.0}});
  auto weight = [&](uint32_t term) {
    rocchio_set_weights(father);
    return son.profile.features[term].weight;
  };
  EXPECT_DOUBLE_EQ(16 * 2.0 / 4 - 4 * 3.0 / 6, weight(1));
  EXPECT_EQ(0.0, weight(2));  // -2.0 without negative weights
  EXPECT_DOUBLE_EQ(16 * 2.0 / 4, weight(3));
  param.roc.set_negative_weights(true);
  EXPECT_DOUBLE_EQ(-4 * 3.0 / 6, weight(2));
  son.num_other_docs = 0;
  EXPECT_DOUBLE_EQ(16 * 2.0 / 4, weight(1));
  son.num_docs = 0;  // no average of its own: no division by zero
  son.num_other_docs = 6;
  EXPECT_DOUBLE_EQ(-4 * 3.0 / 6, weight(1));
}

// arts comes before its father news in key order, so its sums relative to
// itself are still there when news adds those relative to news: its term 1
// sums ln 2 + ln 3 against news's ln 3 (strengths as frequencies, not
// normalised), and the one other document of news knows no term 1.
TEST_F(CollectionTest, RocchioSumsAClassTrainedBeforeItsFather) {
  param.gen.set_algorithm(Rocchio);
  param.gen.set_normalize(normalize_off);
  example("d1", "arts/a", {{1, 1}});
  example("d2", "arts/b", {{2, 1}});
  example("d3", "sport", {{3, 1}});
  class_table.collect_examples();
  update_all_class_data();
  train_rocchio();
  EXPECT_NEAR(16 * std::log(6.0) / 2 + 4 * std::log(2.0), data("arts").profile.features[1].weight,
              1e-12);
}

}  // namespace
