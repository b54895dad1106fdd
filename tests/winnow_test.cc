#include "learn/winnow.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "driver/eventlog.h"
#include "tests/collection_fixture.h"

namespace {

class WinnowTest : public CollectionTest {
 protected:
  void SetUp() override {
    CollectionTest::SetUp();
    const char *argv[] = {"mivo", "-v", "examples", nullptr};
    options.parse(3, argv);
    // The log opens once per process; each test reads what it added.
    static bool opened = false;
    if (!opened) event_log.initialize("winnow.log");
    opened = true;
    log_start = read_file("winnow.log").size();
  }

  // Under linear normalisation a document of one term gives it strength 1.0
  // relative to the root, once the root knows the term from fewer than all
  // of its documents.
  static DocProfile &one_term_document(const std::string &name, uint32_t term) {
    ClassData &root = class_table.get_data(0);
    root.num_docs = 2;
    root.profile.features[term].doc_freq = 1;
    DocProfile *doc = database.get_document_profile(name);
    doc->set_class_document_strengths(0);
    return *doc;
  }
  static void set_weights(ClassData &son, uint32_t term, double weight, double negative) {
    son.profile.features[term].weight = weight;
    son.profile.features[term].negative_weight = negative;
  }
  std::string log_text() const { return read_file("winnow.log").substr(log_start); }

  std::string::size_type log_start = 0;
};

TEST_F(WinnowTest, InitialWeightsFollowTheFathersAverageStrength) {
  ClassData &son = example("d1", "sport", {{1, 1}});
  son.profile.features[1].promotions = 3;
  ClassData &father = class_table.get_data(0);
  class_table.collect_examples();
  father.num_docs = 10;
  father.sum_strength = 50.0;
  init_winnow_weights(son);
  EXPECT_EQ(0.4, son.profile.features[1].weight);
  EXPECT_EQ(0.2, son.profile.features[1].negative_weight);
  EXPECT_EQ(0.4, son.profile.get_init_weight());
  EXPECT_EQ(3, son.profile.features[1].promotions);

  param.gen.set_normalize(normalize_linear);
  init_winnow_weights(son);
  EXPECT_EQ(2.0, son.profile.features[1].weight);
  EXPECT_EQ(1.0, son.profile.get_init_negative_weight());

  // No documents, or one document whose terms all have strength ln(1/1) = 0:
  // the average falls back to 10000 rather than dividing by zero.
  param.gen.set_normalize(normalize_off);
  for (uint32_t docs : {0u, 1u}) {
    father.num_docs = docs;
    father.sum_strength = 0.0;
    init_winnow_weights(son);
    EXPECT_EQ(2.0 / 10000.0, son.profile.features[1].weight) << docs;
    EXPECT_EQ(1.0 / 10000.0, son.profile.features[1].negative_weight) << docs;
  }
}

TEST_F(WinnowTest, UpdatesAreInclusiveAndTheLastOneCounts) {
  param.gen.set_normalize(normalize_linear);
  ClassData &sport = example("d1", "sport", {{1, 1}});
  ClassData &arts = example("d2", "arts", {{2, 1}});
  DocProfile &doc = one_term_document("d1", 1);
  auto reset = [&] {
    set_weights(sport, 1, 2.0, 1.0);  // both sons score exactly 1.0
    set_weights(arts, 1, 2.0, 1.0);
  };

  // The member arts is promoted, sport demoted; the later son decides.
  reset();
  EXPECT_EQ(+1, winnow_update_sons({&sport, &arts}, doc, {&arts}));
  EXPECT_DOUBLE_EQ(1.8, sport.profile.features[1].weight);
  EXPECT_DOUBLE_EQ(1.1, sport.profile.features[1].negative_weight);
  EXPECT_DOUBLE_EQ(2.2, arts.profile.features[1].weight);
  EXPECT_DOUBLE_EQ(0.9, arts.profile.features[1].negative_weight);
  EXPECT_EQ(1, sport.profile.features[1].demotions);
  EXPECT_EQ(1, arts.profile.features[1].promotions);
  reset();
  EXPECT_EQ(-1, winnow_update_sons({&arts, &sport}, doc, {&arts}));

  // Just inside the thick threshold nothing changes; neither does a score
  // that is not a number.
  set_weights(sport, 1, 2.0, 1.0 - 1e-9);
  set_weights(arts, 1, 2.0, 1.0 + 1e-9);
  EXPECT_EQ(0, winnow_update_sons({&sport, &arts}, doc, {&sport}));
  set_weights(sport, 1, NAN, 1.0);
  EXPECT_EQ(0, winnow_update_sons({&sport}, doc, {&sport}));
  EXPECT_EQ(0, winnow_update_sons({&sport}, doc, {}));
  EXPECT_EQ(0, sport.profile.features[1].promotions);
  EXPECT_EQ(2, sport.profile.features[1].demotions);
}

TEST_F(WinnowTest, OnlyTheDocumentsKnownTermsChangeAndCount) {
  ClassData &sport = example("d1", "sport", {{1, 1}, {3, 2}});
  DocProfile *doc = database.get_document_profile("d1");
  set_weights(sport, 1, 2.0, 1.0);
  set_weights(sport, 7, 5.0, 4.0);  // not in the document
  promote_profile(sport.profile, *doc);
  count_updates(sport.profile, *doc, true);
  demote_profile(sport.profile, *doc);
  count_updates(sport.profile, *doc, false);
  EXPECT_DOUBLE_EQ(2.0 * 1.1 * 0.9, sport.profile.features[1].weight);
  EXPECT_DOUBLE_EQ(1.0 * 0.9 * 1.1, sport.profile.features[1].negative_weight);
  EXPECT_EQ(1, sport.profile.features[1].promotions);
  EXPECT_EQ(1, sport.profile.features[1].demotions);
  EXPECT_EQ(nullptr, sport.profile.get_feature(3));  // no entry created
  EXPECT_EQ(5.0, sport.profile.features[7].weight);
  EXPECT_EQ(0, sport.profile.features[7].promotions + sport.profile.features[7].demotions);

  // Weights stay finite and non-zero however often they are scaled.
  set_weights(sport, 1, DBL_MAX, DBL_MIN);
  promote_profile(sport.profile, *doc);
  EXPECT_EQ(DBL_MAX, sport.profile.features[1].weight);
  EXPECT_EQ(DBL_MIN, sport.profile.features[1].negative_weight);
  set_weights(sport, 1, DBL_MIN, DBL_MAX);
  demote_profile(sport.profile, *doc);
  EXPECT_EQ(DBL_MIN, sport.profile.features[1].weight);
  EXPECT_EQ(DBL_MAX, sport.profile.features[1].negative_weight);
}

// 25 training documents: sport's have term 1, arts' term 2. Under linear
// normalisation every document gives its one term strength 1.0, so a son
// with the initial weights 2.0 and 1.0 scores its own documents exactly 1.0.
class WinnowTraining : public WinnowTest {
 protected:
  void SetUp() override {
    WinnowTest::SetUp();
    param.gen.set_normalize(normalize_linear);
    param.gen.set_term_sel(NoTermSel);
    for (int i = 0; i < 25; ++i)
      example("d" + std::to_string(i), i % 2 ? "sport" : "arts", {{i % 2 ? 1u : 2u, 1}});
    class_table.collect_examples();
    class_table.update_all_class_data();
  }
};

TEST_F(WinnowTraining, PassesUntilNothingChanges) {
  train_winnow();
  // The first document of each son is promoted; then both separate.
  std::string log = log_text();
  for (const char *line : {"training winnow on `news' with 25 documents: 2 active terms.\n",
                           "Winnow Initialization on <news> 120% complete\n",
                           "iteration 1: 2 promotions, 0 demotions\n",
                           "iteration 2: 0 promotions, 0 demotions\n",
                           "trained 2 iterations\n", "Class sport threshhold "})
    EXPECT_NE(std::string::npos, log.find(line)) << line;
  EXPECT_EQ(std::string::npos, log.find("130%"));
  EXPECT_DOUBLE_EQ(2.2, data("sport").profile.features[1].weight);
  EXPECT_EQ(1, data("sport").profile.features[1].promotions);
  EXPECT_NE(1.0, data("sport").profile.get_theta());
  EXPECT_TRUE(database.get_docprof_table_begin() == database.get_docprof_table_end());
}

TEST_F(WinnowTraining, SeparatedSonsAndNoPassesAtAll) {
  param.win.set_theta_plus(0.5);
  param.win.set_theta_minus(0.5);
  EXPECT_EQ(1u, train_winnow_class(class_table.get_data(0)));
  EXPECT_NE(std::string::npos, log_text().find("iteration 1: 0 promotions, 0 demotions\n"));

  param.win.set_max_iters(0);
  EXPECT_EQ(0u, train_winnow_class(class_table.get_data(0)));
  EXPECT_EQ(2.0, data("sport").profile.features[1].weight);
  EXPECT_EQ(1.0, data("arts").profile.features[2].negative_weight);
}

}  // namespace
