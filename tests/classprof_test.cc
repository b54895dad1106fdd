#include "model/classprof.h"

#include <gtest/gtest.h>

#include <sstream>

#include "driver/param.h"
#include "model/classtab.h"

namespace {

class ClassProfileFile : public ::testing::Test {
 protected:
  void TearDown() override { param = Param(); }

  static ClassProfile sample() {
    ClassProfile profile;
    profile.set_theta(0.25);
    FeatureInfo &info = profile.features[7];
    info.term_freq = 3;
    info.doc_freq = 2;
    info.strength = 4.5;
    info.weight = 0.1234567;
    info.promotions = 1;
    info.demotions = 2;
    profile.features[9].term_freq = 1;
    return profile;
  }

  static std::string written(const ClassProfile &profile, AlgorithmType a) {
    param.gen.set_algorithm(a);
    std::ostringstream os;
    EXPECT_TRUE(profile.write(os, 42));
    return os.str();
  }

  static bool read(const std::string &text, AlgorithmType a,
                   ClassProfile *profile) {
    param.gen.set_algorithm(a);
    std::istringstream is(text);
    uint64_t sum_freq = 0;
    return profile->read(is, &sum_freq);
  }
};

TEST_F(ClassProfileFile, EmptyProfileIsItsHeader) {
  EXPECT_EQ("0\t42\t1\n", written(ClassProfile(), Winnow));
  ClassProfile back;
  param.gen.set_algorithm(SBC);
  std::istringstream is("0\t42\t1\n\n  \n");
  uint64_t sum_freq = 0;
  ASSERT_TRUE(back.read(is, &sum_freq));
  EXPECT_EQ(42u, sum_freq);
  EXPECT_TRUE(back.features.empty());
}

TEST_F(ClassProfileFile, FieldsDependOnTheAlgorithm) {
  ClassProfile one;
  one.features[7] = sample().features[7];
  EXPECT_EQ("1\t42\t1\n7\t3\t2\t1\t2\t\n", written(one, Winnow));
  EXPECT_EQ("1\t42\t1\n7\t3\t2\t0.123457\t\n", written(one, Rocchio));
  EXPECT_EQ("1\t42\t1\n7\t3\t2\t\n", written(one, SBC));

  for (AlgorithmType a : {Winnow, Rocchio, SBC}) {
    ClassProfile back;
    ASSERT_TRUE(read(written(sample(), a), a, &back)) << a;
    EXPECT_EQ(2u, back.features.size());
    EXPECT_EQ(0.25, back.get_theta());
    const FeatureInfo &info = back.features[7];
    EXPECT_EQ(3u, info.term_freq);
    EXPECT_EQ(2u, info.doc_freq);
    EXPECT_EQ(0.0, info.strength);
    EXPECT_EQ(a == Winnow ? 2 : 0, info.demotions);
    EXPECT_EQ(a == Rocchio ? 0.123457 : 0.0, info.weight);
  }
}

TEST_F(ClassProfileFile, DamagedFilesFailToRead) {
  const std::string header = "2\t42\t1\n";
  const char *damaged[] = {
      "1\t1\t1\t0\t0\t\n2\t1\t1\t0\t0\t\n3\n",  // extra non-blank line
      "1\t1\t1\t0\t0\t\n1\t1\t1\t0\t0\t\n",     // repeated term
      "1\t-1\t1\t0\t0\t\n2\t1\t1\t0\t0\t\n",    // negative count
      "1\t1\t1\t0\t-2\t\n2\t1\t1\t0\t0\t\n",    // negative demotions
      "1\t1\t1\t0\t0\t\n2\tx\t1\t0\t0\t\n",     // non-numeric
      "1\t1\t1\t0\t0\t\n",                      // a term missing
  };
  for (const char *body : damaged) {
    ClassProfile profile;
    EXPECT_FALSE(read(header + body, Winnow, &profile)) << body;
  }
  ClassProfile profile;
  EXPECT_FALSE(read(written(sample(), Winnow), SBC, &profile));
  ClassProfile huge;
  EXPECT_FALSE(read("4000000000\t1\t1\n1\t1\t1\t\n", SBC, &huge));
  EXPECT_LE(huge.features.bucket_count(), 2 * max_size_hint);
}

TEST(ClassProfile, SizingHintsAreCapped) {
  ClassProfile profile;
  profile.extend(20000000);
  EXPECT_LE(profile.features.bucket_count(), 2 * max_size_hint);
}

TEST(ClassProfile, SumTermStrengthAddsToTheClass) {
  class_table.clear();
  class_table.enter_class("r", 0);
  ClassProfile &profile = class_table.get_profile(0);
  profile.features[1].strength = 1.5;
  profile.features[2].strength = 0.25;
  profile.sum_term_strength(0);
  profile.sum_term_strength(0);
  EXPECT_DOUBLE_EQ(3.5, class_table.get_data(0).sum_strength);
}

}  // namespace
