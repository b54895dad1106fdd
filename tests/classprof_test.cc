#include "model/classprof.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <sstream>

#include "base/param.h"
#include "model/classtab.h"
#include "model/docprof.h"

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

// However the map was sized and filled, the same profile gives the same file.
TEST_F(ClassProfileFile, TermsAreWrittenInTermOrder) {
  ClassProfile ascending, descending;
  descending.extend(100000);
  for (uint32_t term = 0; term < 300; ++term) {
    ascending.features[term * 7].term_freq = term + 1;
    descending.features[(299 - term) * 7].term_freq = 300 - term;
  }
  for (AlgorithmType a : {Winnow, Rocchio, SBC}) {
    std::string text = written(ascending, a);
    EXPECT_EQ(text, written(descending, a));
    EXPECT_EQ(0u, text.find("300\t42\t1\n0\t1\t0\t"));
  }
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

// Random entries and erasures, many of them colliding, leave the map holding
// exactly what an ordered map holds; the reserved id is never entered.
TEST(FeatureMap, AgreesWithAnOrderedMap) {
  std::mt19937 random(5);
  FeatureMap map;
  std::map<uint32_t, uint32_t> expected;
  for (int step = 0; step < 200000; ++step) {
    uint32_t term = random() % 3000 * 1024;  // few homes, long probe runs
    if (random() % 3 == 0) {
      EXPECT_EQ(expected.erase(term), map.erase(term));
    } else {
      map[term].term_freq += 1;
      expected[term] += 1;
    }
  }
  ASSERT_EQ(expected.size(), map.size());
  for (const auto &entry : map) EXPECT_EQ(expected[entry.first], entry.second.term_freq);
  for (uint32_t term = 0; term < 3000 * 1024; term += 512)
    EXPECT_EQ(expected.count(term), map.count(term)) << term;
  EXPECT_FALSE(map.insert(0xffffffffU, FeatureInfo()));
  EXPECT_EQ(map.end(), map.find(0xffffffffU));
}

// The flat table must give, for each of several profiles, the very bits of
// the hashed profile, for every learner: terms known to some profiles only,
// unknown terms, zero and negative weights, a strength of -0.0.
TEST(ScoringTable, ScoresAsEachProfileDoes) {
  std::mt19937 random(3);
  std::vector<ClassProfile> profiles(3);
  for (ClassProfile &profile : profiles)
    for (uint32_t term = 0; term < 400; term += 1 + random() % 3) {
      FeatureInfo &info = profile.features[term * 7919u];
      info.weight = (random() % 5) * 0.37;
      info.negative_weight = (random() % 5) * 0.41;
    }
  DocProfile doc;
  for (int i = 0; i < 300; ++i) doc.enter_term((random() % 500) * 7919u, 1);
  // Strengths as training leaves them, without a class table to set them.
  std::vector<Feature> &features = const_cast<std::vector<Feature> &>(doc.get_features());
  for (Feature &feature : features) feature.strength = (random() % 7) / 3.0 - 0.5;
  features[0].strength = -0.0;
  for (AlgorithmType algorithm : {Winnow, Rocchio, SBC})
    for (bool negative : {true, false}) {
      param.gen.set_algorithm(algorithm);
      param.win.set_negative_weights(negative);
      ScoringTable table({&profiles[0], &profiles[1], &profiles[2]});
      std::vector<double> scores;
      table.predict_scores(doc, scores);
      ASSERT_EQ(3u, scores.size());
      for (int i = 0; i < 3; ++i) {
        double expected = profiles[i].predict_score(doc);
        EXPECT_EQ(0, memcmp(&expected, &scores[i], sizeof expected))
            << algorithm << " " << negative << " " << i;
      }
    }
  param = Param();
}

// Given the father's profile, the table sets a document's strengths as the
// father does (ltc with vector normalisation, some terms unknown to it) and
// adds them to the same records, then scores as the sons' profiles do.
TEST(ScoringTable, SetsStrengthsAsTheFatherDoes) {
  param.gen.set_strength_mode(ltc_strength);
  param.gen.set_normalize(normalize_vector);
  ClassData &father = class_table.get_data(class_table.enter_class("root", 0));
  father.num_docs = 50;
  ClassProfile son;
  for (uint32_t term = 0; term < 60; ++term) {
    father.profile.features[term].doc_freq = 1 + term % 40;
    if (term % 3 == 0) son.features[term].weight = 0.5 + term;
  }
  DocProfile hashed, tabled;
  for (uint32_t term = 0; term < 90; term += 7) {
    hashed.enter_term(term, 1 + term % 4);
    tabled.enter_term(term, 1 + term % 4);
  }
  hashed.set_class_document_strengths(0);
  double expected = son.predict_score(hashed);
  std::map<uint32_t, double> added;
  for (auto &entry : father.profile.features) {
    added[entry.first] = entry.second.strength;
    entry.second.strength = 0.0;
  }
  ScoringTable table({&son}, &father.profile);
  std::vector<double> scores;
  table.predict_scores(father, tabled, scores);
  EXPECT_EQ(0, memcmp(&expected, &scores[0], sizeof expected));
  for (size_t i = 0; i < hashed.get_features().size(); ++i)
    EXPECT_EQ(hashed.get_features()[i].strength, tabled.get_features()[i].strength) << i;
  for (const auto &entry : father.profile.features)
    EXPECT_EQ(added[entry.first], entry.second.strength) << entry.first;
  class_table.clear();
  param = Param();
}

}  // namespace
