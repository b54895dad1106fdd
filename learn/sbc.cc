#include "learn/sbc.h"

#include <algorithm>
#include <vector>

#include "eval/scoring.h"
#include "eval/thresholds.h"
#include "learn/training.h"
#include "model/classtab.h"
#include "store/database.h"

namespace {

// Room for the scores of the inner classes whose thresholds are set together.
const size_t score_memory = size_t{256} << 20;

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
  // They are scored in batches, each in one walk through the cache, whose
  // scores stay within score_memory.
  size_t per_class = std::max<size_t>(1, database.get_docprof_table_size()) * sizeof(WeightType);
  size_t most = std::max<size_t>(1, score_memory / per_class);
  std::vector<ClassData *> batch;
  for (auto &entry : class_table) {
    if (entry.second.id == 0 || entry.second.sons.empty()) continue;
    batch.push_back(&entry.second);
    if (batch.size() == most) {
      set_thresholds(batch);
      batch.clear();
    }
  }
  if (!batch.empty()) set_thresholds(batch);
  finish_training();
}
