#include "model/classprof.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <sstream>

#include "base/param.h"

namespace {

class ClassProfileFile : public ::testing::Test {
 protected:
  void TearDown() override { param = Param(); }

  static std::string written(const ClassProfile &profile, AlgorithmType a) {
    std::ostringstream os;
    EXPECT_TRUE(profile.write(os, 42, a));
    return os.str();
  }

  static bool read(const std::string &text, AlgorithmType a,
                   ClassProfile *profile) {
    std::istringstream is(text);
    uint64_t sum_freq = 0;
    return profile->read(is, &sum_freq, a) && sum_freq == 42;
  }
};

TEST_F(ClassProfileFile, FieldsDependOnTheAlgorithm) {
  EXPECT_EQ("0\t42\t1\n", written(ClassProfile(), Winnow));
  ClassProfile profile;
  FeatureInfo &info = profile.features[7];
  info = {3, 2, 0.1234567, 0.0, 1, 2};
  EXPECT_EQ("1\t42\t1\n7\t3\t2\t1\t2\t\n", written(profile, Winnow));
  EXPECT_EQ("1\t42\t1\n7\t3\t2\t0.123457\t\n", written(profile, Rocchio));
  EXPECT_EQ("1\t42\t1\n7\t3\t2\t\n", written(profile, SBC));

  profile.set_theta(0.25);
  for (AlgorithmType a : {Winnow, Rocchio, SBC}) {
    ClassProfile back;
    ASSERT_TRUE(read(written(profile, a) + "\n \n", a, &back)) << a;
    EXPECT_EQ(written(profile, a), written(back, a));
  }
  ClassProfile back;
  EXPECT_FALSE(read(written(profile, Winnow), SBC, &back));
}

// However the map was sized and filled, the same profile gives the same file.
TEST_F(ClassProfileFile, TermsAreWrittenInTermOrder) {
  ClassProfile ascending, descending;
  descending.features.reserve(100000);
  for (uint32_t term = 0; term < 300; ++term) {
    ascending.features[term * 7].term_freq = term + 1;
    descending.features[(299 - term) * 7].term_freq = 300 - term;
  }
  EXPECT_EQ(written(ascending, SBC), written(descending, SBC));
  EXPECT_EQ(0u, written(ascending, SBC).find("300\t42\t1\n0\t1\t0\t\n7\t2\t0\t\n"));
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
}

// Random entries and erasures, many of them colliding, leave the map holding
// exactly what an ordered map holds, the kept strengths following their
// records; the reserved id is never entered.
TEST(FeatureMap, AgreesWithAnOrderedMap) {
  std::mt19937 random(5);
  FeatureMap map;
  map.keep_strengths();
  std::map<uint32_t, uint32_t> expected;
  for (int step = 0; step < 200000; ++step) {
    uint32_t term = random() % 3000 * 1024;  // few homes, long probe runs
    if (random() % 3 == 0) {
      EXPECT_EQ(expected.erase(term), map.erase(term));
    } else {
      map[term].term_freq += 1;
      map.strength_at(map.position(term)) += 1.0;
      expected[term] += 1;
    }
  }
  ASSERT_EQ(expected.size(), map.size());
  for (const auto &entry : map) {
    EXPECT_EQ(expected[entry.first], entry.second.term_freq);
    EXPECT_EQ(expected[entry.first], map.strength_at(&entry - &*map.begin()));
  }
  for (uint32_t term = 0; term < 3000 * 1024; term += 512)
    EXPECT_EQ(expected.count(term), map.find(term) != map.end() ? 1u : 0u) << term;
  EXPECT_FALSE(map.insert(0xffffffffU, FeatureInfo()));
  EXPECT_EQ(map.end(), map.find(0xffffffffU));
}

}  // namespace
