// Class thresholds: the scores a trained class profile gives to the cached
// training documents, split into members and non-members, and the score at
// which missed members and admitted non-members break even.
#ifndef MIVO_EVAL_THRESHOLDS_H
#define MIVO_EVAL_THRESHOLDS_H

#include <cmath>
#include <cstdint>
#include <map>
#include <vector>

#include "eval/ranks.h"

struct ClassData;

class ScoreTable {
 public:
  // A table that keeps at most most_negatives negatives: past that it
  // keeps the greatest and counts the others, noting only the least and the
  // greatest of all. Nearly every cached document is a negative of a leaf,
  // too many to keep for every leaf; what decides the threshold is the
  // positives and the negatives among them.
  explicit ScoreTable(size_t most_negatives = SIZE_MAX) : room(most_negatives) {}

  // Adds one score; a score that is not a finite number is left out.
  void enter(WeightType score, bool positive);

  // The break-even score; both sets must hold a score. False when the
  // negatives the table let go are needed: then open_grid, tally every
  // negative again, in a second walk, and ask again.
  bool determine_threshhold(WeightType &threshold);
  void open_grid();
  void tally(WeightType score);

  bool has_both() const { return !pos.empty() && negatives != 0; }

 private:
  void sort();
  void let_go();
  void lay_grid();
  WeightType boundary(unsigned long i) const { return min + i * width; }
  // B(i), the negatives at or above boundary i; false when that count is
  // only a lower bound, for want of those let go.
  bool at_or_above(unsigned long i, unsigned long &count) const;

  // Kept in order of entry, the positives sorted once all are in: a class
  // scores every cached document, too many for a tree.
  std::vector<WeightType> pos;
  bool sorted = true;
  // The negatives kept: all at or above cutoff. Those let go lie below it.
  std::vector<WeightType> neg;
  size_t room;
  WeightType cutoff = -HUGE_VAL;
  unsigned long negatives = 0;
  unsigned long let_gone = 0;
  // As the ends of the negatives sorted stably would give them: of equal
  // scores, the first entered and the last.
  WeightType least = 0.0, greatest = 0.0;
  // The grid: pos.size() buckets of width from min. In a second walk,
  // tallies[k] counts the negatives at or above exactly the boundaries 0 to
  // k - 1, and then above[i] those at or above boundary i.
  WeightType min = 0.0, width = 0.0;
  std::vector<unsigned long> tallies, above;
};

// Gives the class the threshold of its training scores and logs it; a class
// without positive or without negative scores keeps its threshold, with a
// warning. The training profiles must still be cached.
void set_threshold(ClassData &data);
// Scores of a father's training documents from models that were not trained
// on them: by class id of a son, a score per training document of its
// father, in name order.
typedef std::map<uint32_t, std::vector<WeightType>> HeldOutScores;

// set_threshold for the classes, scored together, in the order given; a
// class with held-out scores takes them in place of its own. Each class
// keeps at most 16,384 negatives (and its share of 256 MB); one that needs
// more of them than it kept has its negatives tallied in a second walk.
void set_thresholds(const std::vector<ClassData *> &classes,
                    const HeldOutScores &held_out = HeldOutScores());
// set_threshold for every class without sons and every class with held-out
// scores, in key order; such a class takes its held-out scores in place of
// its own for its father's training documents.
void set_leaf_thresholds(const HeldOutScores &held_out = HeldOutScores());
// set_thresholds for the classes of the groups, as many groups together as
// keep a walk's scorer within 256 MB (a group is never split).
void set_grouped_thresholds(const std::vector<std::vector<ClassData *>> &groups,
                            const HeldOutScores &held_out = HeldOutScores());

#endif  // MIVO_EVAL_THRESHOLDS_H
