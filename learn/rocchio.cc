#include "learn/rocchio.h"

#include <vector>

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
    FeatureMap &map = son->profile.features;
    map.keep_strengths();
    std::vector<double> strengths;
    for (const auto &entry : son->examples.train) {
      const DocProfile *doc = database.get_document_profile(entry.first);
      doc->get_strengths(strengths);
      const std::vector<Feature> &features = doc->get_features();
      for (size_t k = 0; k < features.size(); ++k) {
        uint32_t position = map.position(features[k].term);
        if (position != NoId) map.strength_at(position) += strengths[k];
      }
    }
  }
}

double rocchio_weight(const ClassData &father, const ClassData &son, uint32_t term,
                      double pos) {
  // A term the father lacks has no strength outside the son.
  const FeatureMap &in_father = father.profile.features;
  uint32_t position = in_father.position(term);
  double summed = in_father.has_strengths() && position != NoId ? in_father.strength_at(position)
                                                                 : 0.0;
  double neg = position != NoId ? summed - pos : 0.0;
  double w = 0.0;
  // A son without documents has no average; only the negative part remains.
  if (son.num_docs != 0) w = param.roc.get_beta() * pos / son.num_docs;
  if (son.num_other_docs != 0) w -= param.roc.get_gamma() * neg / son.num_other_docs;
  if (w < 0.0 && !param.roc.get_negative_weights()) w = 0.0;
  return w;
}

}  // namespace

void rocchio_set_weights(const ClassData &father) {
  for (ClassData *son : father.sons) {
    FeatureMap &map = son->profile.features;
    for (auto it = map.begin(); it != map.end(); ++it)
      it->second.weight = rocchio_weight(
          father, *son, it->first, map.has_strengths() ? map.strength_at(it - map.begin()) : 0.0);
  }
}

void train_rocchio() {
  // A class's sums grow and are read both while its father is trained and
  // while it is, in whichever order the key order puts the two (a son of
  // the root named before the root comes first); after both they go.
  std::vector<bool> trained(class_table.size(), false);
  auto finished = [&trained](const ClassData *data) {
    return data == nullptr || !is_father(*data) || trained[data->id];
  };
  train_fathers("Rocchio", [&](ClassData &father) {
    rocchio_init_strengths(father);
    rocchio_sum_son_strengths(father);
    rocchio_set_weights(father);
    hold_out(father);
    trained[father.id] = true;
    if (finished(father.father)) father.profile.features.drop_strengths();
    for (ClassData *son : father.sons)
      if (finished(son)) son->profile.features.drop_strengths();
  });
  finish_training();
}
