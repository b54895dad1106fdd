#include "learn/rocchio.h"

#include <gtest/gtest.h>

#include <cmath>

#include "driver/eventlog.h"
#include "tests/collection_fixture.h"

namespace {

// The father news knows term 1 with strength 5.0 and term 2 with 3.0; its
// son sport holds term 1 with 2.0 of it, term 2 with none, and term 3, which
// the father lacks, with 2.0. Beta 16 and gamma 4 are the defaults.
class RocchioWeights : public CollectionTest {
 protected:
  void SetUp() override {
    CollectionTest::SetUp();
    father().profile.features[1].strength = 5.0;
    father().profile.features[2].strength = 3.0;
    ClassData &son = sport();
    son.num_docs = 4;
    son.num_other_docs = 6;
    son.profile.features[1].strength = 2.0;
    son.profile.features[2].strength = 0.0;
    son.profile.features[3].strength = 2.0;
  }
  static ClassData &father() { return class_table.get_data(0); }
  static ClassData &sport() {
    return class_table.get_data(class_table.enter_on_full_name("sport", 0));
  }
  static double weight(uint32_t term) {
    rocchio_set_weights(father());
    return sport().profile.features[term].weight;
  }
};

TEST_F(RocchioWeights, OwnDocumentsCountForAndOtherDocumentsAgainst) {
  EXPECT_DOUBLE_EQ(16 * 2.0 / 4 - 4 * 3.0 / 6, weight(1));
  EXPECT_EQ(0.0, weight(2));  // -2.0 without negative weights
  EXPECT_DOUBLE_EQ(16 * 2.0 / 4, weight(3));  // nothing outside the son
  param.roc.set_negative_weights(true);
  EXPECT_DOUBLE_EQ(-4 * 3.0 / 6, weight(2));
}

TEST_F(RocchioWeights, SonsWithoutOwnOrOtherDocuments) {
  sport().num_other_docs = 0;
  EXPECT_DOUBLE_EQ(16 * 2.0 / 4, weight(1));
  // No own documents: only the negative part, and no division by zero.
  param.roc.set_negative_weights(true);
  sport().num_docs = 0;
  sport().num_other_docs = 6;
  EXPECT_DOUBLE_EQ(-4 * 3.0 / 6, weight(1));
  EXPECT_EQ(0.0, weight(3));
}

// Two sons of two documents each; every term occurs in two of the four
// documents, so its strength in a document is its frequency times ln 2.
TEST_F(CollectionTest, RocchioTrainsFromStrengthsRelativeToTheFather) {
  event_log.initialize("rocchio.log");
  param.gen.set_term_sel(NoTermSel);
  ClassData &sport = example("s1", "sport", {{1, 2}});
  example("s2", "sport", {{1, 1}, {3, 1}});
  ClassData &arts = example("a1", "arts", {{2, 1}});
  example("a2", "arts", {{2, 2}, {3, 1}});
  class_table.collect_examples();
  class_table.update_all_class_data();
  train_rocchio();

  const double ln2 = std::log(2.0);
  EXPECT_DOUBLE_EQ(3 * ln2, sport.profile.features[1].strength);
  EXPECT_DOUBLE_EQ(16 * 3 * ln2 / 2, sport.profile.features[1].weight);
  EXPECT_DOUBLE_EQ(16 * ln2 / 2 - 4 * ln2 / 2, sport.profile.features[3].weight);
  EXPECT_DOUBLE_EQ(16 * 3 * ln2 / 2, arts.profile.features[2].weight);
  EXPECT_NE(1.0, sport.profile.get_theta());
  EXPECT_TRUE(database.get_docprof_table_begin() == database.get_docprof_table_end());
  std::string log = read_file("rocchio.log");
  for (const char *line : {"training Rocchio on `news' with 4 documents: 3 active terms.\n",
                           "Class arts threshhold "})
    EXPECT_NE(std::string::npos, log.find(line)) << line;
}

}  // namespace
