#include "learn/rocchio.h"

#include "base/param.h"
#include "learn/training.h"
#include "model/classtab.h"
#include "model/docprof.h"
#include "store/database.h"

namespace {

void rocchio_init_strengths(ClassData &father) {
  set_training_strengths(father, "Rocchio Training");
}

// Each son's strength of a term: the summed strengths, relative to the
// father, of the term over the son's own documents.
void rocchio_sum_son_strengths(const ClassData &father) {
  for (ClassData *son : father.sons) {
    for (const auto &entry : son->examples.train) {
      const DocProfile *doc = database.get_document_profile(entry.first);
      for (const Feature &feature : doc->get_features()) {
        FeatureInfo *info = son->profile.get_feature(feature.term);
        if (info != nullptr) info->strength += feature.strength;
      }
    }
  }
}

double rocchio_weight(const ClassData &father, const ClassData &son, uint32_t term,
                      const FeatureInfo &info) {
  double pos = info.strength;
  // A term the father lacks has no strength outside the son.
  const FeatureInfo *in_father = father.profile.get_feature(term);
  double neg = in_father != nullptr ? in_father->strength - pos : 0.0;
  double w = 0.0;
  // A son without documents has no average; only the negative part remains.
  if (son.num_docs != 0) w = param.roc.get_beta() * pos / son.num_docs;
  if (son.num_other_docs != 0) w -= param.roc.get_gamma() * neg / son.num_other_docs;
  if (w < 0.0 && !param.roc.get_negative_weights()) w = 0.0;
  return w;
}

}  // namespace

void rocchio_set_weights(const ClassData &father) {
  for (ClassData *son : father.sons)
    for (auto &entry : son->profile.features)
      entry.second.weight = rocchio_weight(father, *son, entry.first, entry.second);
}

void train_rocchio() {
  train_fathers("Rocchio", [](ClassData &father) {
    rocchio_init_strengths(father);
    rocchio_sum_son_strengths(father);
    rocchio_set_weights(father);
    hold_out(father);
  });
  finish_training();
}
