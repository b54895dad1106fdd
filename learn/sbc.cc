#include "learn/sbc.h"

#include "eval/scoring.h"
#include "eval/thresholds.h"
#include "learn/training.h"
#include "model/classtab.h"
#include "store/database.h"

namespace {

// The training scores behind the thresholds come from the cache.
void load_training_documents(const ClassData &father) {
  for (const auto &entry : father.examples.train) database.get_document_profile(entry.first);
}

}  // namespace

void sbc_set_weights(const ClassData &father) {
  for (ClassData *son : father.sons) {
    for (auto &entry : son->profile.features) {
      FeatureInfo &info = entry.second;
      // Without occurrences there is no estimate: the term counts as unknown.
      info.weight = son->sum_freq == 0
                        ? sbc_unknown_term_weight
                        : (static_cast<double>(info.term_freq) + 1.0) /
                              static_cast<double>(son->sum_freq);
    }
  }
}

void train_sbc() {
  for (auto &entry : class_table) {
    const ClassData &father = entry.second;
    if (!is_father(father)) continue;
    log_training("S.B.C.", father);
    sbc_set_weights(father);
    load_training_documents(father);
  }
  // A log score has no natural threshold such as Winnow's 1.0: inner classes,
  // which the decision weighs against their sibling leaves, get theirs from
  // the training scores too.
  for (auto &entry : class_table)
    if (entry.second.id != 0 && !entry.second.sons.empty()) set_threshold(entry.second);
  finish_training();
}
