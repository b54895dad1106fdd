#include "eval/thresholds.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>

#include "base/eventlog.h"
#include "base/parallel.h"
#include "base/param.h"
#include "base/progress.h"
#include "eval/scoring.h"
#include "model/classtab.h"
#include "model/docprof.h"
#include "store/database.h"

namespace {

// Room for the negatives that the threshold step's classes keep, and for
// the scorer of the classes done together.
const size_t score_memory = size_t{256} << 20;

// The negatives a class keeps at most: the crossing lies among the greatest
// few hundred or thousand of them at a million documents; with a missing
// count, a class takes a second walk.
const size_t most_negatives = size_t{1} << 14;

// Documents scored at a time before their scores are entered: the scores
// of a block for every class of a walk fit in a few MB.
const size_t walk_block = 512;

// How many scores lie below bound; the scores are sorted.
unsigned long count_below(const std::vector<WeightType> &scores, WeightType bound) {
  return std::distance(scores.begin(),
                       std::lower_bound(scores.begin(), scores.end(), bound));
}

}  // namespace

// The least and the greatest negative are noted as they come, so that they
// are known whichever negatives the table lets go.
void ScoreTable::enter(WeightType score, bool positive) {
  if (!std::isfinite(score)) return;
  if (positive) {
    pos.push_back(score);
    sorted = false;
    return;
  }
  if (negatives++ == 0) least = greatest = score;
  if (score < least) least = score;
  if (score >= greatest) greatest = score;
  if (score < cutoff) {
    ++let_gone;
    return;
  }
  neg.push_back(score);
  if (neg.size() > room) let_go();
}

// Keeps the greater half of the negatives, and those equal to the least of
// it; when equal scores would keep too many (a profile that knows none of
// most documents' terms scores them all 0.0), lets those go too.
void ScoreTable::let_go() {
  size_t keep = std::max<size_t>(1, room / 2);
  std::nth_element(neg.begin(), neg.end() - keep, neg.end());
  WeightType least_kept = *(neg.end() - keep);
  cutoff = least_kept;
  auto gone = std::partition(neg.begin(), neg.end(),
                             [this](WeightType score) { return score >= cutoff; });
  if (static_cast<size_t>(gone - neg.begin()) > room - room / 4) {
    cutoff = std::nextafter(least_kept, HUGE_VAL);
    gone = std::partition(neg.begin(), gone,
                          [this](WeightType score) { return score >= cutoff; });
  }
  let_gone += neg.end() - gone;
  neg.erase(gone, neg.end());
}

// Stable, so that equal scores keep their order of entry, as in a multiset:
// -0.0 and 0.0 compare equal, yet the least score is the one reported.
void ScoreTable::sort() {
  if (sorted) return;
  std::stable_sort(pos.begin(), pos.end());
  sorted = true;
}

// A grid of n equal buckets from the least to the greatest score, n being
// the number of positives; its top boundary is the greatest score itself,
// not min + n x width, which rounding can put below it.
void ScoreTable::lay_grid() {
  mivo_assert(has_both());
  sort();
  WeightType max = std::max(pos.back(), greatest);
  min = std::min(pos.front(), least);
  width = (max - min) / pos.size();
}

void ScoreTable::open_grid() {
  lay_grid();
  tallies.assign(pos.size() + 1, 0);
}

// The boundaries grow with their number (rounding keeps the order), so
// those at or below a score are the first k: a guess by division, then
// corrected by comparing with the boundaries themselves, places the score
// as comparing it with every boundary would.
void ScoreTable::tally(WeightType score) {
  if (!std::isfinite(score) || width == 0.0) return;
  unsigned long n = pos.size();
  double guess = (score - min) / width;
  unsigned long k = 0;
  if (guess >= n)
    k = n;
  else if (guess > 0)
    k = static_cast<unsigned long>(guess);
  while (k > 0 && !(boundary(k - 1) <= score)) --k;
  while (k < n && boundary(k) <= score) ++k;
  ++tallies[k];
}

bool ScoreTable::at_or_above(unsigned long i, unsigned long &count) const {
  if (i == pos.size()) {
    count = 0;
    return true;
  }
  if (!above.empty()) {
    count = above[i];
    return true;
  }
  WeightType bound = boundary(i);
  if (bound <= least) {
    count = negatives;
    return true;
  }
  // A scan costs less than sorting for the handful of counts wanted.
  unsigned long lower = 0;
  for (WeightType score : neg) lower += score < bound;
  count = neg.size() - lower;
  return let_gone == 0 || bound >= cutoff;
}

// A(i) counts the positives below boundary i, B(i) the negatives at or
// above it; A grows and B shrinks with i, so bisection finds the bucket
// where they cross and interpolation places the crossing. A count of kept
// negatives already above A(i) decides a step as well as B(i) itself.
bool ScoreTable::determine_threshhold(WeightType &threshold) {
  if (tallies.empty()) {
    lay_grid();
  } else if (above.empty()) {
    above.assign(tallies.size(), 0);
    for (size_t i = tallies.size() - 1; i-- > 0;) above[i] = above[i + 1] + tallies[i + 1];
  }
  threshold = min;
  if (width == 0.0) return true;
  unsigned long n = pos.size();
  auto below = [&](unsigned long i) {
    return i == n ? n : count_below(pos, boundary(i));
  };
  unsigned long lo = 0, hi = n, count;
  while (hi - lo >= 2) {
    unsigned long mid = (lo + hi) / 2;
    bool exact = at_or_above(mid, count);
    if (exact && count <= below(mid))
      hi = mid;
    else if (count > below(mid))
      lo = mid;
    else
      return false;
  }
  unsigned long at_lo, at_hi;
  if (!at_or_above(lo, at_lo) || !at_or_above(hi, at_hi)) return false;
  double d1 = static_cast<double>(at_lo) - below(lo);
  double d2 = static_cast<double>(below(hi)) - at_hi;
  threshold = min + (lo + d1 / (d1 + d2)) * width;
  return true;
}

namespace {

// Walks through the cached document profiles, scoring each with every
// class's profile, and hands on each score with whether the document is a
// training document of the class: enter(i, score, positive) for classes[i].
// A class with held-out scores takes those for its father's training
// documents instead. The documents are scored a block at a time in as many
// threads as there are cores; then each class is handed its scores of the
// block, in the order of the documents, by one thread or the other: what
// enter does for one class must not touch another's.
template <typename Enter>
void walk_scores(const std::vector<ClassData *> &classes, const HeldOutScores &held_out,
                 Enter enter) {
  std::vector<const ClassProfile *> profiles;
  for (const ClassData *data : classes) profiles.push_back(&data->profile);
  ColumnScorer scoring(ScoringRule(), profiles);
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
  std::vector<ScoringScratch> scratch(worker_count());
  size_t per_worker = (classes.size() + scratch.size() - 1) / scratch.size();
  std::vector<DocProfTable::const_iterator> block;
  std::vector<std::vector<WeightType>> scores(walk_block);
  auto next = database.get_docprof_table_begin();
  while (next != database.get_docprof_table_end()) {
    block.clear();
    for (; next != database.get_docprof_table_end() && block.size() < walk_block; ++next)
      block.push_back(next);
    run_in_parts(block.size(), 1, [&](unsigned int worker, size_t begin, size_t end) {
      for (size_t d = begin; d < end; ++d)
        scoring.predict_scores(*block[d]->second, scores[d], scratch[worker]);
    });
    // One stretch of classes a thread, so that the iterators each moves lie
    // apart from the other's.
    run_in_parts(classes.size(), per_worker, [&](unsigned int, size_t begin, size_t end) {
      for (size_t d = 0; d < block.size(); ++d) {
        const std::string &name = block[d]->first;
        for (size_t i = begin; i < end; ++i) {
          const ExampList &train = classes[i]->examples.train;
          while (members[i] != train.end() && members[i]->first < name) ++members[i];
          bool positive = members[i] != train.end() && members[i]->first == name;
          WeightType score = scores[d][i];
          if (own[i] != nullptr) {
            const ExampList &fathers = classes[i]->father->examples.train;
            while (siblings[i] != fathers.end() && siblings[i]->first < name) {
              ++siblings[i];
              ++positions[i];
            }
            if (siblings[i] != fathers.end() && siblings[i]->first == name &&
                positions[i] < own[i]->size())
              score = (*own[i])[positions[i]];
          }
          enter(i, score, positive);
        }
      }
    });
  }
}

// set_thresholds, advancing the progress by the documents of the first
// walk. The classes share score_memory for the negatives they keep.
void score_classes(const std::vector<ClassData *> &classes, const HeldOutScores &held_out,
                   Progress *progress) {
  size_t room = std::max<size_t>(
      1, std::min(most_negatives, score_memory / (classes.size() * sizeof(WeightType))));
  std::vector<ScoreTable> tables(classes.size(), ScoreTable(room));
  walk_scores(classes, held_out, [&](size_t i, WeightType score, bool positive) {
    tables[i].enter(score, positive);
  });
  if (progress) progress->advance(database.get_docprof_table_size());
  std::vector<WeightType> thresholds(classes.size());
  std::vector<ClassData *> recount;
  std::vector<size_t> recounted;
  for (size_t i = 0; i < classes.size(); ++i) {
    if (tables[i].has_both() && !tables[i].determine_threshhold(thresholds[i])) {
      tables[i].open_grid();
      recount.push_back(classes[i]);
      recounted.push_back(i);
    }
  }
  if (!recount.empty()) {
    // The second walk scores the same documents to the same bits: the
    // scorer's arithmetic for a class does not depend on the others.
    walk_scores(recount, held_out, [&](size_t i, WeightType score, bool positive) {
      if (!positive) tables[recounted[i]].tally(score);
    });
    for (size_t i : recounted) {
      bool found = tables[i].determine_threshhold(thresholds[i]);
      mivo_assert(found);
    }
  }
  for (size_t i = 0; i < classes.size(); ++i) {
    const char *name = class_table.get_name(classes[i]->id).c_str();
    ClassProfile &profile = classes[i]->profile;
    if (!tables[i].has_both()) {
      warning("class `%s' has no positive or no negative training scores, "
              "keeping threshhold %f", name, profile.get_theta());
      continue;
    }
    profile.set_theta(thresholds[i]);
    log_formatted_results(2, "Class %s threshhold %f", name, profile.get_theta());
  }
}

}  // namespace

void set_thresholds(const std::vector<ClassData *> &classes, const HeldOutScores &held_out) {
  score_classes(classes, held_out, nullptr);
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

void set_leaf_thresholds(const HeldOutScores &held_out) {
  set_grouped_thresholds(threshold_groups(held_out), held_out);
}

// As many groups as keep their scorer within score_memory (a posting, at
// most, for each term of each profile) are done together, since a walk
// costs a probe per term of every document however many classes it scores.
void set_grouped_thresholds(const std::vector<std::vector<ClassData *>> &groups,
                            const HeldOutScores &held_out) {
  std::vector<std::vector<ClassData *>> batches(1);
  size_t room = 0;
  for (const std::vector<ClassData *> &group : groups) {
    size_t size = 0;
    for (const ClassData *data : group) size += data->profile.features.size() * sizeof(Posting);
    if (!batches.back().empty() && room + size > score_memory) {
      batches.emplace_back();
      room = 0;
    }
    batches.back().insert(batches.back().end(), group.begin(), group.end());
    room += size;
  }
  if (batches.back().empty()) return;
  Progress progress("thresholds", batches.size() * database.get_docprof_table_size());
  for (const std::vector<ClassData *> &batch : batches) score_classes(batch, held_out, &progress);
}
