// Scoring documents against class profiles, the hierarchical decision of the
// classes a document belongs to, and the test phase: every test document of
// the root is classified, its ranking written to a result file and the
// outcome counted in a confusion matrix whose report goes to the event log.
#ifndef MIVO_EVAL_TESTING_H
#define MIVO_EVAL_TESTING_H

#include <ostream>
#include <string>
#include <vector>

#include "eval/ranks.h"

struct ClassData;
class ConfusionMatrix;
class DocProfile;

// While the weights stay as they are (the test phase, polling), documents
// are scored through tables built once for all classes, which give the same
// scores; unlike the profiles, they leave the classes' summed strengths
// alone. freeze_weights returns false, building nothing, when the tables
// are there already; whoever built them drops them with thaw_weights, which
// must come before any weight changes.
bool freeze_weights();
void thaw_weights();

// A score scaled by its class's threshold so that 1.0 takes the threshold's
// place: score / theta for a positive theta, and for any theta a mapping
// that keeps the order of scores and is above 1.0 exactly when score is
// above theta.
WeightType scale_score(WeightType score, WeightType theta);

// Sets the document's strengths relative to class P and enters the score of
// every son of P (scaled when scaling is on) into ranks.
void predict(const ClassData &class_data_P, DocProfile &doc, Ranks &ranks);

// Chooses the leaves the document belongs to from the sorted scores of P's
// sons, descending through sons that have sons of their own; the chosen list
// keeps, best first, those at or above their thresholds, topped up to minranks
// and cut to maxranks. True when some score is above its threshold.
bool classify_document(const ClassData *class_data_P, DocProfile &doc,
                       const Ranks &scored, Ranks &chosen);

// Classifies one test document below P, writes its full ranking to out and
// counts the decision against the document's true classes.
void test_example(const ClassData &class_data_P, const std::string &name,
                  const std::vector<ClassData *> &classes,
                  ConfusionMatrix &matrix, std::ostream &out);
// Every test document of P; stops early when out fails, and returns whether
// every ranking was written.
bool test_classifier(const ClassData &class_data_P, std::ostream &out);
// The test phase: the root's test documents into "rankN.dat" in the examples
// directory, written as "rankN.tmp" and renamed when complete.
void test();

#endif  // MIVO_EVAL_TESTING_H
