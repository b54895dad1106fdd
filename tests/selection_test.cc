#include "select/selection.h"

#include <gtest/gtest.h>

#include "model/classtab.h"
#include "tests/collection_fixture.h"

namespace {

bool selects(TermSelType method, double s, ClassSummary summary,
             uint32_t term_freq, uint32_t doc_freq, StatisticalInfo stats = {}) {
  FeatureInfo info;
  info.term_freq = term_freq;
  info.doc_freq = doc_freq;
  return is_term_selected(method, s, summary, info, stats);
}

TEST(Selection, ThresholdsOfEachMethod) {
  const ClassSummary ten{10, 1000, 4, 5000};
  EXPECT_TRUE(selects(DocumentFrequency, 0.5, ten, 5, 5));
  EXPECT_FALSE(selects(DocumentFrequency, 0.5, ten, 4, 4));

  const ClassSummary four{4, 400, 4, 5000};
  EXPECT_TRUE(selects(TermFrequency, 1.0, four, 100, 1));
  EXPECT_FALSE(selects(TermFrequency, 1.0, four, 99, 4));

  // Mean 50 and sd 50: the comparison is strict.
  StatisticalInfo spread{200, 20000};
  EXPECT_TRUE(selects(Uncertainty, 0.99, four, 20, 2, spread));
  EXPECT_FALSE(selects(Uncertainty, 1.0, four, 20, 2, spread));
  StatisticalInfo steady{400, 40000};  // sd 0
  EXPECT_TRUE(selects(Uncertainty, 1000.0, four, 40, 4, steady));
  EXPECT_FALSE(selects(Uncertainty, 1.0, four, 0, 4, StatisticalInfo{}));
  StatisticalInfo impossible{400, 100};  // negative variance
  EXPECT_FALSE(selects(Uncertainty, 0.1, four, 40, 4, impossible));

  // tf / df = 5 against s x N.
  EXPECT_TRUE(selects(TfIdf, 0.5, ten, 20, 4));
  EXPECT_FALSE(selects(TfIdf, 0.6, ten, 20, 4));

  // 0.01 x ln 200 = 0.052983.
  EXPECT_TRUE(selects(InformationGain, 0.05, ten, 10, 1));
  EXPECT_FALSE(selects(InformationGain, 0.06, ten, 10, 1));
}

TEST(Selection, SelectivityZeroAndMethodNoneKeepEverything) {
  const ClassSummary empty{0, 0, 1, 1};
  for (TermSelType method : {NoTermSel, Uncertainty, TermFrequency,
                             DocumentFrequency, TfIdf, InformationGain}) {
    EXPECT_TRUE(selects(method, 0.0, empty, 0, 0)) << method;
    // A class without documents has nothing to select from.
    EXPECT_EQ(method == NoTermSel, selects(method, 0.5, empty, 1, 1)) << method;
  }
  EXPECT_TRUE(selects(NoTermSel, 1e9, ClassSummary{1, 1, 1, 1}, 0, 0));
}

// A term that is the whole of 5000 documents adds 10^6 per document to its
// sum of squares, past 32 bits; its sd is still 0.
TEST(Selection, StatisticsOfLargeClassesDoNotOverflow) {
  ClassData data;
  DocProfile doc;
  doc.enter_term(7, 3);
  for (int i = 0; i < 5000; ++i) doc.get_statistics(data);
  data.num_docs = 5000;
  EXPECT_EQ(5000000000ULL, data.statistics[7].sum_sq);
  param.gen.set_term_sel(Uncertainty);
  std::set<unsigned long> selected;
  select_class_terms(data, 1, selected);
  EXPECT_EQ(1u, selected.count(7));
  param = Param();
}

typedef CollectionTest SelectionRun;

// Documents a1 {1:5, 2:5} and a2 {1:10} in class a, b1 {3:2, 4:1} in b.
// DocumentFrequency at 1.0 keeps the terms of every document of a class:
// 1 for a, 3 and 4 for b, none for the root.
TEST_F(SelectionRun, GathersSelectsAndPrunes) {
  train_doc("a1", "a", {{1, 5}, {2, 5}});
  train_doc("a2", "a", {{1, 10}});
  train_doc("b1", "b", {{3, 2}, {4, 1}});
  class_table.collect_examples();
  param.gen.set_term_sel(DocumentFrequency);
  param.gen.set_selectivity(1.0);
  class_table.update_all_class_data();

  EXPECT_EQ((std::set<unsigned long>{1, 3, 4}), selected_terms);
  ClassData &root = class_table.get_data(0), &a = data("a"), &b = data("b");
  EXPECT_EQ(3u, root.num_docs);
  EXPECT_EQ(1u, a.num_other_docs);
  EXPECT_EQ(2u, b.num_other_docs);
  EXPECT_EQ(23u - 5, root.sum_freq);
  EXPECT_EQ(20u - 5, a.sum_freq);
  EXPECT_EQ(15u, a.profile.get_term_freq(1));
  EXPECT_EQ(2u, a.profile.get_doc_freq(1));
  EXPECT_EQ(nullptr, a.profile.get_feature(2));
  EXPECT_EQ(3u, root.profile.features.size());
  EXPECT_TRUE(root.statistics.empty() && a.statistics.empty());

  EXPECT_EQ(1u, database.get_document_profile("a1")->get_features().size());
  DocProfile whole;
  database.peek_document_profile("a1", whole);
  EXPECT_EQ(2u, whole.get_features().size());
}

TEST_F(SelectionRun, NothingSelectedEmptiesClassesButNotDocuments) {
  train_doc("a1", "a", {{1, 5}, {2, 5}});
  class_table.collect_examples();
  param.gen.set_term_sel(InformationGain);
  param.gen.set_selectivity(100.0);
  class_table.update_all_class_data();
  EXPECT_TRUE(selected_terms.empty());
  EXPECT_TRUE(data("a").profile.features.empty());
  EXPECT_EQ(0u, data("a").sum_freq);
  EXPECT_EQ(2u, database.get_document_profile("a1")->get_features().size());
}

}  // namespace
