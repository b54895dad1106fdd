#include "select/selection.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "model/classtab.h"
#include "tests/collection_fixture.h"

namespace {

TEST(Selection, ThresholdsOfEachMethod) {
  struct Case {
    TermSelType method;
    double selectivity;
    ClassSummary summary;  // N, S, C, V
    uint32_t tf, df;
    StatisticalInfo stats;
    bool selected;
  } cases[] = {
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
  };
  for (const Case &c : cases) {
    FeatureInfo info;
    info.term_freq = c.tf;
    info.doc_freq = c.df;
    EXPECT_EQ(c.selected, is_term_selected(c.method, c.selectivity, c.summary, info, c.stats))
        << c.method << " " << c.selectivity << " " << c.tf;
  }
}

// A term that is the whole of 5000 documents adds 10^6 per document to its
// sum of squares, past 32 bits; its sd is still 0.
TEST(Selection, StatisticsOfLargeClassesDoNotOverflow) {
  ClassData data;
  DocProfile doc;
  doc.enter_term(7, 3);
  for (int i = 0; i < 5000; ++i) doc.get_statistics(data);
  data.num_docs = 5000;
  param.gen.set_term_sel(Uncertainty);
  std::set<unsigned long> selected;
  select_class_terms(data, 1, selected);
  EXPECT_EQ(1u, selected.count(7));
  param = Param();
}

// DocumentFrequency at 1.0 keeps the terms in every document of a class:
// 1 for a, 3 and 4 for b, none for the root; term 2 goes everywhere.
TEST_F(CollectionTest, GatherSelectAndPrune) {
  example("a1", "a", {{1, 5}, {2, 5}});
  example("a2", "a", {{1, 10}});
  example("b1", "b", {{3, 2}, {4, 1}});
  class_table.collect_examples();
  param.gen.set_term_sel(DocumentFrequency);
  param.gen.set_selectivity(1.0);
  class_table.update_all_class_data();

  EXPECT_EQ((std::set<unsigned long>{1, 3, 4}), selected_terms);
  ClassData &root = class_table.get_data(0), &a = data("a");
  EXPECT_EQ(3u, root.num_docs);
  EXPECT_EQ(2u, data("b").num_other_docs);
  EXPECT_EQ(23u - 5, root.sum_freq);
  EXPECT_EQ(nullptr, a.profile.get_feature(2));
  EXPECT_EQ(1u, database.get_document_profile("a1")->get_features().size());
}

// One read of each profile for all its classes gathers what a read per
// class did: documents in two classes, in a leaf and its father, a class
// without documents.
TEST_F(CollectionTest, OnePassGathersWhatEachClassGathersAlone) {
  example("a1", "a/x", {{1, 5}, {2, 5}});
  example("a1", "b", {{1, 5}, {2, 5}});
  example("a2", "a/y", {{1, 10}, {3, 1}});
  example("b1", "b", {{3, 2}, {4, 1}});
  example("t1", "c", {{4, 2}}, false);
  class_table.collect_examples();
  param.gen.set_selectivity(0.0);
  class_table.update_all_class_data();
  for (uint32_t id = 0; id < class_table.size(); ++id) {
    const ClassData &all = class_table.get_data(id);
    ClassData alone(id);
    alone.examples = all.examples;
    class_table.update_one_class_data(alone);
    EXPECT_EQ(alone.num_docs, all.num_docs) << id;
    EXPECT_EQ(alone.sum_freq, all.sum_freq) << id;
    ASSERT_EQ(alone.profile.features.size(), all.profile.features.size()) << id;
    for (const auto &entry : alone.profile.features) {
      EXPECT_EQ(entry.second.term_freq, all.profile.get_term_freq(entry.first));
      EXPECT_EQ(entry.second.doc_freq, all.profile.get_doc_freq(entry.first));
    }
  }
}

// The whole step gives what gathering every class alone, selecting and
// pruning gives, under each method and with a term that a stored profile
// already holds (an incremental run): the same selection, counts and sums.
TEST_F(CollectionTest, WholeStepMatchesGatherSelectPrune) {
  const std::pair<TermSelType, double> methods[] = {
      {Uncertainty, 1.2}, {TermFrequency, 0.5}, {DocumentFrequency, 0.6},
      {TfIdf, 0.5}, {InformationGain, 0.2}};
  for (const auto &method : methods) {
    SCOPED_TRACE(method.first);
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
      data->profile.features[5].term_freq = 30;  // from an earlier run
      data->profile.features[9].term_freq = 10;  // not gathered now
    }
    param.gen.set_term_sel(method.first);
    param.gen.set_selectivity(method.second);

    ClassTable reference;
    std::set<unsigned long> reference_terms;
    for (uint32_t id = 0; id < class_table.size(); ++id) {
      std::ostringstream name;
      class_table.print_full_name(name, id);
      uint32_t copy = id == 0 ? reference.enter_class("news", 0)
                              : reference.enter_on_full_name(name.str(), 0);
      ASSERT_EQ(id, copy);
      ClassData &data = reference.get_data(id), &original = class_table.get_data(id);
      data.examples = original.examples;
      data.sum_freq = original.sum_freq;
      data.profile.features = original.profile.features;
    }
    for (uint32_t id = 0; id < class_table.size(); ++id)
      reference.update_one_class_data(reference.get_data(id));
    unsigned long vocabulary = reference.get_data(0).profile.features.size();
    for (uint32_t id = 0; id < class_table.size(); ++id)
      select_class_terms(reference.get_data(id), vocabulary, reference_terms);
    reference.remove_terms(reference_terms);

    class_table.update_all_class_data();
    EXPECT_EQ(reference_terms, selected_terms);
    for (uint32_t id = 0; id < class_table.size(); ++id) {
      const ClassData &expected = reference.get_data(id), &got = class_table.get_data(id);
      EXPECT_EQ(expected.sum_freq, got.sum_freq) << id;
      EXPECT_EQ(expected.num_other_docs, got.num_other_docs) << id;
      ASSERT_EQ(expected.profile.features.size(), got.profile.features.size()) << id;
      for (const auto &entry : expected.profile.features) {
        EXPECT_EQ(entry.second.term_freq, got.profile.get_term_freq(entry.first)) << id;
        EXPECT_EQ(entry.second.doc_freq, got.profile.get_doc_freq(entry.first)) << id;
      }
    }
  }
}

}  // namespace
