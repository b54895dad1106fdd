#include "model/classprof.h"

#include <gtest/gtest.h>

#include <sstream>

#include "driver/param.h"

namespace {

class ClassProfileFile : public ::testing::Test {
 protected:
  void TearDown() override { param = Param(); }

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
    return profile->read(is, &sum_freq) && sum_freq == 42;
  }
};

TEST_F(ClassProfileFile, FieldsDependOnTheAlgorithm) {
  EXPECT_EQ("0\t42\t1\n", written(ClassProfile(), Winnow));
  ClassProfile profile;
  FeatureInfo &info = profile.features[7];
  info = {3, 2, 4.5, 0.1234567, 0.0, 1, 2};
  EXPECT_EQ("1\t42\t1\n7\t3\t2\t1\t2\t\n", written(profile, Winnow));
  EXPECT_EQ("1\t42\t1\n7\t3\t2\t0.123457\t\n", written(profile, Rocchio));
  EXPECT_EQ("1\t42\t1\n7\t3\t2\t\n", written(profile, SBC));

  profile.set_theta(0.25);
  for (AlgorithmType a : {Winnow, Rocchio, SBC}) {
    ClassProfile back;
    ASSERT_TRUE(read(written(profile, a) + "\n \n", a, &back)) << a;
    EXPECT_EQ(written(profile, a), written(back, a));
    EXPECT_EQ(0.0, back.features[7].strength);
  }
  ClassProfile back;
  EXPECT_FALSE(read(written(profile, Winnow), SBC, &back));
}

TEST_F(ClassProfileFile, DamagedFilesFailToRead) {
  const std::string header = "2\t42\t1\n1\t1\t1\t0\t0\t\n";
  const char *damaged[] = {
      "2\t1\t1\t0\t0\t\n3\n",  // extra non-blank line
      "1\t1\t1\t0\t0\t\n",     // repeated term
      "2\t-1\t1\t0\t0\t\n",    // negative count
      "2\t1\t1\t0\t-2\t\n",    // negative demotions
      "2\tx\t1\t0\t0\t\n",     // not a number
      "",                      // a term missing
  };
  for (const char *body : damaged) {
    ClassProfile profile;
    EXPECT_FALSE(read(header + body, Winnow, &profile)) << body;
  }
  ClassProfile huge;
  EXPECT_FALSE(read("4000000000\t42\t1\n1\t1\t1\t\n", SBC, &huge));
  huge.extend(20000000);
  EXPECT_LE(huge.features.bucket_count(), 2 * max_size_hint);
}

// The weights file keeps what the profile file rounds to 6 digits, so that a
// stored model scores exactly as the trained one.
TEST_F(ClassProfileFile, WeightsFileKeepsFullPrecision) {
  ClassProfile profile;
  profile.features[9] = {1, 1, 0.0, 0.1 + 0.2, 1.0 / 3, 0, 0};
  profile.features[2].weight = -1e-300;
  profile.set_theta(-44.230927821152228 / 7);
  std::ostringstream os;
  ASSERT_TRUE(profile.write_weights(os));
  EXPECT_EQ(0u, os.str().find("2\t-6.31870"));
  EXPECT_NE(std::string::npos, os.str().find("\n2\t-1e-300\t0\n9\t"));  // term order

  auto read_back = [](const std::string &text, ClassProfile &into) {
    std::istringstream is(text);
    return into.read_weights(is);
  };
  ClassProfile back;
  back.features[2];
  back.features[9];
  ASSERT_TRUE(read_back(os.str() + "\n", back));
  EXPECT_EQ(0.1 + 0.2, back.features[9].weight);
  EXPECT_EQ(1.0 / 3, back.features[9].negative_weight);
  EXPECT_EQ(-1e-300, back.features[2].weight);
  EXPECT_EQ(profile.get_theta(), back.get_theta());

  ClassProfile lacking;  // the weights name a term the profile lacks
  lacking.features[9];
  EXPECT_FALSE(read_back(os.str(), lacking));
  EXPECT_FALSE(read_back(os.str() + "7\n", back));
  EXPECT_FALSE(read_back("1\t0.5\n9\t0.25x\t0\n", back));
}

}  // namespace
