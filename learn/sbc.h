// SBC, the simple Bayesian classifier: each son's term weight estimates the
// probability of the term in the son's documents, with one added occurrence;
// a document scores the sum of the logarithms of its terms' weights.
#ifndef MIVO_LEARN_SBC_H
#define MIVO_LEARN_SBC_H

struct ClassData;

// Weighs the sons of every father in key order, then gives every leaf its
// threshold from the training scores and releases the cached profiles.
void train_sbc();

// (term_freq + 1) / sum_freq for every term of every son of the father; the
// weight of an unknown term for a son without occurrences.
void sbc_set_weights(const ClassData &father);

#endif  // MIVO_LEARN_SBC_H
