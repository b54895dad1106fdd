#include "model/docprof.h"

#include <glib.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "base/param.h"
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
  DocProfile profile;
  EXPECT_EQ(8u, blob_of(profile).size());
  profile.enter_term(5, 2);
  profile.enter_term(3, 4000000000u);
  std::string blob = blob_of(profile);
  ASSERT_EQ(24u, blob.size());
  DocProfile back;
  ASSERT_TRUE(back.read(blob.data(), blob.size()));
  ASSERT_TRUE(back.read(blob.data(), blob.size()));  // appends
  // A blob stored before checksums ends with its last pair.
  ASSERT_TRUE(back.read(blob.data(), 20));
  EXPECT_EQ(3u, back.get_features().at(5).term);
  EXPECT_EQ(3 * 4000000002ULL, back.get_sum_freq());
  // Cut or grown to no whole blob, or with a bit flipped: refused, adding nothing.
  std::vector<std::string> damaged;
  for (size_t len : {0, 3, 19, 21, 23, 25}) damaged.push_back((blob + '\0').substr(0, len));
  for (size_t bit : {0, 37, 100, 191}) {
    damaged.push_back(blob);
    damaged.back()[bit / 8] ^= static_cast<char>(1 << (bit % 8));
  }
  for (const std::string &bytes : damaged)
    EXPECT_FALSE(back.read(bytes.data(), bytes.size())) << &bytes - &damaged[0];
  EXPECT_EQ(6u, back.get_features().size());
}

class Strengths : public ::testing::Test {
 protected:
  // Class 0 has 10 training documents and document frequencies 5, 1, 10 for
  // terms 1, 2, 3; the document holds them 4, 2 and 1 times and term 4,
  // unknown to the class, 3 times.
  void SetUp() override {
    class_table.clear();
    class_table.get_data(class_table.enter_class("r", 0)).num_docs = 10;
    const uint32_t doc_freqs[] = {5, 1, 10}, freqs[] = {4, 2, 1, 3};
    for (uint32_t i = 0; i < 3; ++i) profile().features[i + 1].doc_freq = doc_freqs[i];
    for (uint32_t i = 0; i < 4; ++i) document.enter_term(i + 1, freqs[i]);
  }
  void TearDown() override { param = Param(); }
  ClassProfile &profile() { return class_table.get_profile(0); }
  double summed(uint32_t term) {
    return profile().features.strength_at(profile().features.position(term));
  }

  void expect_strengths(unsigned int normalize, double a, double b) {
    param.gen.set_normalize(normalize);
    profile().features.drop_strengths();
    document.set_class_document_strengths(0);
    const double expected[] = {a, b, 0.0, 0.0};
    std::vector<double> strengths;
    document.get_strengths(strengths);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(expected[i], strengths[i], 5e-7) << normalize << i;
    EXPECT_EQ(strengths[1], summed(2));
    EXPECT_EQ(nullptr, profile().get_feature(4));
  }

  DocProfile document;
};

TEST_F(Strengths, ModesNormalisationsAndDegenerateCounts) {
  expect_strengths(normalize_off, 2.772589, 4.605170);
  expect_strengths(normalize_linear, 0.375804, 0.624196);
  expect_strengths(normalize_vector, 0.515793, 0.856713);
  document.set_class_document_strengths(0);  // adds again
  EXPECT_NEAR(2 * 0.515793, summed(1), 1e-6);

  param.gen.set_strength_mode(ltc_strength);
  expect_strengths(normalize_off, (std::log(4.0) + 1) * std::log(2.0),
                   (std::log(2.0) + 1) * std::log(10.0));
  // Stored document frequencies above this run's count weigh nothing, and
  // all-zero strengths stay 0.0 when normalised.
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
}

}  // namespace
