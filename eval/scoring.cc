#include "eval/scoring.h"

#include <algorithm>

#include "base/eventlog.h"
#include "model/classtab.h"
#include "model/docprof.h"

ScoringRule::ScoringRule()
    : algorithm(param.gen.get_algorithm()),
      negative(algorithm == Winnow && param.win.get_negative_weights()),
      by_strength(algorithm != SBC),
      unknown(algorithm == SBC ? std::log(sbc_unknown_term_weight) : 0.0) {}

// For every class with sons: a document's strengths relative to the class,
// then its scores for the sons, all in one pass through the document. The
// strengths are those DocProfile::set_class_document_strengths gives, bit
// for bit. Only for rules that pass unknown terms by, since it leaves out
// every term that a class does not know, and that weigh terms by their
// strengths, which it takes as the weights.
class HierarchyScorer {
 public:
  HierarchyScorer(const ScoringRule &rule, const ClassTable &table);
  // Scores the document for the sons of every class.
  void predict_scores(const DocProfile &doc);
  // The scores of the last document for the sons of the class, in order of
  // sons; empty for a leaf.
  void get_scores(uint32_t class_id, std::vector<double> &scores) const;

 private:
  // One class knowing a term: the class, the term's inverse document
  // frequency in it, and where the postings of its sons for the term begin
  // (they end where the next entry's begin), or its row of factors.
  struct Entry {
    uint32_t father;
    uint32_t first_posting;
    uint32_t row;  // where in factors, or absent
    double idf;
  };
  struct Father {
    uint32_t first_column;
    uint32_t width;
  };

  void build(const ClassTable &table);
  // The entry of the class (a position in fathers) for the term, or absent.
  uint32_t find_entry(uint32_t term, uint32_t father) const;

  ScoringRule rule;
  std::vector<Father> fathers;          // the classes with sons
  std::vector<uint32_t> father_of;      // class id -> position in fathers, or absent
  TermIndex slots;                      // term -> slot
  std::vector<uint32_t> entry_starts;   // slot -> its first entry; one more at the end
  std::vector<Entry> entries;           // with one more at the end
  std::vector<Posting> postings;
  std::vector<double> factors;          // rows, one factor a son
  size_t columns;
  // Per document, kept to save allocations.
  std::vector<uint32_t> found;
  std::vector<double> raw;
  std::vector<double> totals;
  std::vector<double> scores;
};

namespace {

// The slot of the term, a new one if the term has none yet.
uint32_t slot_of(TermIndex &slots, uint32_t term) {
  uint32_t slot = slots.find(term);
  if (slot != TermIndex::absent) return slot;
  slot = static_cast<uint32_t>(slots.size());
  slots.insert(term, slot);
  return slot;
}

// Turns counts per slot into the start of each slot's run (one more at the
// end holds the total), and returns the runs' next free places.
std::vector<uint32_t> starts_from_counts(std::vector<uint32_t> &counts) {
  std::vector<uint32_t> next(counts.size());
  uint64_t sum = 0;
  for (size_t slot = 0; slot < counts.size(); ++slot) {
    next[slot] = static_cast<uint32_t>(sum);
    sum += counts[slot];
  }
  mivo_assert(sum < TermIndex::absent);
  counts = next;
  counts.push_back(static_cast<uint32_t>(sum));
  return next;
}

// Whether a term that count of width columns know gets a row of factors
// rather than postings: a row takes no more room than postings then.
bool wants_row(size_t count, size_t width) { return width >= 2 && count * 2 >= width; }

}  // namespace

// Two walks through the profiles: one counts each term's postings, the
// other puts them in place, every term's together. A term that at least
// half the profiles know gets a row of factors, one for each profile (the
// unknown factor where the profile lacks it), instead: rows take no more
// room than their postings would, and a document's term then adds to every
// score in one sweep through contiguous memory. Where unknown terms count,
// every column takes something from every term: all terms get rows.
ColumnScorer::ColumnScorer(const ScoringRule &scoring,
                           const std::vector<const ClassProfile *> &profiles)
    : rule(scoring), width(profiles.size()) {
  std::vector<uint32_t> counts;
  for (const ClassProfile *profile : profiles) {
    for (const auto &entry : profile->features) {
      uint32_t slot = slot_of(slots, entry.first);
      if (slot == counts.size()) counts.push_back(0);
      ++counts[slot];
    }
  }
  rows.assign(counts.size(), TermIndex::absent);
  size_t dense = 0;
  for (size_t slot = 0; slot < counts.size(); ++slot) {
    if (rule.skips_unknown() && !wants_row(counts[slot], width)) continue;
    rows[slot] = static_cast<uint32_t>(dense++);
    counts[slot] = 0;
  }
  factors.assign(dense * width, rule.get_unknown_factor());
  std::vector<uint32_t> next = starts_from_counts(counts);
  starts.swap(counts);
  postings.resize(starts.back());
  for (uint32_t column = 0; column < width; ++column) {
    for (const auto &entry : profiles[column]->features) {
      uint32_t slot = slots.find(entry.first);
      double factor = rule.factor(entry.second);
      if (rows[slot] != TermIndex::absent)
        factors[size_t{rows[slot]} * width + column] = factor;
      else
        postings[next[slot]++] = Posting{column, factor};
    }
  }
}

void ColumnScorer::predict_scores(const DocProfile &doc, std::vector<double> &scores) const {
  scores.assign(width, 0.0);
  double *score = scores.data();
  double unknown = rule.get_unknown_factor();
  for (const Feature &feature : doc.get_features()) {
    uint32_t slot = slots.find(feature.term);
    double weight = rule.term_weight(feature.strength);
    if (slot == TermIndex::absent) {
      if (rule.skips_unknown()) continue;
      for (size_t i = 0; i < width; ++i) score[i] += ScoringRule::addend(unknown, weight);
      continue;
    }
    if (rows[slot] != TermIndex::absent) {
      const double *row = &factors[size_t{rows[slot]} * width];
      for (size_t i = 0; i < width; ++i) score[i] += ScoringRule::addend(row[i], weight);
      continue;
    }
    for (uint32_t p = starts[slot]; p < starts[slot + 1]; ++p)
      score[postings[p].column] += ScoringRule::addend(postings[p].factor, weight);
  }
}

HierarchyScorer::HierarchyScorer(const ScoringRule &scoring, const ClassTable &table)
    : rule(scoring), columns(0) {
  mivo_assert(rule.skips_unknown() && rule.weighs_by_strength());
  father_of.assign(table.size(), TermIndex::absent);
  for (uint32_t id = 0; id < table.size(); ++id) {
    const ClassData &data = table.get_data(id);
    if (data.sons.empty()) continue;
    father_of[id] = static_cast<uint32_t>(fathers.size());
    fathers.push_back(Father{static_cast<uint32_t>(columns),
                             static_cast<uint32_t>(data.sons.size())});
    columns += data.sons.size();
  }
  build(table);
}

// A term whose inverse document frequency in a class is 0.0 (one the class
// does not know, or one in all of its documents) gets strength 0.0 relative
// to it: it adds 0.0 to the class's normalisation total and to its sons'
// scores, which no sum that starts at +0.0 can tell from nothing added. Such
// terms get no entry, and a son's term gets no posting unless its father
// has an entry for it.
void HierarchyScorer::build(const ClassTable &table) {
  // The entries: counted per term, then put in place, every term's together
  // and in order of classes.
  std::vector<uint32_t> next_entry;
  for (bool fill : {false, true}) {
    if (fill) {
      next_entry = starts_from_counts(entry_starts);
      entries.resize(entry_starts.back() + 1, Entry{0, 0, TermIndex::absent, 0.0});
    }
    for (uint32_t id = 0; id < table.size(); ++id) {
      const ClassData &data = table.get_data(id);
      if (data.sons.empty()) continue;
      for (const auto &record : data.profile.features) {
        double idf = inverse_doc_freq(data.num_docs, record.second.doc_freq);
        if (idf == 0.0) continue;
        if (fill) {
          entries[next_entry[slots.find(record.first)]++] =
              Entry{father_of[id], 0, TermIndex::absent, idf};
        } else {
          uint32_t slot = slot_of(slots, record.first);
          if (slot == entry_starts.size()) entry_starts.push_back(0);
          ++entry_starts[slot];
        }
      }
    }
  }
  // The postings: counted per entry (in first_posting), then put in place.
  for (bool fill : {false, true}) {
    if (fill) {
      // An entry for which at least half the sons know the term gets a row
      // of factors instead, as a term does in ColumnScorer.
      uint32_t sum = 0;
      for (size_t e = 0; e + 1 < entries.size(); ++e) {
        Entry &entry = entries[e];
        uint32_t count = entry.first_posting, width = fathers[entry.father].width;
        entry.first_posting = sum;
        if (wants_row(count, width)) {
          entry.row = static_cast<uint32_t>(factors.size());
          factors.resize(factors.size() + width, rule.get_unknown_factor());
          continue;
        }
        sum += count;
      }
      mivo_assert(factors.size() < TermIndex::absent);
      entries.back().first_posting = sum;
      postings.resize(sum);
      next_entry.assign(entries.size(), 0);
    }
    for (uint32_t id = 0; id < table.size(); ++id) {
      const ClassData &data = table.get_data(id);
      if (data.sons.empty()) continue;
      const Father &father = fathers[father_of[id]];
      for (uint32_t i = 0; i < father.width; ++i) {
        for (const auto &record : data.sons[i]->profile.features) {
          uint32_t e = find_entry(record.first, father_of[id]);
          if (e == TermIndex::absent) continue;
          double factor = rule.factor(record.second);
          if (fill && entries[e].row != TermIndex::absent)
            factors[entries[e].row + i] = factor;
          else if (fill)
            postings[entries[e].first_posting + next_entry[e]++] =
                Posting{father.first_column + i, factor};
          else
            ++entries[e].first_posting;
        }
      }
    }
  }
}

// A term's entries are in order of classes.
uint32_t HierarchyScorer::find_entry(uint32_t term, uint32_t father) const {
  uint32_t slot = slots.find(term);
  if (slot == TermIndex::absent) return TermIndex::absent;
  auto first = entries.begin() + entry_starts[slot];
  auto last = entries.begin() + entry_starts[slot + 1];
  auto found = std::lower_bound(first, last, father,
                                [](const Entry &entry, uint32_t f) { return entry.father < f; });
  return found != last && found->father == father ? static_cast<uint32_t>(found - entries.begin())
                                                  : TermIndex::absent;
}

// First the normalisation total of each class, then the scores; both walk
// the features in their order, as set_document_strengths and the rule do,
// so that every sum gets its terms in the same order.
void HierarchyScorer::predict_scores(const DocProfile &doc) {
  unsigned int mode = param.gen.get_strength_mode();
  unsigned int normalize = param.gen.get_normalize();
  const std::vector<Feature> &features = doc.get_features();
  found.resize(features.size());
  raw.resize(features.size());
  totals.assign(fathers.size(), 0.0);
  for (size_t k = 0; k < features.size(); ++k) {
    uint32_t slot = slots.find(features[k].term);
    found[k] = slot;
    if (slot == TermIndex::absent) continue;
    raw[k] = raw_strength(features[k].freq, mode);
    for (uint32_t e = entry_starts[slot]; e < entry_starts[slot + 1]; ++e) {
      double strength = raw[k] * entries[e].idf;
      totals[entries[e].father] += normalisation_share(strength, normalize);
    }
  }
  // From here on each total is what the strengths are divided by, or 0.0.
  for (double &total : totals) total = normalisation_divisor(total, normalize);
  scores.assign(columns, 0.0);
  for (size_t k = 0; k < features.size(); ++k) {
    uint32_t slot = found[k];
    if (slot == TermIndex::absent) continue;
    for (uint32_t e = entry_starts[slot]; e < entry_starts[slot + 1]; ++e) {
      const Entry &entry = entries[e];
      double strength = raw[k] * entry.idf;
      double divisor = totals[entry.father];
      if (divisor != 0.0) strength /= divisor;
      if (entry.row != TermIndex::absent) {
        const Father &father = fathers[entry.father];
        const double *row = &factors[entry.row];
        double *score = &scores[father.first_column];
        for (uint32_t i = 0; i < father.width; ++i) score[i] += ScoringRule::addend(row[i], strength);
        continue;
      }
      for (uint32_t p = entry.first_posting; p < entries[e + 1].first_posting; ++p)
        scores[postings[p].column] += ScoringRule::addend(postings[p].factor, strength);
    }
  }
}

void HierarchyScorer::get_scores(uint32_t class_id, std::vector<double> &result) const {
  result.clear();
  if (class_id >= father_of.size() || father_of[class_id] == TermIndex::absent) return;
  const Father &father = fathers[father_of[class_id]];
  result.assign(scores.begin() + father.first_column,
                scores.begin() + father.first_column + father.width);
}

FrozenScorer::FrozenScorer(const ClassTable &table) {
  ScoringRule rule;
  if (rule.skips_unknown() && rule.weighs_by_strength()) {
    hierarchy.reset(new HierarchyScorer(rule, table));
    return;
  }
  for (uint32_t id = 0; id < table.size(); ++id) {
    std::vector<const ClassProfile *> profiles;
    for (const ClassData *son : table.get_data(id).sons) profiles.push_back(&son->profile);
    fathers.emplace_back(profiles.empty() ? nullptr : new ColumnScorer(rule, profiles));
  }
}

FrozenScorer::~FrozenScorer() = default;

void FrozenScorer::set_document(const DocProfile &document) {
  doc = &document;
  if (hierarchy) hierarchy->predict_scores(document);
}

void FrozenScorer::get_scores(const ClassData &father, std::vector<double> &scores) const {
  mivo_assert(doc != nullptr);
  scores.clear();
  if (hierarchy)
    hierarchy->get_scores(father.id, scores);
  else if (father.id < fathers.size() && fathers[father.id])
    fathers[father.id]->predict_scores(*doc, scores);
}

std::weak_ptr<FrozenScorer> FrozenWeights::shared;

FrozenWeights::FrozenWeights() : scorer(shared.lock()) {
  if (scorer) return;
  scorer = std::make_shared<FrozenScorer>(class_table);
  shared = scorer;
}
