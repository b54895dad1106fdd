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
struct Feature;

// Winnow and Rocchio score a document for a class with the sum, starting at
// +0.0 and taking the document's terms in their order, of addend(factor,
// weight): the class's factor for the term (the unknown factor when the
// class lacks it) times the term's weight in the document. Every scorer,
// Winnow's training included, gets its arithmetic from here, so that all of
// them give the same bits.
//
// SBC scores a class with the natural logarithm of its probability given
// the document, relative to the root: log P(son | document, father) summed
// over the path from the root's son down to the class. Among the sons of a
// father, a son's joint log-likelihood is
//   log prior + sum over the document's occurrences of terms the father
//   knows of log((term_freq + 1) / (sum_freq + V)),
// with its share of the father's training documents as prior and V the
// father's vocabulary; terms the father does not know leave all sons alike
// and are passed by. The log-likelihood falls with the document's length;
// its share among the siblings does not, so that one threshold per class
// serves documents of every length, and the scores of classes under
// different fathers compare. SbcScorer applies it.
class ScoringRule {
 public:
  // The rule of the learner in force, with its settings.
  ScoringRule();

  // The factor of a term the class knows: Winnow's weight less its negative
  // weight when those count, or Rocchio's weight.
  double factor(double weight, double negative_weight) const {
    return negative ? weight - negative_weight : weight;
  }
  double factor(const FeatureInfo &info) const {
    return factor(info.weight, info.negative_weight);
  }
  // The factor of a term the class does not know.
  double get_unknown_factor() const { return 0.0; }
  // True when a term the class does not know leaves every score as it was,
  // so that a scorer may pass it by: 0.0 times a finite weight is a zero,
  // which added to a sum that started at +0.0 changes no bit of it. Not so
  // under SBC, where it takes its smoothed share of a class's probability.
  bool skips_unknown() const { return algorithm != SBC; }
  // A term's weight in the document, given its strength relative to the
  // father of the classes scored.
  double term_weight(double strength) const { return strength; }
  // Whether term_weight gives the strength back, so that a scorer may take
  // the strengths for the weights. SBC counts occurrences instead, through
  // its own pieces below.
  bool weighs_by_strength() const { return algorithm != SBC; }
  static double addend(double factor, double weight) { return factor * weight; }

  // SBC's arithmetic, in the pieces its scorers sum. How many occurrences
  // a term the document holds freq times counts for: freq itself, once
  // (Strength bool), or damped (sqrt, ltc), as the strength mode says.
  double sbc_occurrences(uint32_t freq) const;
  // Per occurrence of a term the son met term_freq times: log(term_freq +
  // 1); such sums start at +0.0 and take the document's terms in their
  // order.
  static double sbc_term_factor(uint32_t term_freq) { return std::log(term_freq + 1.0); }
  // Taken off once per occurrence of a term the father knows:
  // log(sum_freq + V), or 0.0 when no term can occur.
  static double sbc_log_denominator(uint64_t sum_freq, size_t vocabulary);
  // The son's share of the father's training documents; -infinity for a
  // son without any, which is never decided.
  static double sbc_log_prior(uint32_t num_docs, uint32_t father_docs);
  // The son's joint log-likelihood from the sum of its term factors and the
  // occurrences of terms its father knows.
  static double sbc_joint(double log_prior, double factors, double occurrences,
                          double log_denominator) {
    return log_prior + (factors - occurrences * log_denominator);
  }
  // What one term the father knows, counting for occurrences, adds to the
  // joint beside the prior: its factor less its part of the denominator.
  // The shares of a document's terms add up to sbc_joint's sum, but for
  // rounding; only explanations take the joint apart so.
  static double sbc_term_share(uint32_t term_freq, double occurrences, double log_denominator) {
    return addend(sbc_term_factor(term_freq), occurrences) - occurrences * log_denominator;
  }
  // Turns the joint log-likelihoods of a father's sons into their log
  // probabilities given the document, at most 0.0, through log-sum-exp.
  static void sbc_posteriors(double *joints, size_t count);

 private:
  AlgorithmType algorithm;
  bool negative;
  unsigned int strength_mode;
};

// What a term adds to one column's score, before its weight in the document.
struct Posting {
  uint32_t column;
  double factor;
};

// One document's scores for the sons of every class (or for a scorer's
// columns), with the room that working them out takes. The scorers' tables
// are only read while scoring, so that threads scoring at once each bring
// one of these.
struct ScoringScratch {
  std::vector<double> scores;
  std::vector<uint32_t> found;
  std::vector<double> raw;
  std::vector<double> strengths;
  std::vector<double> totals;
  std::vector<double> occurrences;
};

class SbcScorer;

// Scores a document for several profiles (the columns) with its strengths
// relative to the class last given to it. Each term leads through one probe to what it adds to
// every column, however many there are. Under SBC the profiles must be
// those of classes of the class table: their scores need their siblings
// and ancestors.
class ColumnScorer {
 public:
  ColumnScorer(const ScoringRule &rule, const std::vector<const ClassProfile *> &profiles);
  ~ColumnScorer();
  ColumnScorer(const ColumnScorer &) = delete;
  ColumnScorer &operator=(const ColumnScorer &) = delete;
  // scores[i] becomes the score of the document for profiles[i].
  void predict_scores(const DocProfile &doc, std::vector<double> &scores,
                      ScoringScratch &scratch) const;
  // The same in the scorer's own scratch, for one thread at a time.
  void predict_scores(const DocProfile &doc, std::vector<double> &scores) const {
    predict_scores(doc, scores, own);
  }

 private:
  ScoringRule rule;
  std::unique_ptr<SbcScorer> bayes;
  std::vector<uint32_t> classes;  // under SBC, the class of each column
  size_t width;
  TermIndex slots;               // term -> slot
  std::vector<uint32_t> rows;    // slot -> its row of factors, or absent
  std::vector<double> factors;   // the rows, width factors each
  std::vector<uint32_t> starts;  // slot -> its first posting; one more at the end
  std::vector<Posting> postings;
  mutable ScoringScratch own;
};

class HierarchyScorer;

// The scores of documents for the sons of every class of a table whose
// weights no longer change, each son scored with the document's strengths
// relative to its father, as training sets them; neither the documents nor
// the profiles change. Built once for the test phase and polling. A copy
// shares the tables, which are only read, and takes up documents of its
// own: each thread that scores holds one.
class FrozenScorer {
 public:
  explicit FrozenScorer(const ClassTable &table);
  ~FrozenScorer();
  FrozenScorer(const FrozenScorer &);
  FrozenScorer &operator=(const FrozenScorer &) = delete;

  // Takes up the document, which must outlive the calls of get_scores that
  // follow: they are for it.
  void set_document(const DocProfile &doc);
  // Takes up the document with its scores from scored, where another copy
  // left them by this same call; scored gets the scores held before.
  void set_document(const DocProfile &doc, ScoringScratch &scored);
  // The scores of the document taken up for the sons of the class, in order
  // of sons; empty for a leaf.
  void get_scores(const ClassData &father, std::vector<double> &scores) const;
  // Whether scoring reads the terms of the class profiles (SBC probes some
  // fathers' profiles); when it does not, they may go once they are saved.
  bool reads_profiles() const { return bayes != nullptr; }

 private:
  const DocProfile *doc = nullptr;
  ScoringScratch current;
  // One pass through the document scores it for every class at once.
  std::shared_ptr<const HierarchyScorer> hierarchy;
  std::shared_ptr<const SbcScorer> bayes;
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
