#include "learn/sbc.h"

#include <vector>

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
  double vocabulary = static_cast<double>(father.profile.features.size());
  for (ClassData *son : father.sons) {
    double total = static_cast<double>(son->sum_freq) + vocabulary;
    for (auto &entry : son->profile.features) {
      FeatureInfo &info = entry.second;
      info.weight = (static_cast<double>(info.term_freq) + 1.0) / total;
    }
  }
}

void train_sbc() {
  train_fathers("S.B.C.", [](ClassData &father) {
    sbc_set_weights(father);
    load_training_documents(father);
  });
  // A log probability has no natural threshold such as Winnow's 1.0: inner
  // classes, which the decision weighs against their sibling leaves, get
  // theirs from the training scores too.
  std::vector<std::vector<ClassData *>> inner;
  for (auto &entry : class_table)
    if (entry.second.id != 0 && !entry.second.sons.empty()) inner.push_back({&entry.second});
  set_grouped_thresholds(inner);
  finish_training();
}
