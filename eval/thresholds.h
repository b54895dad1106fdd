// Class thresholds: the scores a trained class profile gives to the cached
// training documents, split into members and non-members, and the score at
// which missed members and admitted non-members break even.
#ifndef MIVO_EVAL_THRESHOLDS_H
#define MIVO_EVAL_THRESHOLDS_H

#include <cstdint>
#include <map>
#include <vector>

#include "eval/ranks.h"

struct ClassData;

class ScoreTable {
 public:
  // Adds one score; a score that is not a finite number is left out.
  void enter(WeightType score, bool positive);

  // The break-even score; both sets must hold a score.
  WeightType determine_threshhold();

  bool has_both() const { return !pos.empty() && !neg.empty(); }

 private:
  void sort();
  void negative_bounds(WeightType &least, WeightType &greatest) const;

  // Kept in order of entry, the positives sorted once all are in: a class
  // scores every cached document, too many for a tree.
  std::vector<WeightType> pos;
  std::vector<WeightType> neg;
  bool sorted = true;
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
// class with held-out scores takes them in place of its own.
void set_thresholds(const std::vector<ClassData *> &classes,
                    const HeldOutScores &held_out = HeldOutScores());
// set_threshold for every class without sons and every class with held-out
// scores, in key order; such a class takes its held-out scores in place of
// its own for its father's training documents.
void set_leaf_thresholds(const HeldOutScores &held_out = HeldOutScores());

#endif  // MIVO_EVAL_THRESHOLDS_H
