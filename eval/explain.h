// Explanations: for every test or polled document, the terms that did most
// for the score of each class decided for it and of the best class not
// decided, with the rest of the score, in "explain.dat" beside the result
// files. Every part comes from the pieces of the scoring rule, so that the
// parts of a class add up to the score it was decided by.
#ifndef MIVO_EVAL_EXPLAIN_H
#define MIVO_EVAL_EXPLAIN_H

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "eval/ranks.h"
#include "eval/scoring.h"

class DocProfile;
class FrozenScorer;
struct ClassData;

class Explanations {
 public:
  // Lists up to terms terms (at least one) for each class explained.
  explicit Explanations(unsigned int terms);

  // One block for the document the scorer has taken up, under the phase's
  // name ("test" or "poll"): the classes of decided in their order, then the
  // first of candidates (sorted best first) that is not among them.
  void explain(const char *phase, const std::string &name, const DocProfile &doc,
               const FrozenScorer &scorer, const std::vector<const ClassData *> &decided,
               const Ranks &candidates);
  // Writes every block so far to "explain.dat" in the examples directory,
  // replacing the file; returns its path, or nothing when no document was
  // explained.
  std::string write() const;

 private:
  struct Part {
    uint32_t term;
    double value;
  };
  // The non-term parts of an SBC score.
  struct SbcRest {
    double prior = 0.0;
    double siblings = 0.0;
    double ancestors = 0.0;
  };

  void explain_class(const ClassData &data, const char *role, const DocProfile &doc,
                     const FrozenScorer &scorer);
  void linear_parts(const ClassData &data, const DocProfile &doc, std::vector<Part> &parts) const;
  // The document's log probability for the class among its siblings; with
  // parts, also the terms' shares of it and its prior and normalisation.
  double sbc_posterior(const ClassData &data, const DocProfile &doc, std::vector<Part> *parts,
                       SbcRest *rest) const;
  void write_parts(std::vector<Part> &parts);

  ScoringRule rule;
  unsigned int terms;
  std::ostringstream text;
  unsigned long documents = 0;
};

#endif  // MIVO_EVAL_EXPLAIN_H
