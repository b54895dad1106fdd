// SBC, the simple Bayesian classifier: each son of a father estimates the
// probability of every term in its documents, smoothed over the father's
// vocabulary, and the scores weigh a document's terms as eval/scoring says.
#ifndef MIVO_LEARN_SBC_H
#define MIVO_LEARN_SBC_H

struct ClassData;

// Weighs the sons of every father in key order, then gives every class but
// the root its threshold from the training scores and releases the cached
// profiles.
void train_sbc();

// (term_freq + 1) / (sum_freq + V) for every term of every son of the
// father, V being the father's vocabulary. The scores are worked out from
// the same counts, so that a model stored with other weights scores alike.
void sbc_set_weights(const ClassData &father);

#endif  // MIVO_LEARN_SBC_H
