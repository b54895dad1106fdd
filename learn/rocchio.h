// Rocchio: in one pass per father, each son's term weight is the son's
// average strength of the term (times beta) less the average strength over
// the father's other documents (times gamma).
#ifndef MIVO_LEARN_ROCCHIO_H
#define MIVO_LEARN_ROCCHIO_H

struct ClassData;

// Trains every father in key order, then gives every leaf its threshold from
// the training scores and releases the cached document profiles.
void train_rocchio();

// Sets the weights of the father's sons from the strengths already summed
// into the father's and the sons' profiles.
void rocchio_set_weights(const ClassData &father);

#endif  // MIVO_LEARN_ROCCHIO_H
