#include "select/selection.h"

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <map>
#include <numeric>
#include <vector>

#include "base/eventlog.h"
#include "base/memory.h"
#include "base/parallel.h"
#include "base/progress.h"
#include "model/classtab.h"
#include "model/docprof.h"
#include "model/termtab.h"
#include "store/database.h"

namespace {

// How many terms ahead the loops over a vocabulary-sized array ask for the
// record they will need: a record is a cache miss and most often a page
// walk, which a few terms' work does not cover.
const size_t ahead = 16;

// Sizes an array indexed by term id; the first time on huge pages, since it
// is read at random over the whole vocabulary.
template <typename T>
void size_by_terms(std::vector<T> &array, size_t terms) {
  if (array.empty() && terms > array.capacity()) {
    array.reserve(terms);
    advise_huge_pages(array.data(), terms * sizeof(T));
  }
  array.resize(terms);
}

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

namespace {

ClassSummary summarise(const ClassData &data, unsigned long vocabulary) {
  return ClassSummary{static_cast<double>(data.num_docs), static_cast<double>(data.sum_freq),
                      static_cast<double>(class_table.size()),
                      static_cast<double>(vocabulary)};
}

// Counts the class's documents and its sons' others. A model stored by an
// earlier run (an incremental run) counted its own documents: the counts add
// up as its document frequencies do, or every term would seem to be in more
// documents than the class has.
void prepare_class_data(ClassData &data) {
  uint32_t num_docs = static_cast<uint32_t>(data.examples.train.size());
  for (ClassData *son : data.sons) {
    uint32_t son_docs = static_cast<uint32_t>(son->examples.train.size());
    son->num_other_docs += son_docs < num_docs ? num_docs - son_docs : 0;
  }
  data.num_docs += num_docs;
}

void log_collected(uint32_t id) {
  log_formatted_results(2, "Collected statistics for <%s>",
                        class_table.get_name(id).c_str());
}

// The gathered counts and statistics of one class, in arrays indexed by term
// id and reused from class to class: only the terms the class touched are
// visited and reset. Holding one class at a time keeps the memory of this
// step at the size of the vocabulary; the statistics of every class at once
// grew with the collection times the depth of the hierarchy.
//
// The root touches most of a vocabulary that may hold a hundred million
// terms, so an array holds only what the selection method reads: uncertainty
// the sums of per-mille frequencies and of their squares, the other methods
// the term and document frequencies. A sum of per-mille frequencies grows by
// at most 1000 a document, and so takes 64 bits only past some four million
// documents. A term's record is one read from memory, and a sum is kept one
// above its value, so that 0 marks a term not yet touched.
class Gathering {
 public:
  Gathering(size_t terms, bool statistics) : statistics(statistics) { grow(terms); }

  // What DocProfile::get_statistics adds to a class's maps.
  void add(const DocProfile &doc) {
    const std::vector<Feature> &features = doc.get_features();
    // The records of a document's terms lie all over a vocabulary-sized
    // array: asking for them some terms ahead overlaps the waits.
    for (size_t k = 0; k < features.size() && k < ahead; ++k) prefetch(features[k].term);
    for (size_t k = 0; k < features.size(); ++k) {
      if (k + ahead < features.size()) prefetch(features[k + ahead].term);
      const Feature &feature = features[k];
      if (feature.term >= size) grow(feature.term + 1);
      if (!statistics) {
        Count &count = counts[feature.term];
        if (count.doc_freq == 0) touched.push_back(feature.term);
        count.term_freq += feature.freq;
        count.doc_freq += 1;
        continue;
      }
      uint32_t frequency = per_mille(feature.freq, doc.get_sum_freq());
      if (!wide && sums[feature.term].sum > UINT32_MAX - frequency) widen();
      if (wide)
        add_statistics(wide_sums[feature.term], feature.term, frequency);
      else
        add_statistics(sums[feature.term], feature.term, frequency);
    }
  }
  const std::vector<uint32_t> &get_touched() const { return touched; }
  void prefetch(uint32_t term) const {
    if (term >= size) return;
    if (!statistics)
      __builtin_prefetch(&counts[term]);
    else if (wide)
      __builtin_prefetch(&wide_sums[term]);
    else
      __builtin_prefetch(&sums[term]);
  }
  // The term's record in the class profile as gathering would leave it: the
  // stored counts, if any, plus the gathered ones (none when the method
  // does not read them).
  FeatureInfo get_feature(const ClassProfile &profile, uint32_t term) const {
    const FeatureInfo *stored = profile.get_feature(term);
    FeatureInfo info = stored != nullptr ? *stored : FeatureInfo();
    if (!statistics) {
      info.term_freq += counts[term].term_freq;
      info.doc_freq += counts[term].doc_freq;
    }
    return info;
  }
  StatisticalInfo get_statistics(uint32_t term) const {
    StatisticalInfo info;
    if (statistics) {
      info.sum = (wide ? wide_sums[term].sum : sums[term].sum) - 1;
      info.sum_sq = wide ? wide_sums[term].squares : sums[term].squares;
    }
    return info;
  }
  void clear() {
    for (uint32_t term : touched) {
      if (!statistics)
        counts[term] = Count();
      else if (wide)
        wide_sums[term] = Sums<uint64_t>();
      else
        sums[term] = Sums<uint32_t>();
    }
    touched.clear();
  }

 private:
  struct Count {
    uint32_t term_freq = 0;
    uint32_t doc_freq = 0;
  };
#pragma pack(push, 4)
  template <typename Sum>
  struct Sums {
    Sum sum = 0;  // one above the sum: 0 when untouched
    uint64_t squares = 0;
  };
#pragma pack(pop)

  template <typename Sum>
  void add_statistics(Sums<Sum> &sums, uint32_t term, uint32_t frequency) {
    if (sums.sum == 0) {
      touched.push_back(term);
      sums.sum = 1;
    }
    sums.sum += frequency;
    sums.squares += uint64_t{frequency} * frequency;
  }
  void grow(size_t terms) {
    size = terms;
    if (!statistics)
      size_by_terms(counts, terms);
    else if (wide)
      size_by_terms(wide_sums, terms);
    else
      size_by_terms(sums, terms);
  }
  void widen() {
    size_by_terms(wide_sums, size);
    for (size_t term = 0; term < size; ++term)
      wide_sums[term] = Sums<uint64_t>{sums[term].sum, sums[term].squares};
    std::vector<Sums<uint32_t>>().swap(sums);
    wide = true;
  }

  bool statistics;    // uncertainty: sums and squares, no frequencies
  bool wide = false;  // sums in 64 bits
  size_t size = 0;
  std::vector<Count> counts;
  std::vector<Sums<uint32_t>> sums;
  std::vector<Sums<uint64_t>> wide_sums;
  std::vector<uint32_t> touched;
};

// Gathers the class's training documents; adds their occurrences to sum_freq.
void gather_class(ClassData &data, Gathering &gathering, Progress &progress) {
  std::vector<const std::string *> names;
  names.reserve(data.examples.train.size());
  for (const auto &entry : data.examples.train) names.push_back(&entry.first);
  database.peek_document_profiles(names, [&](size_t, DocProfile &doc) {
    gathering.add(doc);
    data.sum_freq += doc.get_sum_freq();
    progress.advance();
  });
  log_collected(data.id);
}

// Marks the gathered terms that the class selects.
void select_gathered_terms(const ClassData &data, const Gathering &gathering,
                           unsigned long vocabulary, std::vector<bool> &selected) {
  ClassSummary summary = summarise(data, vocabulary);
  TermSelType method = param.gen.get_term_sel();
  double selectivity = param.gen.get_selectivity();
  const std::vector<uint32_t> &touched = gathering.get_touched();
  for (size_t k = 0; k < touched.size(); ++k) {
    if (k + ahead < touched.size()) gathering.prefetch(touched[k + ahead]);
    uint32_t term = touched[k];
    if (term >= selected.size()) selected.resize(term + 1);
    if (is_term_selected(method, selectivity, summary,
                         gathering.get_feature(data.profile, term),
                         gathering.get_statistics(term)))
      selected[term] = true;
  }
}

// The distinct terms of the root's profile once its documents are gathered.
unsigned long count_vocabulary(const ClassData &root, const Gathering &gathering) {
  unsigned long vocabulary = root.profile.features.size();
  for (uint32_t term : gathering.get_touched())
    if (root.profile.get_feature(term) == nullptr) ++vocabulary;
  return vocabulary;
}

// Takes a gathered term that no class selected off a class with stored
// terms: its occurrences in this document and, the first time, the record
// the stored profile may hold for it.
void drop_term(ClassData &data, const Feature &feature) {
  data.sum_freq -= std::min<uint64_t>(feature.freq, data.sum_freq);
  const FeatureInfo *stored = data.profile.get_feature(feature.term);
  if (stored == nullptr) return;
  data.sum_freq -= std::min<uint64_t>(stored->term_freq, data.sum_freq);
  data.profile.features.erase(feature.term);
}

// Counts one occurrence of a selected term, with its Winnow counters reset.
void count_feature(FeatureMap &map, const Feature &feature) {
  FeatureInfo &info = map[feature.term];
  info.term_freq += feature.freq;
  info.doc_freq += 1;
  info.promotions = 0;
  info.demotions = 0;
}

bool is_selected(const std::vector<bool> &selected, uint32_t term) {
  return term < selected.size() && selected[term];
}

// A training document as its classes count it: its profile, and, found once
// for all of them, its selected features in order and the occurrences of
// the others.
struct Counted {
  DocProfile doc;
  std::vector<Feature> kept;
  uint64_t dropped = 0;
};

void keep_selected(Counted &counted, const std::vector<bool> &selected) {
  for (const Feature &feature : counted.doc.get_features()) {
    if (is_selected(selected, feature.term))
      counted.kept.push_back(feature);
    else
      counted.dropped += feature.freq;
  }
}

// Counts the document's selected terms into the class profile and drops the
// others. A class without stored terms need not look those up: it takes
// their occurrences off at once, which comes to the same as one at a time,
// since none takes it below zero before the last.
void count_selected_terms(const Counted &counted, const std::vector<bool> &selected,
                          ClassData &data, bool had_terms) {
  FeatureMap &map = data.profile.features;
  const std::vector<Feature> &features = had_terms ? counted.doc.get_features() : counted.kept;
  if (!had_terms) data.sum_freq -= std::min(counted.dropped, data.sum_freq);
  for (const Feature &feature : features) map.prefetch_slot(feature.term);
  for (size_t k = 0; k < features.size(); ++k) {
    if (k + ahead < features.size()) map.prefetch_record(features[k + ahead].term);
    const Feature &feature = features[k];
    if (had_terms && !is_selected(selected, feature.term))
      drop_term(data, feature);
    else
      count_feature(map, feature);
  }
}

// The share of each class: as many shares as threads, of about as many
// training documents each. A class's counts are its own, so each thread
// counts its share's classes alone, in document order as one thread would.
std::vector<unsigned int> share_classes(unsigned int shares) {
  std::vector<uint32_t> ids(class_table.size());
  std::iota(ids.begin(), ids.end(), 0);
  auto documents = [](uint32_t id) { return class_table.get_data(id).examples.train.size(); };
  std::stable_sort(ids.begin(), ids.end(),
                   [&](uint32_t a, uint32_t b) { return documents(a) > documents(b); });
  std::vector<unsigned long> load(shares);
  std::vector<unsigned int> share(class_table.size());
  for (uint32_t id : ids) {
    auto least = std::min_element(load.begin(), load.end());
    share[id] = static_cast<unsigned int>(least - load.begin());
    *least += documents(id);
  }
  return share;
}

// Documents counted at a time by the threads.
const size_t count_batch_size = 256;

// The profiles hold the selected terms only: each stored profile is read once
// for all the classes that have it as a training example.
void count_selected_terms(const std::vector<bool> &selected, Progress &progress) {
  std::vector<bool> had_terms(class_table.size());
  std::map<std::string, std::vector<ClassData *>> classes_of;
  for (uint32_t id = 0; id < class_table.size(); ++id) {
    ClassData &data = class_table.get_data(id);
    had_terms[id] = !data.profile.features.empty();
    for (const auto &entry : data.examples.train) classes_of[entry.first].push_back(&data);
  }
  std::vector<const std::string *> names;
  std::vector<const std::vector<ClassData *> *> classes;
  names.reserve(classes_of.size());
  classes.reserve(classes_of.size());
  for (const auto &entry : classes_of) {
    names.push_back(&entry.first);
    classes.push_back(&entry.second);
  }
  const unsigned int shares = worker_count();
  std::vector<unsigned int> share = share_classes(shares);
  std::vector<Counted> batch;
  std::vector<size_t> batch_names;
  auto count_batch = [&] {
    run_in_parts(shares, 1, [&](unsigned int, size_t part, size_t end) {
      for (; part < end; ++part)
        for (size_t d = 0; d < batch.size(); ++d)
          for (ClassData *data : *classes[batch_names[d]])
            if (share[data->id] == part)
              count_selected_terms(batch[d], selected, *data, had_terms[data->id]);
    });
    for (size_t k : batch_names) progress.advance(classes[k]->size());
    batch.clear();
    batch_names.clear();
  };
  database.peek_document_profiles(names, [&](size_t k, DocProfile &doc) {
    batch.emplace_back();
    batch.back().doc = std::move(doc);
    keep_selected(batch.back(), selected);
    batch_names.push_back(k);
    if (batch.size() == count_batch_size) count_batch();
  });
  count_batch();
  // The profiles stay for the rest of the run, a thousand of them.
  for (uint32_t id = 0; id < class_table.size(); ++id)
    class_table.get_data(id).profile.features.shrink_to_fit();
  malloc_trim(0);
}

}  // namespace

// Two passes: each class in turn gathers its statistics and marks the terms
// it selects, then the profiles count the selected terms alone. The result is
// what gathering every class, selecting and pruning gives, without holding
// the statistics and every gathered term of all classes at once.
void update_all_class_data() {
  // Nothing from here to polling enters or looks up a term, and the
  // vocabulary is saved: its memory is better spent on the statistics.
  term_table.release();
  std::vector<bool> selected(term_table.size());
  // Terms a stored model was trained on stay selected in an incremental run:
  // its profiles and weights hold them, and a selection from this run's
  // documents alone would prune them away.
  for (unsigned long term : selected_terms)
    if (term < selected.size()) selected[term] = true;
  // Every class reads its training documents, then each document is read once
  // more for all its classes.
  unsigned long reads = 0;
  for (uint32_t id = 0; id < class_table.size(); ++id)
    reads += class_table.get_data(id).examples.train.size();
  Progress progress("statistics", 2 * reads);
  {
    // Gone before the profiles grow.
    Gathering gathering(term_table.size(), param.gen.get_term_sel() == Uncertainty);
    unsigned long vocabulary = 0;
    for (uint32_t id = 0; id < class_table.size(); ++id) {
      ClassData &data = class_table.get_data(id);
      prepare_class_data(data);
      gather_class(data, gathering, progress);
      if (id == 0) vocabulary = count_vocabulary(data, gathering);
      select_gathered_terms(data, gathering, vocabulary, selected);
      gathering.clear();
    }
  }
  count_selected_terms(selected, progress);
  for (unsigned long term = 0; term < selected.size(); ++term)
    if (selected[term]) selected_terms.insert(selected_terms.end(), term);
  database.set_selection(selected_terms);
}
