#include "eval/scoring.h"

#include <algorithm>
#include <unordered_map>

#include "base/eventlog.h"
#include "model/classtab.h"
#include "model/docprof.h"

ScoringRule::ScoringRule()
    : algorithm(param.gen.get_algorithm()),
      negative(algorithm == Winnow && param.win.get_negative_weights()),
      strength_mode(param.gen.get_strength_mode()) {}

double ScoringRule::sbc_occurrences(uint32_t freq) const {
  return raw_strength(freq, strength_mode);
}

double ScoringRule::sbc_log_denominator(uint64_t sum_freq, size_t vocabulary) {
  double total = static_cast<double>(sum_freq) + static_cast<double>(vocabulary);
  return total > 0.0 ? std::log(total) : 0.0;
}

double ScoringRule::sbc_log_prior(uint32_t num_docs, uint32_t father_docs) {
  if (num_docs == 0 || father_docs == 0) return -HUGE_VAL;
  return std::log(static_cast<double>(num_docs) / static_cast<double>(father_docs));
}

// Relative to the greatest joint, so that exp neither overflows nor rounds
// every sibling to 0.0 on long documents; log1p keeps the leader's score
// exact when the others are far behind. Sons at -infinity stay there.
void ScoringRule::sbc_posteriors(double *joints, size_t count) {
  size_t best = count;
  double greatest = -HUGE_VAL;
  for (size_t i = 0; i < count; ++i) {
    if (joints[i] > greatest) {
      greatest = joints[i];
      best = i;
    }
  }
  if (best == count) return;
  double rest = 0.0;
  for (size_t i = 0; i < count; ++i)
    if (i != best) rest += std::exp(joints[i] - greatest);
  double log_total = std::log1p(rest);
  for (size_t i = 0; i < count; ++i) joints[i] = (joints[i] - greatest) - log_total;
}

// SBC's scores for the sons of a set of fathers, each relative to the root.
// The fathers come from the root down, so that a father's own score is there
// when its sons' are summed. A term leads through one probe to the fathers
// that know it, each with the postings of its sons that met it: a son that
// did not adds log(0 + 1) = 0.0, which its sum may pass by. A father may
// instead be probed directly, each of its sons for each term of a document,
// in the same order, which gives the same bits without a table.
class SbcScorer {
 public:
  // Scores the sons of every class with sons when classes is empty, or else
  // the sons of the fathers on the way from the root to each of classes.
  // When classes are the sons of one father, those above it are probed
  // directly: such a scorer serves the held-out documents of a fold, fewer
  // than would pay for tables over the vocabularies up to the root.
  SbcScorer(const ScoringRule &rule, const ClassTable &table,
            const std::vector<uint32_t> &classes);
  // Scores the document into scratch.
  void predict_scores(const DocProfile &doc, ScoringScratch &scratch) const;
  // The score in scratch for a class; 0.0 for the root.
  double get_score(uint32_t class_id, const ScoringScratch &scratch) const {
    return class_id == 0 ? 0.0 : scratch.scores[column_of[class_id]];
  }
  // The scores in scratch for the sons of the class, in order of sons;
  // empty for a leaf.
  void get_scores(uint32_t class_id, const ScoringScratch &scratch,
                  std::vector<double> &result) const;

 private:
  struct Father {
    const ClassData *data;
    uint32_t first_column;
    uint32_t width;
    bool direct;  // probed rather than tabled
  };
  // A father knowing a term, and where the postings of its sons for the
  // term begin (they end where the next entry's begin).
  struct Entry {
    uint32_t father;
    uint32_t first_posting;
  };

  void build();
  uint32_t find_entry(uint32_t term, uint32_t father) const;
  // Sums the factors and occurrences of a father probed directly.
  void probe(const DocProfile &doc, uint32_t father, ScoringScratch &scratch) const;

  ScoringRule rule;
  std::vector<Father> fathers;          // from the root down
  std::vector<uint32_t> father_of;      // class id -> position in fathers, or absent
  std::vector<uint32_t> column_of;      // class id -> its column as a son, or absent
  std::vector<double> log_priors;       // by column
  std::vector<double> log_denominators;
  TermIndex slots;                      // term -> slot
  std::vector<uint32_t> entry_starts;   // slot -> its first entry; one more at the end
  std::vector<Entry> entries;           // in order of fathers, with one more at the end
  std::vector<Posting> postings;
};

// For every class with sons: a document's strengths relative to the class,
// then its scores for the sons, all in one pass through the document. The
// strengths are those DocProfile::set_class_document_strengths gives, bit
// for bit. Only for rules that pass unknown terms by, since it leaves out
// every term that a class does not know, and that weigh terms by their
// strengths, which it takes as the weights.
class HierarchyScorer {
 public:
  HierarchyScorer(const ScoringRule &rule, const ClassTable &table);
  // Scores the document for the sons of every class into scratch.
  void predict_scores(const DocProfile &doc, ScoringScratch &scratch) const;
  // The scores in scratch for the sons of the class, in order of sons;
  // empty for a leaf.
  void get_scores(uint32_t class_id, const ScoringScratch &scratch,
                  std::vector<double> &result) const;

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
};

namespace {

// How many terms ahead the scorers ask for what a term leads to.
const size_t ahead = 4;

// The position of the father's entry for the term, or absent: a term's
// entries lie together, in order of fathers.
template <typename Entry>
uint32_t entry_of(const TermIndex &slots, const std::vector<uint32_t> &entry_starts,
                  const std::vector<Entry> &entries, uint32_t term, uint32_t father) {
  uint32_t slot = slots.find(term);
  if (slot == NoId) return NoId;
  auto first = entries.begin() + entry_starts[slot];
  auto last = entries.begin() + entry_starts[slot + 1];
  auto found = std::lower_bound(first, last, father,
                                [](const Entry &entry, uint32_t f) { return entry.father < f; });
  return found != last && found->father == father ? static_cast<uint32_t>(found - entries.begin())
                                                  : NoId;
}

// The slot of the term, a new one if the term has none yet.
uint32_t slot_of(TermIndex &slots, uint32_t term) {
  uint32_t slot = slots.find(term);
  if (slot != NoId) return slot;
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
  mivo_assert(sum < NoId);
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
// score in one sweep through contiguous memory. SBC's scores are its own
// scorer's, for the classes that hold the profiles.
ColumnScorer::ColumnScorer(const ScoringRule &scoring,
                           const std::vector<const ClassProfile *> &profiles)
    : rule(scoring), width(profiles.size()) {
  if (!rule.skips_unknown()) {
    std::unordered_map<const ClassProfile *, uint32_t> owner;
    for (uint32_t id = 0; id < class_table.size(); ++id)
      owner[&class_table.get_data(id).profile] = id;
    for (const ClassProfile *profile : profiles) {
      auto found = owner.find(profile);
      mivo_assert(found != owner.end());
      classes.push_back(found->second);
    }
    bayes.reset(new SbcScorer(rule, class_table, classes));
    return;
  }
  std::vector<uint32_t> counts;
  for (const ClassProfile *profile : profiles) {
    for (const auto &entry : profile->features) {
      uint32_t slot = slot_of(slots, entry.first);
      if (slot == counts.size()) counts.push_back(0);
      ++counts[slot];
    }
  }
  rows.assign(counts.size(), NoId);
  size_t dense = 0;
  for (size_t slot = 0; slot < counts.size(); ++slot) {
    if (!wants_row(counts[slot], width)) continue;
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
      if (rows[slot] != NoId)
        factors[size_t{rows[slot]} * width + column] = factor;
      else
        postings[next[slot]++] = Posting{column, factor};
    }
  }
}

ColumnScorer::~ColumnScorer() = default;

// The probes first, independent of each other so that their misses
// overlap; then each term's row or postings, asked for a few terms ahead:
// a wide scorer's tables are far larger than the caches.
void ColumnScorer::predict_scores(const DocProfile &doc, std::vector<double> &scores,
                                  ScoringScratch &scratch) const {
  if (bayes) {
    bayes->predict_scores(doc, scratch);
    scores.resize(width);
    for (size_t i = 0; i < width; ++i) scores[i] = bayes->get_score(classes[i], scratch);
    return;
  }
  scores.assign(width, 0.0);
  double *score = scores.data();
  const std::vector<Feature> &features = doc.get_features();
  std::vector<double> &strengths = scratch.strengths;
  doc.get_strengths(strengths);
  std::vector<uint32_t> &found = scratch.found;
  found.resize(features.size());
  for (size_t k = 0; k < features.size(); ++k) {
    found[k] = slots.find(features[k].term);
    if (found[k] == NoId) continue;
    __builtin_prefetch(&rows[found[k]]);
    __builtin_prefetch(&starts[found[k]]);
  }
  for (size_t k = 0; k < features.size(); ++k) {
    if (k + ahead < features.size() && found[k + ahead] != NoId) {
      uint32_t next = found[k + ahead];
      if (rows[next] != NoId)
        __builtin_prefetch(&factors[size_t{rows[next]} * width]);
      else
        __builtin_prefetch(&postings[starts[next]]);
    }
    uint32_t slot = found[k];
    if (slot == NoId) continue;
    double weight = rule.term_weight(strengths[k]);
    if (rows[slot] != NoId) {
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
  father_of.assign(table.size(), NoId);
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
      entries.resize(entry_starts.back() + 1, Entry{0, 0, NoId, 0.0});
    }
    for (uint32_t id = 0; id < table.size(); ++id) {
      const ClassData &data = table.get_data(id);
      if (data.sons.empty()) continue;
      for (const auto &record : data.profile.features) {
        double idf = inverse_doc_freq(data.num_docs, record.second.doc_freq);
        if (idf == 0.0) continue;
        if (fill) {
          entries[next_entry[slots.find(record.first)]++] =
              Entry{father_of[id], 0, NoId, idf};
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
      mivo_assert(factors.size() < NoId);
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
          if (e == NoId) continue;
          double factor = rule.factor(record.second);
          if (fill && entries[e].row != NoId)
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
  return entry_of(slots, entry_starts, entries, term, father);
}

// First the normalisation total of each class, then the scores; both walk
// the features in their order, as set_document_strengths and the rule do,
// so that every sum gets its terms in the same order. The probes come
// first, and each pass asks for what a term leads to a few terms ahead, as
// ColumnScorer does.
void HierarchyScorer::predict_scores(const DocProfile &doc, ScoringScratch &scratch) const {
  unsigned int mode = param.gen.get_strength_mode();
  unsigned int normalize = param.gen.get_normalize();
  const std::vector<Feature> &features = doc.get_features();
  std::vector<uint32_t> &found = scratch.found;
  std::vector<double> &raw = scratch.raw, &totals = scratch.totals, &scores = scratch.scores;
  found.resize(features.size());
  raw.resize(features.size());
  totals.assign(fathers.size(), 0.0);
  for (size_t k = 0; k < features.size(); ++k) {
    found[k] = slots.find(features[k].term);
    if (found[k] != NoId) __builtin_prefetch(&entry_starts[found[k]]);
  }
  for (size_t k = 0; k < features.size(); ++k) {
    if (k + ahead < features.size() && found[k + ahead] != NoId)
      __builtin_prefetch(&entries[entry_starts[found[k + ahead]]]);
    uint32_t slot = found[k];
    if (slot == NoId) continue;
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
    if (k + ahead < features.size() && found[k + ahead] != NoId) {
      const Entry &next = entries[entry_starts[found[k + ahead]]];
      if (next.row != NoId)
        __builtin_prefetch(&factors[next.row]);
      else
        __builtin_prefetch(&postings[next.first_posting]);
    }
    uint32_t slot = found[k];
    if (slot == NoId) continue;
    for (uint32_t e = entry_starts[slot]; e < entry_starts[slot + 1]; ++e) {
      const Entry &entry = entries[e];
      double strength = raw[k] * entry.idf;
      double divisor = totals[entry.father];
      if (divisor != 0.0) strength /= divisor;
      if (entry.row != NoId) {
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

void HierarchyScorer::get_scores(uint32_t class_id, const ScoringScratch &scratch,
                                 std::vector<double> &result) const {
  result.clear();
  if (class_id >= father_of.size() || father_of[class_id] == NoId) return;
  const Father &father = fathers[father_of[class_id]];
  result.assign(scratch.scores.begin() + father.first_column,
                scratch.scores.begin() + father.first_column + father.width);
}

SbcScorer::SbcScorer(const ScoringRule &scoring, const ClassTable &table,
                     const std::vector<uint32_t> &classes)
    : rule(scoring) {
  std::vector<bool> wanted(table.size(), classes.empty());
  const ClassData *one_father = classes.empty() ? nullptr : table.get_data(classes[0]).father;
  for (uint32_t id : classes) {
    const ClassData *father = table.get_data(id).father;
    if (father != one_father) one_father = nullptr;
    for (const ClassData *up = father; up != nullptr; up = up->father) wanted[up->id] = true;
  }
  father_of.assign(table.size(), NoId);
  column_of.assign(table.size(), NoId);
  // Breadth first from the root: every father before its sons.
  std::vector<uint32_t> queue{0};
  uint32_t columns = 0;
  for (size_t next = 0; next < queue.size(); ++next) {
    const ClassData &data = table.get_data(queue[next]);
    if (data.sons.empty() || !wanted[data.id]) continue;
    father_of[data.id] = static_cast<uint32_t>(fathers.size());
    bool direct = one_father != nullptr && &data != one_father;
    fathers.push_back(Father{&data, columns, static_cast<uint32_t>(data.sons.size()), direct});
    size_t vocabulary = data.profile.features.size();
    for (const ClassData *son : data.sons) {
      column_of[son->id] = columns++;
      log_priors.push_back(ScoringRule::sbc_log_prior(son->num_docs, data.num_docs));
      log_denominators.push_back(ScoringRule::sbc_log_denominator(son->sum_freq, vocabulary));
      queue.push_back(son->id);
    }
  }
  build();
}

// The entries, then the postings: each counted per term (per entry), then
// put in place, every term's together and in order of fathers.
void SbcScorer::build() {
  for (bool fill : {false, true}) {
    std::vector<uint32_t> next;
    if (fill) {
      next = starts_from_counts(entry_starts);
      entries.resize(entry_starts.back() + 1, Entry{0, 0});
    }
    for (uint32_t f = 0; f < fathers.size(); ++f) {
      if (fathers[f].direct) continue;
      for (const auto &record : fathers[f].data->profile.features) {
        if (fill) {
          entries[next[slots.find(record.first)]++] = Entry{f, 0};
          continue;
        }
        uint32_t slot = slot_of(slots, record.first);
        if (slot == entry_starts.size()) entry_starts.push_back(0);
        ++entry_starts[slot];
      }
    }
  }
  // A son's term that its father does not know, or that it never met, gets
  // no posting. first_posting counts an entry's postings until the fill.
  std::vector<uint32_t> next_posting;
  for (bool fill : {false, true}) {
    if (fill) {
      uint64_t sum = 0;
      for (Entry &entry : entries) {
        uint32_t count = entry.first_posting;
        entry.first_posting = static_cast<uint32_t>(sum);
        sum += count;
      }
      mivo_assert(sum < NoId);
      postings.resize(sum);
      next_posting.assign(entries.size(), 0);
    }
    for (uint32_t f = 0; f < fathers.size(); ++f) {
      if (fathers[f].direct) continue;
      const ClassData &father = *fathers[f].data;
      for (uint32_t i = 0; i < fathers[f].width; ++i) {
        for (const auto &record : father.sons[i]->profile.features) {
          if (record.second.term_freq == 0) continue;
          uint32_t e = find_entry(record.first, f);
          if (e == NoId) continue;
          if (fill)
            postings[entries[e].first_posting + next_posting[e]++] =
                Posting{fathers[f].first_column + i,
                        ScoringRule::sbc_term_factor(record.second.term_freq)};
          else
            ++entries[e].first_posting;
        }
      }
    }
  }
}

uint32_t SbcScorer::find_entry(uint32_t term, uint32_t father) const {
  return entry_of(slots, entry_starts, entries, term, father);
}

void SbcScorer::predict_scores(const DocProfile &doc, ScoringScratch &scratch) const {
  std::vector<double> &occurrences = scratch.occurrences, &scores = scratch.scores;
  occurrences.assign(fathers.size(), 0.0);
  scores.assign(log_priors.size(), 0.0);
  for (const Feature &feature : doc.get_features()) {
    uint32_t slot = slots.find(feature.term);
    if (slot == NoId) continue;
    double count = rule.sbc_occurrences(feature.freq);
    for (uint32_t e = entry_starts[slot]; e < entry_starts[slot + 1]; ++e) {
      occurrences[entries[e].father] += count;
      for (uint32_t p = entries[e].first_posting; p < entries[e + 1].first_posting; ++p)
        scores[postings[p].column] += ScoringRule::addend(postings[p].factor, count);
    }
  }
  for (uint32_t f = 0; f < fathers.size(); ++f) {
    const Father &father = fathers[f];
    if (father.direct) probe(doc, f, scratch);
    double *score = &scores[father.first_column];
    for (uint32_t i = 0; i < father.width; ++i) {
      uint32_t column = father.first_column + i;
      score[i] = ScoringRule::sbc_joint(log_priors[column], score[i], occurrences[f],
                                        log_denominators[column]);
    }
    ScoringRule::sbc_posteriors(score, father.width);
    double own = get_score(father.data->id, scratch);
    for (uint32_t i = 0; i < father.width; ++i) score[i] += own;
  }
}

void SbcScorer::probe(const DocProfile &doc, uint32_t f, ScoringScratch &scratch) const {
  const Father &father = fathers[f];
  double *score = &scratch.scores[father.first_column];
  for (const Feature &feature : doc.get_features()) {
    if (father.data->profile.get_feature(feature.term) == nullptr) continue;
    double count = rule.sbc_occurrences(feature.freq);
    scratch.occurrences[f] += count;
    for (uint32_t i = 0; i < father.width; ++i) {
      const FeatureInfo *info = father.data->sons[i]->profile.get_feature(feature.term);
      if (info != nullptr && info->term_freq != 0)
        score[i] += ScoringRule::addend(ScoringRule::sbc_term_factor(info->term_freq), count);
    }
  }
}

void SbcScorer::get_scores(uint32_t class_id, const ScoringScratch &scratch,
                           std::vector<double> &result) const {
  result.clear();
  if (class_id >= father_of.size() || father_of[class_id] == NoId) return;
  const Father &father = fathers[father_of[class_id]];
  result.assign(scratch.scores.begin() + father.first_column,
                scratch.scores.begin() + father.first_column + father.width);
}

FrozenScorer::FrozenScorer(const ClassTable &table) {
  ScoringRule rule;
  if (rule.skips_unknown())
    hierarchy = std::make_shared<HierarchyScorer>(rule, table);
  else
    bayes = std::make_shared<SbcScorer>(rule, table, std::vector<uint32_t>());
}

FrozenScorer::~FrozenScorer() = default;

FrozenScorer::FrozenScorer(const FrozenScorer &) = default;

void FrozenScorer::set_document(const DocProfile &document) {
  doc = &document;
  if (hierarchy)
    hierarchy->predict_scores(document, current);
  else
    bayes->predict_scores(document, current);
}

void FrozenScorer::set_document(const DocProfile &document, ScoringScratch &scored) {
  std::swap(current, scored);
  doc = &document;
}

void FrozenScorer::get_scores(const ClassData &father, std::vector<double> &scores) const {
  mivo_assert(doc != nullptr);
  if (hierarchy)
    hierarchy->get_scores(father.id, current, scores);
  else
    bayes->get_scores(father.id, current, scores);
}

std::weak_ptr<FrozenScorer> FrozenWeights::shared;

FrozenWeights::FrozenWeights() : scorer(shared.lock()) {
  if (scorer) return;
  scorer = std::make_shared<FrozenScorer>(class_table);
  shared = scorer;
}
