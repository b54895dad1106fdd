// Winnow, the default learner: below every class with sons and training
// documents, each son becomes a linear yes/no classifier whose positive and
// negative term weights are scaled up or down whenever a training document
// falls on the wrong side of a thick threshold.
#ifndef MIVO_LEARN_WINNOW_H
#define MIVO_LEARN_WINNOW_H

#include <string>
#include <vector>

#include "eval/ranks.h"

struct ClassData;
class DocProfile;
class ClassProfile;

// Trains every father in key order, then gives every leaf its threshold from
// the training scores and releases the cached document profiles.
void train_winnow();

// Trains the sons of one father; returns the number of passes made.
unsigned int train_winnow_class(ClassData &father);

// Gives every term of the son its initial weights: 2.0 and 1.0, divided by
// the father's average document strength unless normalisation is linear.
void init_winnow_weights(ClassData &son);

// Scores the document for every son and promotes or demotes the sons on the
// wrong side of the thick threshold. Returns the kind of the last update made:
// +1 a promotion, -1 a demotion, 0 none.
int winnow_update_sons(const std::vector<ClassData *> &sons, const DocProfile &doc,
                       const std::vector<ClassData *> &classes);

// Scale the weights of the document's terms that the profile holds.
void promote_profile(ClassProfile &profile, const DocProfile &doc);
void demote_profile(ClassProfile &profile, const DocProfile &doc);
// Counts a promotion or a demotion on each of the document's terms in the profile.
void count_updates(ClassProfile &profile, const DocProfile &doc, bool promotion);

// Classifies a polled document into ranks from the root down; true when the
// decision is significant.
bool predict_winnow(const std::string &name, Ranks &ranks);

#endif  // MIVO_LEARN_WINNOW_H
