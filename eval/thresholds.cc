#include "eval/thresholds.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>

#include "base/eventlog.h"
#include "base/param.h"
#include "base/progress.h"
#include "eval/scoring.h"
#include "model/classtab.h"
#include "model/docprof.h"
#include "store/database.h"

namespace {

// Room for the scores of the threshold step's classes scored together.
const size_t score_memory = size_t{256} << 20;

// How many scores lie below bound; the scores are sorted.
unsigned long count_below(const std::vector<WeightType> &scores, WeightType bound) {
  return std::distance(scores.begin(),
                       std::lower_bound(scores.begin(), scores.end(), bound));
}

}  // namespace

void ScoreTable::enter(WeightType score, bool positive) {
  if (!std::isfinite(score)) return;
  (positive ? pos : neg).push_back(score);
  sorted = false;
}

namespace {

// Scores every cached document profile with each class's profile into the
// class's table: its training documents are positive, all others negative.
// A class with held-out scores takes those for its father's training
// documents instead.
void tabulate_scores(const std::vector<ClassData *> &classes, const HeldOutScores &held_out,
                     std::vector<ScoreTable> &tables) {
  std::vector<const ClassProfile *> profiles;
  for (const ClassData *data : classes) profiles.push_back(&data->profile);
  ColumnScorer scoring(ScoringRule(), profiles);
  tables.assign(classes.size(), ScoreTable());
  // The cache and each class's members are all in name order: one walk
  // through the members of each class finds a document's, and one through
  // the training documents of its father the document's held-out score.
  std::vector<ExampList::const_iterator> members, siblings;
  std::vector<const std::vector<WeightType> *> own;
  std::vector<size_t> positions(classes.size(), 0);
  for (const ClassData *data : classes) {
    members.push_back(data->examples.train.begin());
    auto found = held_out.find(data->id);
    own.push_back(found != held_out.end() && data->father ? &found->second : nullptr);
    siblings.push_back(own.back() ? data->father->examples.train.begin() : members.back());
  }
  std::vector<WeightType> scores;
  for (auto it = database.get_docprof_table_begin();
       it != database.get_docprof_table_end(); ++it) {
    scoring.predict_scores(*it->second, scores);
    for (size_t i = 0; i < classes.size(); ++i) {
      const ExampList &train = classes[i]->examples.train;
      while (members[i] != train.end() && members[i]->first < it->first) ++members[i];
      bool positive = members[i] != train.end() && members[i]->first == it->first;
      WeightType score = scores[i];
      if (own[i] != nullptr) {
        const ExampList &fathers = classes[i]->father->examples.train;
        while (siblings[i] != fathers.end() && siblings[i]->first < it->first) {
          ++siblings[i];
          ++positions[i];
        }
        if (siblings[i] != fathers.end() && siblings[i]->first == it->first &&
            positions[i] < own[i]->size())
          score = (*own[i])[positions[i]];
      }
      tables[i].enter(score, positive);
    }
  }
}

}  // namespace

// Stable, so that equal scores keep their order of entry, as in a multiset:
// -0.0 and 0.0 compare equal, yet the least score is the one reported. The
// negatives (nearly every cached document) are not sorted: the bisection
// needs a handful of counts of them, which scans give for less than sorting.
void ScoreTable::sort() {
  if (sorted) return;
  std::stable_sort(pos.begin(), pos.end());
  sorted = true;
}

// The least and the greatest negative, as the ends of the negatives sorted
// stably would give them: of equal scores, the first entered and the last.
void ScoreTable::negative_bounds(WeightType &least, WeightType &greatest) const {
  least = greatest = neg.front();
  for (WeightType score : neg) {
    if (score < least) least = score;
    if (score >= greatest) greatest = score;
  }
}

// A grid of n equal buckets from the least to the greatest score, n being
// the number of positives. A(i) counts the positives below boundary i, B(i)
// the negatives at or above it; A grows and B shrinks with i, so bisection
// finds the bucket where they cross and interpolation places the crossing.
WeightType ScoreTable::determine_threshhold() {
  mivo_assert(pos.size());
  mivo_assert(neg.size());
  sort();
  unsigned long n = pos.size();
  WeightType least, greatest;
  negative_bounds(least, greatest);
  WeightType min = std::min(pos.front(), least);
  WeightType max = std::max(pos.back(), greatest);
  WeightType width = (max - min) / n;
  if (width == 0.0) return min;
  // The top boundary is max itself, not min + n x width, which rounding can
  // put below it.
  auto below = [&](unsigned long i) {
    return i == n ? n : count_below(pos, min + i * width);
  };
  auto at_or_above = [&](unsigned long i) {
    if (i == n) return 0UL;
    WeightType bound = min + i * width;
    unsigned long lower = 0;
    for (WeightType score : neg) lower += score < bound;
    return neg.size() - lower;
  };
  unsigned long lo = 0, hi = n;
  while (hi - lo >= 2) {
    unsigned long mid = (lo + hi) / 2;
    if (at_or_above(mid) <= below(mid))
      hi = mid;
    else
      lo = mid;
  }
  double d1 = static_cast<double>(at_or_above(lo)) - below(lo);
  double d2 = static_cast<double>(below(hi)) - at_or_above(hi);
  return min + (lo + d1 / (d1 + d2)) * width;
}

namespace {

void apply_threshold(ClassData &data, ScoreTable &table) {
  const char *name = class_table.get_name(data.id).c_str();
  if (!table.has_both()) {
    warning("class `%s' has no positive or no negative training scores, "
            "keeping threshhold %f", name, data.profile.get_theta());
    return;
  }
  data.profile.set_theta(table.determine_threshhold());
  log_formatted_results(2, "Class %s threshhold %f", name, data.profile.get_theta());
}

}  // namespace

void set_thresholds(const std::vector<ClassData *> &classes, const HeldOutScores &held_out) {
  std::vector<ScoreTable> tables;
  tabulate_scores(classes, held_out, tables);
  for (size_t i = 0; i < classes.size(); ++i) apply_threshold(*classes[i], tables[i]);
}

void set_threshold(ClassData &data) { set_thresholds({&data}); }

namespace {

// Sons of one father follow each other in key order: the groups of those
// that get thresholds, every leaf and the inner classes with held-out scores.
std::vector<std::vector<ClassData *>> threshold_groups(const HeldOutScores &held_out) {
  std::vector<std::vector<ClassData *>> groups;
  for (auto &entry : class_table) {
    ClassData &data = entry.second;
    if (!data.sons.empty() && held_out.count(data.id) == 0) continue;
    if (groups.empty() || groups.back().back()->father != data.father) groups.emplace_back();
    groups.back().push_back(&data);
  }
  return groups;
}

}  // namespace

// As many groups as keep their scores within score_memory are scored
// together, since the walk costs a probe per term of every document however
// many classes it scores.
void set_leaf_thresholds(const HeldOutScores &held_out) {
  size_t per_class = std::max<size_t>(1, database.get_docprof_table_size()) * sizeof(WeightType);
  size_t most = std::max<size_t>(1, score_memory / per_class);
  std::vector<std::vector<ClassData *>> batches(1);
  for (const std::vector<ClassData *> &group : threshold_groups(held_out)) {
    if (!batches.back().empty() && batches.back().size() + group.size() > most)
      batches.emplace_back();
    batches.back().insert(batches.back().end(), group.begin(), group.end());
  }
  if (batches.back().empty()) return;
  // Every batch walks through all the cached documents.
  size_t documents = database.get_docprof_table_size();
  Progress progress("thresholds", batches.size() * documents);
  for (const std::vector<ClassData *> &batch : batches) {
    set_thresholds(batch, held_out);
    progress.advance(documents);
  }
}
