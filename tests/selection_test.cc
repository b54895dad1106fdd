#include "select/selection.h"

#include "tests/collection_fixture.h"

namespace {

TEST(Selection, ThresholdsOfEachMethod) {
  // The summary is N, S, C and V.
  const struct { TermSelType method; double selectivity; ClassSummary summary; uint32_t tf, df;
                 StatisticalInfo stats; bool selected; } cases[] = {
      {DocumentFrequency, 0.5, {10, 1000, 4, 5000}, 5, 5, {}, true},
      {DocumentFrequency, 0.5, {10, 1000, 4, 5000}, 4, 4, {}, false},
      {TermFrequency, 1.0, {4, 400, 4, 5000}, 100, 1, {}, true},
      {TermFrequency, 1.0, {4, 400, 4, 5000}, 99, 4, {}, false},
      {Uncertainty, 0.99, {4, 400, 4, 5000}, 20, 2, {200, 20000}, true},  // mean 50, sd 50
      {Uncertainty, 1.0, {4, 400, 4, 5000}, 20, 2, {200, 20000}, false},
      {Uncertainty, 1e3, {4, 400, 4, 5000}, 40, 4, {400, 40000}, true},   // sd 0
      {Uncertainty, 0.1, {4, 400, 4, 5000}, 40, 4, {400, 100}, false},    // no sd
      {TfIdf, 0.5, {10, 1000, 4, 5000}, 20, 4, {}, true},
      {TfIdf, 0.6, {10, 1000, 4, 5000}, 20, 4, {}, false},
      {InformationGain, 0.05, {10, 1000, 4, 5000}, 10, 1, {}, true},  // 0.052983
      {InformationGain, 0.06, {10, 1000, 4, 5000}, 10, 1, {}, false},
      {InformationGain, 0.0, {0, 0, 4, 5000}, 0, 0, {}, true},
      // A term that is the whole of 5000 documents adds 10^6 per document to
      // its sum of squares, past 32 bits; its sd is still 0.
      {Uncertainty, 0.5, {5000, 5000, 2, 1}, 0, 0, {5000ull * 1000, 5000ull * 1000 * 1000}, true},
  };
  for (const auto &c : cases) {
    FeatureInfo info;
    info.term_freq = c.tf;
    info.doc_freq = c.df;
    EXPECT_EQ(c.selected, is_term_selected(c.method, c.selectivity, c.summary, info, c.stats))
        << c.method << " " << c.selectivity << " " << c.tf;
  }
}

// Every method over a hierarchy with documents in two classes and terms that
// stored profiles already hold (an incremental run): term 5 was counted 30
// times before, term 9 only before. Sums are per class id (root, a, a/x, b,
// a/y): what pruning took off them shows which terms each class dropped.
TEST_F(CollectionTest, EveryMethodSelectsAndPrunes) {
  const struct { TermSelType method; double selectivity; std::set<unsigned long> selected;
                 std::vector<uint64_t> sums; } cases[] = {
      {Uncertainty, 1.2, {1, 2, 3}, {47, 45, 15, 22, 20}},
      {TermFrequency, 0.5, {1, 2, 3, 5}, {78, 76, 16, 53, 20}},
      {DocumentFrequency, 0.6, {1, 2, 3}, {47, 45, 15, 22, 20}},
      {TfIdf, 0.5, {1, 2, 3, 4, 5, 6}, {80, 77, 16, 54, 21}},
      {InformationGain, 0.2, {1, 2, 3, 5}, {78, 76, 16, 53, 20}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.method);
    TearDown();
    SetUp();
    example("a1", "a/x", {{1, 5}, {2, 5}, {5, 1}});
    example("a1", "b", {{1, 5}, {2, 5}, {5, 1}});
    example("a2", "a/y", {{1, 10}, {3, 1}});
    example("a3", "a/y", {{1, 2}, {3, 7}, {6, 1}});
    example("a4", "a/x", {{1, 3}, {2, 2}});
    example("b1", "b", {{3, 2}, {4, 1}});
    class_table.collect_examples();
    for (ClassData *data : {&class_table.get_data(0), &data("a"), &data("b")}) {
      data->sum_freq = 40;
      data->profile.features[5].term_freq = 30;
      data->profile.features[9].term_freq = 10;
    }
    param.gen.set_term_sel(c.method);
    param.gen.set_selectivity(c.selectivity);
    update_all_class_data();
    EXPECT_EQ(c.selected, selected_terms);
    for (const Feature &feature : database.get_document_profile("a3")->get_features())
      EXPECT_EQ(1u, c.selected.count(feature.term)) << feature.term;
    for (uint32_t id = 0; id < class_table.size(); ++id)
      EXPECT_EQ(c.sums[id], class_table.get_data(id).sum_freq) << id;
    EXPECT_EQ(10u, data("b").profile.get_feature(9)->term_freq);
  }
}

// An incremental run adds its documents to the counts a stored model kept,
// and keeps the terms the model was trained on: with this run's counts
// alone, the stored document frequencies outgrow the document counts, and
// a selection from this run's documents prunes the model away.
TEST_F(CollectionTest, AnIncrementalRunCountsOnFromTheStoredModel) {
  ClassData &a = example("a1", "a", {{1, 5}});
  example("b1", "b", {{2, 1}});
  ClassData &root = class_table.get_data(0);
  root.num_docs = 10;
  a.num_docs = 4;
  a.num_other_docs = 6;
  a.profile.features[9].doc_freq = 3;
  selected_terms = {9};
  class_table.collect_examples();
  param.gen.set_term_sel(DocumentFrequency);
  param.gen.set_selectivity(1.0);
  update_all_class_data();
  EXPECT_EQ(12u, root.num_docs);
  EXPECT_EQ(5u, a.num_docs);
  EXPECT_EQ(7u, a.num_other_docs);
  EXPECT_EQ((std::set<unsigned long>{2, 9}), selected_terms);  // 1 is in 1 of 5
  EXPECT_EQ(3u, a.profile.get_feature(9)->doc_freq);
}

}  // namespace
