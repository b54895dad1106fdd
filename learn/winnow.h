// Winnow, the default learner: below every class with sons and training
// documents, each son becomes a linear yes/no classifier whose positive and
// negative term weights are scaled up or down whenever a training document
// falls on the wrong side of a thick threshold.
#ifndef MIVO_LEARN_WINNOW_H
#define MIVO_LEARN_WINNOW_H

#include <cstdint>
#include <functional>
#include <vector>

#include "eval/scoring.h"
#include "learn/training.h"

struct ClassData;
class ClassList;
class DocProfile;

// Trains every father in key order, then gives every leaf its threshold from
// the training scores and releases the cached document profiles.
void train_winnow();

// Trains the sons of one father; returns the number of passes made.
unsigned int train_winnow_class(ClassData &father);

// Where the shuffles of the passes draw their numbers (as lrand48 does).
typedef std::function<long()> WinnowDraw;

// Gives the father's sons their initial weights and trains them on the
// examples, shuffled anew for every pass; returns the number of passes. The
// father's document strengths and average strength must be in place.
// Logged passes give a line each at level 3.
unsigned int train_winnow_sons(ClassData &father, const std::vector<Example> &examples,
                               const WinnowDraw &draw, bool logged);

// Gives every term of the son its initial weights: 2.0 and 1.0, divided by
// the father's average document strength unless normalisation is linear.
void init_winnow_weights(ClassData &son);

// The weights and update counts of a father's sons side by side while they
// train: a term's row holds every son's factor under the scoring rule and,
// apart, its weights, its counts and its record, or none. Training changes
// weights but never which terms a son holds, so scoring a document for all
// sons costs one probe per term and one sweep through a short row of
// factors, not a lookup in each son's profile; an update, far rarer than a
// score, computes the factors it changes anew. The records get the weights
// and counts back when it goes.
class SonWeights {
 public:
  explicit SonWeights(const std::vector<ClassData *> &sons);
  ~SonWeights();
  SonWeights(const SonWeights &) = delete;
  SonWeights &operator=(const SonWeights &) = delete;

  // Scores the document, whose strengths must be relative to the sons'
  // father, for every son.
  void predict_scores(const DocProfile &doc, std::vector<double> &scores);
  // One training step: scores the document for every son, then promotes the
  // sons it belongs to (classes) that score at most ThetaPlus and demotes
  // the others that score at least ThetaMinus, scaling the weights of the
  // document's terms (under WeightedUpdate each by its own power of the
  // scale) and counting the update on them. Returns the kind of the last
  // update made: +1 a promotion, -1 a demotion, 0 none.
  int learn(const DocProfile &doc, const ClassList &classes);
  // One pass over the documents, in their order, giving each one's kind of
  // update as learn would; the sons train in as many threads as there are
  // cores, with the weights that training them one after the other gives.
  std::vector<int> learn(const std::vector<Example> &order);

 private:
  struct Weights {
    double weight;
    double negative_weight;
  };
  struct Tally {
    int32_t promotions;
    int32_t demotions;
    FeatureInfo *record;  // null where the son lacks the term
  };

  // What scoring a document leaves for its updates; each thread that
  // trains has its own.
  struct Scratch {
    std::vector<uint32_t> found;    // the document's rows
    std::vector<double> strengths;  // of its terms that a row holds
    std::vector<double> scores;     // of the sons in hand
    // Under WeightedUpdate, the power of the scale for each term, worked
    // out at the document's first update.
    std::vector<double> exponents;
  };

  void set_inverse_doc_freqs();
  void probe(const DocProfile &doc, Scratch &scratch) const;
  // Scores the probed document for the sons [begin, end).
  void score(const DocProfile &doc, size_t begin, size_t end, Scratch &scratch) const;
  int learn(const DocProfile &doc, const ClassList &classes, size_t begin, size_t end,
            Scratch &scratch);
  void update(size_t son, bool promotion, Scratch &scratch);
  void set_exponents(Scratch &scratch) const;

  ScoringRule rule;
  std::vector<ClassData *> sons;
  const ClassData *father = nullptr;
  size_t width;
  TermIndex rows;
  std::vector<double> inverse_doc_freqs;  // by row, in the father
  std::vector<double> factors;
  std::vector<Weights> weights;
  std::vector<Tally> tallies;
  Scratch own;  // for the calls of one document
};

#endif  // MIVO_LEARN_WINNOW_H
