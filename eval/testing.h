// The hierarchical decision of the classes a document belongs to, and the
// test phase: every test document of the root is classified, its ranking
// written to a result file and the outcome counted in a confusion matrix
// whose report goes to the event log.
#ifndef MIVO_EVAL_TESTING_H
#define MIVO_EVAL_TESTING_H

#include <string>
#include <vector>

#include "eval/ranks.h"

class DocProfile;
class Explanations;
class FrozenScorer;

// A score scaled by its class's threshold so that 1.0 takes the threshold's
// place: score / theta for a positive theta, and for any theta a mapping
// that keeps the order of scores and is above 1.0 exactly when score is
// above theta.
WeightType scale_score(WeightType score, WeightType theta);

// Chooses the leaves that the document the scorer has taken up belongs to,
// from the sorted scores of the sons of a class, descending through sons
// that have sons of their own; chosen keeps, best first, those at or above
// their thresholds, topped up to minranks and cut to maxranks. True when
// some score is above its threshold. With candidates, also every leaf the
// descent reached, best first, before any was left out.
bool classify_document(const FrozenScorer &scorer, const Ranks &scored, Ranks &chosen,
                       Ranks *candidates = nullptr);

// Takes up the document, enters its scores for the root's sons (scaled when
// scaling is on) into scored, best first, and chooses its leaves into chosen
// as classify_document does; true when the decision is significant.
bool classify_from_root(FrozenScorer &scorer, const DocProfile &doc, Ranks &scored,
                        Ranks &chosen, Ranks *candidates = nullptr);

// The test phase: the root's test documents into "rankN.dat" in the examples
// directory, written as "rankN.tmp" and renamed when complete; then the
// classes decided for each, as the report counts them, into
// "decisions.dat" beside it, in the order of the test list. With
// explanations, each document's decision is explained.
struct TestOutcome {
  bool tested = false;
  double precision = 0, recall = 0, f = 0;  // the report's Total, in percent
  std::vector<std::string> files;           // the result files written
};
TestOutcome test(Explanations *explanations = nullptr);

#endif  // MIVO_EVAL_TESTING_H
