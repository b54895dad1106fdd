// Scoring: the one rule by which a class profile scores a document, for
// every learner, and the tables that apply it to many documents at once
// while the weights stay as they are (thresholds, the test phase, polling).
#ifndef MIVO_EVAL_SCORING_H
#define MIVO_EVAL_SCORING_H

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/param.h"
#include "model/classprof.h"

class DocProfile;
class ClassTable;
struct ClassData;

// The weight SBC gives a term that a class does not know.
const double sbc_unknown_term_weight = 0.01;

// A document's score for a class is the sum, starting at +0.0 and taking the
// document's terms in their order, of addend(factor, weight): the class's
// factor for the term (the unknown factor when the class lacks it) times the
// term's weight in the document. Every scorer, Winnow's training included,
// gets its arithmetic from here, so that all of them give the same bits.
class ScoringRule {
 public:
  // The rule of the learner in force, with its settings.
  ScoringRule();

  // The factor of a term the class knows: Winnow's weight less its negative
  // weight when those count, Rocchio's weight, or the natural logarithm of
  // SBC's (a product of probabilities would underflow on long documents).
  double factor(double weight, double negative_weight) const {
    if (algorithm == SBC) return std::log(weight);
    return negative ? weight - negative_weight : weight;
  }
  double factor(const FeatureInfo &info) const {
    return factor(info.weight, info.negative_weight);
  }
  // The factor of a term the class does not know, the same for every class.
  double get_unknown_factor() const { return unknown; }
  // True when a term the class does not know leaves every score as it was,
  // so that a scorer may pass it by: 0.0 times a finite weight is a zero,
  // which added to a sum that started at +0.0 changes no bit of it.
  bool skips_unknown() const { return unknown == 0.0; }
  // A term's weight in the document, given its strength relative to the
  // father of the classes scored: the strength itself, or 1.0 under SBC,
  // which counts every term of the document once.
  double term_weight(double strength) const { return by_strength ? strength : 1.0; }
  // Whether term_weight gives the strength back, so that a scorer may
  // take the strengths for the weights.
  bool weighs_by_strength() const { return by_strength; }
  static double addend(double factor, double weight) { return factor * weight; }

 private:
  AlgorithmType algorithm;
  bool negative;
  bool by_strength;
  double unknown;
};

// What a term adds to one column's score, before its weight in the document.
struct Posting {
  uint32_t column;
  double factor;
};

// Scores a document for several profiles (the columns) with the strengths
// the document holds. Each term leads through one probe to what it adds to
// every column, however many there are.
class ColumnScorer {
 public:
  ColumnScorer(const ScoringRule &rule, const std::vector<const ClassProfile *> &profiles);
  // scores[i] becomes the score of the document for profiles[i].
  void predict_scores(const DocProfile &doc, std::vector<double> &scores) const;

 private:
  ScoringRule rule;
  size_t width;
  TermIndex slots;               // term -> slot
  std::vector<uint32_t> rows;    // slot -> its row of factors, or absent
  std::vector<double> factors;   // the rows, width factors each
  std::vector<uint32_t> starts;  // slot -> its first posting; one more at the end
  std::vector<Posting> postings;
};

class HierarchyScorer;

// The scores of documents for the sons of every class of a table whose
// weights no longer change, each son scored with the document's strengths
// relative to its father, as training sets them; neither the documents nor
// the profiles change. Built once for the test phase and polling.
class FrozenScorer {
 public:
  explicit FrozenScorer(const ClassTable &table);
  ~FrozenScorer();
  FrozenScorer(const FrozenScorer &) = delete;
  FrozenScorer &operator=(const FrozenScorer &) = delete;

  // Takes up the document, which must outlive the calls of get_scores that
  // follow: they are for it.
  void set_document(const DocProfile &doc);
  // The scores of the document taken up for the sons of the class, in order
  // of sons; empty for a leaf.
  void get_scores(const ClassData &father, std::vector<double> &scores) const;

 private:
  const DocProfile *doc = nullptr;
  // Where unknown terms count or weights are no strengths (SBC), a table
  // per class with sons, by class id, scores only the classes a document is
  // taken down to; otherwise one pass through the document scores it for
  // every class at once.
  std::unique_ptr<HierarchyScorer> hierarchy;
  std::vector<std::unique_ptr<ColumnScorer>> fathers;
};

// Holds the weights of the class table frozen for as long as it lives:
// whoever scores with a FrozenScorer holds a guard. The first guard builds
// the scorer; guards made while it lives share that one, and the last to go
// drops it. No weight may change while a guard lives.
class FrozenWeights {
 public:
  FrozenWeights();
  FrozenWeights(const FrozenWeights &) = delete;
  FrozenWeights &operator=(const FrozenWeights &) = delete;
  FrozenScorer &get_scorer() const { return *scorer; }

 private:
  std::shared_ptr<FrozenScorer> scorer;
  static std::weak_ptr<FrozenScorer> shared;
};

#endif  // MIVO_EVAL_SCORING_H
