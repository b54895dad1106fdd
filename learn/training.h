// What the three learners share: which classes get their sons trained, the
// document strengths relative to such a father, and the closing threshold
// step, with its held-out scores when ThresholdFolds asks for them.
#ifndef MIVO_LEARN_TRAINING_H
#define MIVO_LEARN_TRAINING_H

#include <functional>
#include <string>
#include <vector>

struct ClassData;
class ClassList;
class DocProfile;

// A class with sons and training documents: its sons are trained against it.
bool is_father(const ClassData &data);

// Hands every father to train, in key order, after logging "training
// <algorithm> on `<father>' with <n> documents: <m> active terms.", and
// shows on the terminal how many of the fathers' documents are done.
void train_fathers(const char *algorithm, const std::function<void(ClassData &)> &train);

// Loads every training document of the father, in name order, and sets its
// strengths relative to the father (adding them into the father's profile);
// progress in tenths is logged as "<label> on <father> ..% complete".
void set_training_strengths(ClassData &father, const char *label);

// One training document of a father, found in the cache once.
struct Example {
  const std::string *name;
  const ClassList *classes;  // the father's sons it belongs to
  const DocProfile *doc;
};

// The father's training documents in name order, their profiles loaded.
std::vector<Example> find_examples(const ClassData &father);

// The fold of the i-th of a father's training documents in name order.
unsigned int fold_of(size_t position, unsigned int folds);

// With ThresholdFolds k >= 2: scores every training document of the father,
// for each son, by a model of the learner in force trained on the other
// folds; the scores wait for finish_training. The father and its sons are
// left exactly as the final model's training left them. Call it right after
// the father's own training, while the class strengths it summed are still
// those its sons' weights were made from; without folds it does nothing.
void hold_out(ClassData &father);

// Thresholds, then the cache is released: without folds for every leaf from
// the scores of the cached training documents; with folds for every son of
// every father from its held-out scores (fathers not yet held out are held
// out here).
void finish_training();

#endif  // MIVO_LEARN_TRAINING_H
