// What the three learners share: which classes get their sons trained, the
// document strengths relative to such a father, and the closing threshold
// step.
#ifndef MIVO_LEARN_TRAINING_H
#define MIVO_LEARN_TRAINING_H

struct ClassData;

// A class with sons and training documents: its sons are trained against it.
bool is_father(const ClassData &data);

// Logs "training <algorithm> on `<father>' with <n> documents: <m> active terms."
void log_training(const char *algorithm, const ClassData &father);

// Loads every training document of the father, in name order, and sets its
// strengths relative to the father (adding them into the father's profile);
// progress in tenths is logged as "<label> on <father> ..% complete".
void set_training_strengths(ClassData &father, const char *label);

// Thresholds for every leaf from the scores of the cached training
// documents, then the cache is released.
void finish_training();

#endif  // MIVO_LEARN_TRAINING_H
