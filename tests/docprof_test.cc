#include "model/docprof.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "driver/param.h"
#include "model/classtab.h"

namespace {

std::string blob_of(const DocProfile &profile) {
  char *contents = nullptr;
  size_t len = 0;
  EXPECT_TRUE(profile.write(&contents, &len));
  std::string blob(contents, len);
  g_free(contents);
  return blob;
}

TEST(DocProfile, BlobRoundTripAndDamage) {
  DocProfile empty;
  std::string blob = blob_of(empty);
  EXPECT_EQ(std::string(4, '\0'), blob);
  DocProfile back;
  ASSERT_TRUE(back.read(blob.data(), blob.size()));
  EXPECT_EQ(0u, back.get_sum_freq());

  DocProfile profile;
  profile.enter_term(5, 2);
  profile.enter_term(3, 4000000000u);
  profile.enter_term(5, 1);
  blob = blob_of(profile);
  ASSERT_EQ(28u, blob.size());
  ASSERT_TRUE(back.read(blob.data(), blob.size()));
  ASSERT_TRUE(back.read(blob.data(), blob.size()));  // appends
  ASSERT_EQ(6u, back.get_features().size());
  EXPECT_EQ(3u, back.get_features()[4].term);
  EXPECT_EQ(4000000000u, back.get_features()[4].freq);
  EXPECT_EQ(2 * 4000000003ULL, back.get_sum_freq());

  for (size_t len : {0, 3, 27, 29}) {
    std::string damaged = blob;
    damaged.resize(len);
    EXPECT_FALSE(back.read(damaged.data(), damaged.size())) << len;
  }
  EXPECT_EQ(6u, back.get_features().size());
}

class Strengths : public ::testing::Test {
 protected:
  // Class 0 with 10 training documents and document frequencies 5, 1, 10
  // for terms 1, 2, 3; the document holds them 4, 2 and 1 times, and term 4
  // (unknown to the class) 3 times.
  void SetUp() override {
    class_table.clear();
    class_table.enter_class("r", 0);
    class_table.get_data(0).num_docs = 10;
    ClassProfile &profile = class_table.get_profile(0);
    profile.features[1].doc_freq = 5;
    profile.features[2].doc_freq = 1;
    profile.features[3].doc_freq = 10;
    document.enter_term(1, 4);
    document.enter_term(2, 2);
    document.enter_term(3, 1);
    document.enter_term(4, 3);
  }
  void TearDown() override { param = Param(); }

  void expect_strengths(unsigned int normalize, double a, double b) {
    param.gen.set_normalize(normalize);
    ClassProfile &profile = class_table.get_profile(0);
    for (auto &entry : profile.features) entry.second.strength = 0.0;
    document.set_class_document_strengths(0);
    const std::vector<Feature> &features = document.get_features();
    const double expected[] = {a, b, 0.0, 0.0};
    for (int i = 0; i < 4; ++i)
      EXPECT_NEAR(expected[i], features[i].strength, 5e-7) << normalize << i;
    EXPECT_EQ(features[1].strength, profile.features[2].strength);
    EXPECT_EQ(0.0, profile.features[3].strength);
    EXPECT_EQ(nullptr, profile.get_feature(4));
  }

  DocProfile document;
};

TEST_F(Strengths, WorkedExampleUnderEachNormalisation) {
  expect_strengths(normalize_off, 2.772589, 4.605170);
  expect_strengths(normalize_linear, 0.375804, 0.624196);
  expect_strengths(normalize_vector, 0.515793, 0.856713);
  document.set_class_document_strengths(0);  // adds again
  EXPECT_NEAR(2 * 0.515793, class_table.get_profile(0).features[1].strength,
              1e-6);
}

TEST_F(Strengths, StrengthModesAndDegenerateCounts) {
  param.gen.set_strength_mode(bool_strength);
  expect_strengths(normalize_off, std::log(2.0), std::log(10.0));
  param.gen.set_strength_mode(ltc_strength);
  expect_strengths(normalize_off, (std::log(4.0) + 1) * std::log(2.0),
                   (std::log(2.0) + 1) * std::log(10.0));

  // Stored document frequencies above this run's count weigh nothing.
  class_table.get_data(0).num_docs = 0;
  for (unsigned int normalize : {normalize_linear, normalize_vector})
    expect_strengths(normalize, 0.0, 0.0);
}

TEST(DocProfile, PerMilleRoundsHalvesDown) {
  EXPECT_EQ(2u, per_mille(1, 400));
  EXPECT_EQ(3u, per_mille(2500001, 1000000000));
  EXPECT_EQ(1000u, per_mille(7, 7));
  EXPECT_EQ(333u, per_mille(1, 3));
  EXPECT_EQ(667u, per_mille(2, 3));
  EXPECT_EQ(0u, per_mille(0, 0));
}

TEST(DocProfile, StatisticsAddIntoTheClass) {
  ClassData data(1);
  data.profile.features[8].promotions = 5;
  DocProfile document;
  document.enter_term(8, 1);
  document.enter_term(9, 2);
  document.get_statistics(data);
  document.get_statistics(data);
  EXPECT_EQ(6u, data.sum_freq);
  const FeatureInfo &info = data.profile.features[9];
  EXPECT_EQ(4u, info.term_freq);
  EXPECT_EQ(2u, info.doc_freq);
  EXPECT_EQ(0, data.profile.features[8].promotions);
  EXPECT_EQ(2 * 667u, data.statistics[9].sum);
  EXPECT_EQ(2 * 667u * 667u, data.statistics[9].sum_sq);
}

TEST(DocProfile, RemoveTermsKeepsSelectedInOrder) {
  DocProfile document;
  document.enter_term(3, 1);
  document.enter_term(1, 2);
  document.enter_term(2, 4);
  document.remove_terms({});
  EXPECT_EQ(7u, document.get_sum_freq());
  document.remove_terms({2, 3, 99});
  ASSERT_EQ(2u, document.get_features().size());
  EXPECT_EQ(3u, document.get_features()[0].term);
  EXPECT_EQ(2u, document.get_features()[1].term);
  EXPECT_EQ(5u, document.get_sum_freq());
  document.remove_terms({99});
  EXPECT_TRUE(document.get_features().empty());
  EXPECT_EQ(0u, document.get_sum_freq());
}

}  // namespace
