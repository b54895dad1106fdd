#include "select/selection.h"

#include <cmath>
#include <string>
#include <map>
#include <vector>

#include "driver/eventlog.h"
#include "model/classtab.h"
#include "model/docprof.h"
#include "model/termtab.h"
#include "store/database.h"

namespace {

bool is_uncertain_enough(double selectivity, double num_docs,
                         const StatisticalInfo &statistics) {
  double mean = statistics.sum / num_docs;
  // A negative variance from rounding gives NaN, which selects nothing.
  double sd = std::sqrt(statistics.sum_sq / num_docs - mean * mean);
  return mean > selectivity * sd && statistics.sum != 0;
}

double information_score(const ClassSummary &summary, double term_freq) {
  double p = term_freq / summary.sum_freq;
  return p * std::log(summary.vocabulary * p * summary.num_classes);
}

}  // namespace

bool is_term_selected(TermSelType method, double selectivity,
                      const ClassSummary &summary, const FeatureInfo &info,
                      const StatisticalInfo &statistics) {
  if (selectivity == 0.0 || method == NoTermSel) return true;
  // A class without documents or without occurrences has nothing to select
  // from, and every method below would divide by zero.
  if (summary.num_docs == 0.0 || summary.sum_freq == 0.0) return false;
  double n = summary.num_docs;
  double tf = info.term_freq, df = info.doc_freq;
  switch (method) {
    case Uncertainty:
      return is_uncertain_enough(selectivity, n, statistics);
    case TermFrequency:
      return tf >= selectivity * summary.sum_freq / n;
    case DocumentFrequency:
      return df >= selectivity * n;
    case TfIdf:
      return tf / df >= selectivity * n;
    case InformationGain:
      return information_score(summary, tf) >= selectivity;
    default:
      return true;
  }
}

void select_class_terms(const ClassData &data, unsigned long vocabulary,
                        std::set<unsigned long> &selected) {
  ClassSummary summary{static_cast<double>(data.num_docs),
                       static_cast<double>(data.sum_freq),
                       static_cast<double>(class_table.size()),
                       static_cast<double>(vocabulary)};
  TermSelType method = param.gen.get_term_sel();
  double selectivity = param.gen.get_selectivity();
  static const FeatureInfo absent;
  for (const auto &entry : data.statistics) {
    const FeatureInfo *info = data.profile.get_feature(entry.first);
    if (is_term_selected(method, selectivity, summary, info ? *info : absent,
                         entry.second))
      selected.insert(entry.first);
  }
}

namespace {

// Counts the class's documents and its sons' others.
void prepare_class_data(ClassData &data) {
  uint32_t num_docs = static_cast<uint32_t>(data.examples.train.size());
  for (ClassData *son : data.sons) {
    uint32_t son_docs = static_cast<uint32_t>(son->examples.train.size());
    son->num_other_docs = son_docs < num_docs ? num_docs - son_docs : 0;
  }
  data.num_docs = num_docs;
  // The sizing hint decides the order of a profile's terms, and a father's
  // document strengths are summed in that order: fathers keep it so that
  // results do not change. Leaves, most of the classes, need no order and
  // would otherwise reserve far more buckets than they ever fill.
  if (!data.sons.empty()) data.profile.extend(term_table.size());
}

void log_collected(uint32_t id) {
  log_formatted_results(2, "Collected statistics for <%s>",
                        class_table.get_name(id).c_str());
}

}  // namespace

void ClassTable::update_one_class_data(ClassData &data) {
  prepare_class_data(data);
  for (const auto &entry : data.examples.train) {
    DocProfile doc;
    database.peek_document_profile(entry.first, doc);
    doc.get_statistics(data);
  }
  log_collected(data.id);
}

// Each stored profile is read once and counted into every class that has the
// document as a training example. Documents go in name order, so every class
// takes its own in the order, and its profile grows as, class by class.
void ClassTable::update_all_class_data() {
  std::map<std::string, std::vector<ClassData *>> classes_of;
  for (uint32_t id = 0; id < size(); ++id) {
    ClassData &data = get_data(id);
    prepare_class_data(data);
    for (const auto &entry : data.examples.train) classes_of[entry.first].push_back(&data);
  }
  for (const auto &entry : classes_of) {
    DocProfile doc;
    database.peek_document_profile(entry.first, doc);
    for (ClassData *data : entry.second) doc.get_statistics(*data);
  }
  for (uint32_t id = 0; id < size(); ++id) log_collected(id);
  unsigned long vocabulary = empty() ? 0 : get_data(0).profile.features.size();
  for (uint32_t id = 0; id < size(); ++id)
    select_class_terms(get_data(id), vocabulary, selected_terms);
  remove_terms(selected_terms);
}
