#include "learn/training.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>

#include "base/eventlog.h"
#include "base/param.h"
#include "base/progress.h"
#include "base/resources.h"
#include "eval/scoring.h"
#include "eval/thresholds.h"
#include "learn/rocchio.h"
#include "learn/sbc.h"
#include "learn/winnow.h"
#include "model/classtab.h"
#include "model/docprof.h"
#include "select/selection.h"
#include "store/database.h"

bool is_father(const ClassData &data) {
  return !data.sons.empty() && !data.examples.train.empty();
}

void train_fathers(const char *algorithm, const std::function<void(ClassData &)> &train) {
  unsigned long documents = 0;
  for (const auto &entry : class_table)
    if (is_father(entry.second)) documents += entry.second.examples.train.size();
  Progress progress("training", documents);
  for (auto &entry : class_table) {
    ClassData &father = entry.second;
    if (!is_father(father)) continue;
    log_formatted_results(1, "training %s on `%s' with %d documents: %d active terms.",
                          algorithm, class_table.get_name(father.id).c_str(),
                          static_cast<int>(father.examples.train.size()),
                          static_cast<int>(selected_terms.size()));
    train(father);
    progress.advance(father.examples.train.size());
  }
}

void set_training_strengths(ClassData &father, const char *label) {
  const char *name = class_table.get_name(father.id).c_str();
  // Fewer than ten documents give no progress messages; past 100% they go on.
  long step = static_cast<long>(father.examples.train.size() / 10);
  long done = 0;
  for (const auto &entry : father.examples.train) {
    database.get_document_profile(entry.first)->set_class_document_strengths(father.id);
    ++done;
    if (step != 0 && done % step == 0)
      log_formatted_results(2, "%s on <%s> %1.0ld0%% complete", label, name, done / step);
  }
}

std::vector<Example> find_examples(const ClassData &father) {
  std::vector<Example> examples;
  examples.reserve(father.examples.train.size());
  for (const auto &entry : father.examples.train)
    examples.push_back(
        Example{&entry.first, &entry.second, database.get_document_profile(entry.first)});
  return examples;
}

// Documents dealt round in name order: each fold gets its share of every
// class whose documents are named alike.
unsigned int fold_of(size_t position, unsigned int folds) {
  return static_cast<unsigned int>(position % folds);
}

namespace {

// Held-out scores by class id, and the fathers already held out.
HeldOutScores held_out_scores;
std::set<uint32_t> held_out_fathers;
// Under SBC, a father's own score for each of its training documents in
// name order, by class id, from the final models above it.
std::map<uint32_t, std::vector<double>> own_scores;

bool member(const Example &example, const ClassData *son) {
  for (const ClassData *data : *example.classes)
    if (data == son) return true;
  return false;
}

// What a fold model may change of a class, to be put back whole.
struct ClassState {
  explicit ClassState(ClassData &class_data)
      : data(&class_data),
        profile(class_data.profile),
        num_docs(class_data.num_docs),
        num_other_docs(class_data.num_other_docs),
        sum_freq(class_data.sum_freq),
        sum_strength(class_data.sum_strength) {}

  void restore() const {
    data->profile = profile;
    data->num_docs = num_docs;
    data->num_other_docs = num_other_docs;
    data->sum_freq = sum_freq;
    data->sum_strength = sum_strength;
  }

  ClassData *data;
  ClassProfile profile;
  uint32_t num_docs;
  uint32_t num_other_docs;
  uint64_t sum_freq;
  double sum_strength;
};

// Takes a held-out document off the counts and summed strengths that the
// learners build their weights from, as if it had never been a training
// document: a term that only held-out documents gave a son leaves the son,
// so that the fold model does not know it for them. The father keeps its
// document frequencies: the document's strengths relative to it stay as
// the final model sees them; only Rocchio reads its summed strengths.
void forget(ClassData &father, const Example &example) {
  FeatureMap &in_father = father.profile.features;
  const std::vector<Feature> &features = example.doc->get_features();
  // Worked out only for the sums that Rocchio keeps.
  std::vector<double> strengths;
  auto strength = [&](size_t k) {
    if (strengths.empty()) example.doc->get_strengths(strengths);
    return strengths[k];
  };
  if (param.gen.get_algorithm() == Rocchio && in_father.has_strengths()) {
    for (size_t k = 0; k < features.size(); ++k) {
      uint32_t position = in_father.position(features[k].term);
      if (position != NoId) in_father.strength_at(position) -= strength(k);
    }
  }
  for (ClassData *son : father.sons) {
    if (!member(example, son)) {
      if (son->num_other_docs != 0) --son->num_other_docs;
      continue;
    }
    if (son->num_docs != 0) --son->num_docs;
    son->sum_freq -= std::min<uint64_t>(example.doc->get_sum_freq(), son->sum_freq);
    FeatureMap &in_son = son->profile.features;
    for (size_t k = 0; k < features.size(); ++k) {
      uint32_t position = in_son.position(features[k].term);
      if (position == NoId) continue;
      FeatureInfo *info = &(in_son.begin() + position)->second;
      info->term_freq -= std::min(features[k].freq, info->term_freq);
      // Only Rocchio keeps a son's sums; others have none to take from.
      if (in_son.has_strengths()) in_son.strength_at(position) -= strength(k);
      if (info->doc_freq <= 1)
        son->profile.features.erase(features[k].term);
      else
        --info->doc_freq;
    }
  }
}

// The learner in force makes the sons' weights from the documents of the
// other folds; Winnow shuffles them with a stream of its own, so that the
// run's lrand48 stream, and with it the final model, stays as without folds.
void fit(ClassData &father, const std::vector<Example> &training, unsigned int fold) {
  switch (param.gen.get_algorithm()) {
    case Winnow: {
      unsigned short state[3] = {static_cast<unsigned short>(fold),
                                 static_cast<unsigned short>(father.id),
                                 static_cast<unsigned short>(father.id >> 16)};
      train_winnow_sons(father, training, [&state] { return nrand48(state); }, false);
      break;
    }
    case Rocchio:
      rocchio_set_weights(father);
      break;
    case SBC:
      sbc_set_weights(father);
      break;
  }
}

// The SBC scores of the father's sons for the document, as the scorers
// work them out, from the counts the sons hold now: the father's own score
// plus each son's log probability among its siblings. A scorer of the
// sons' columns would index every class above them again for each fold.
void sbc_scores(const ClassData &father, const DocProfile &doc, double own,
                std::vector<double> &scores) {
  ScoringRule rule;
  size_t width = father.sons.size();
  scores.assign(width, 0.0);
  double occurrences = 0.0;
  for (const Feature &feature : doc.get_features()) {
    if (father.profile.get_feature(feature.term) == nullptr) continue;
    double count = rule.sbc_occurrences(feature.freq);
    occurrences += count;
    for (size_t i = 0; i < width; ++i) {
      const FeatureInfo *info = father.sons[i]->profile.get_feature(feature.term);
      if (info != nullptr && info->term_freq != 0)
        scores[i] += ScoringRule::addend(ScoringRule::sbc_term_factor(info->term_freq), count);
    }
  }
  size_t vocabulary = father.profile.features.size();
  for (size_t i = 0; i < width; ++i) {
    const ClassData &son = *father.sons[i];
    scores[i] = ScoringRule::sbc_joint(ScoringRule::sbc_log_prior(son.num_docs, father.num_docs),
                                       scores[i], occurrences,
                                       ScoringRule::sbc_log_denominator(son.sum_freq, vocabulary));
  }
  ScoringRule::sbc_posteriors(scores.data(), width);
  for (double &score : scores) score += own;
}

// The father's own score for each of its training documents under SBC: 0.0
// at the root, else what its father's final model gave it.
std::vector<double> own_scores_of(const ClassData &father, size_t documents) {
  auto found = own_scores.find(father.id);
  if (found == own_scores.end() || found->second.size() != documents)
    return std::vector<double>(documents, 0.0);
  std::vector<double> own;
  own.swap(found->second);
  own_scores.erase(found);
  return own;
}

// Under SBC, the final models' scores of the father's training documents
// for those of its sons that are fathers in turn: their own scores.
void set_own_scores(const ClassData &father, const std::vector<Example> &examples,
                    const std::vector<double> &own) {
  bool wanted = false;
  for (const ClassData *son : father.sons) wanted = wanted || is_father(*son);
  if (!wanted) return;
  std::vector<double> scores;
  for (size_t position = 0; position < examples.size(); ++position) {
    sbc_scores(father, *examples[position].doc, own[position], scores);
    for (size_t i = 0; i < father.sons.size(); ++i)
      if (is_father(*father.sons[i]) && member(examples[position], father.sons[i]))
        own_scores[father.sons[i]->id].push_back(scores[i]);
  }
}

// Scores the held-out documents (their positions among the father's
// training documents) for every son with the fold model's weights.
void score_held_out(const ClassData &father, const std::vector<Example> &examples,
                    const std::vector<size_t> &held_out, const std::vector<double> &own) {
  std::unique_ptr<ColumnScorer> scorer;
  if (param.gen.get_algorithm() != SBC) {
    std::vector<const ClassProfile *> profiles;
    for (const ClassData *son : father.sons) profiles.push_back(&son->profile);
    scorer.reset(new ColumnScorer(ScoringRule(), profiles));
  }
  std::vector<WeightType> scores;
  for (size_t position : held_out) {
    if (scorer)
      scorer->predict_scores(*examples[position].doc, scores);
    else
      sbc_scores(father, *examples[position].doc, own[position], scores);
    for (size_t i = 0; i < father.sons.size(); ++i) {
      std::vector<WeightType> &own_held_out = held_out_scores[father.sons[i]->id];
      own_held_out.resize(examples.size());
      own_held_out[position] = scores[i];
    }
  }
}

}  // namespace

void hold_out(ClassData &father) {
  unsigned int folds = param.gen.get_threshold_folds();
  if (folds < 2 || !held_out_fathers.insert(father.id).second) return;
  log_formatted(2, "scoring `%s' held out in %u folds", class_table.get_name(father.id).c_str(),
                std::min<unsigned int>(folds, father.examples.train.size()));
  // Right after the father's training its documents still hold their
  // strengths relative to it, which the fold models read as the final one
  // did (SBC reads none).
  std::vector<ClassState> states;
  if (param.gen.get_algorithm() == Rocchio) states.emplace_back(father);
  for (ClassData *son : father.sons) states.emplace_back(*son);
  std::vector<Example> examples = find_examples(father);
  std::vector<double> own;
  if (param.gen.get_algorithm() == SBC) {
    own = own_scores_of(father, examples.size());
    set_own_scores(father, examples, own);
  }
  // Folds beyond the documents would be empty.
  if (folds > examples.size()) folds = static_cast<unsigned int>(examples.size());
  for (unsigned int fold = 0; fold < folds; ++fold) {
    for (const ClassState &state : states) state.restore();
    std::vector<Example> training;
    std::vector<size_t> held_out;
    for (size_t i = 0; i < examples.size(); ++i) {
      if (fold_of(i, folds) != fold) {
        training.push_back(examples[i]);
        continue;
      }
      held_out.push_back(i);
      forget(father, examples[i]);
    }
    fit(father, training, fold);
    score_held_out(father, examples, held_out, own);
  }
  for (const ClassState &state : states) state.restore();
}

void finish_training() {
  // The threshold step gets a resource line of its own, so that its cost
  // shows apart from the learner's.
  report_resources();
  // Held out here are the fathers of learners that do not hold out as they
  // go, from the root down: under SBC a father's scores build on those of
  // the fathers above it.
  if (param.gen.get_threshold_folds() >= 2 && !class_table.empty()) {
    std::vector<ClassData *> fathers{&class_table.get_data(0)};
    for (size_t next = 0; next < fathers.size(); ++next) {
      if (!is_father(*fathers[next])) continue;
      hold_out(*fathers[next]);
      fathers.insert(fathers.end(), fathers[next]->sons.begin(), fathers[next]->sons.end());
    }
  }
  // The thresholds score the training documents still in the cache.
  set_leaf_thresholds(held_out_scores);
  held_out_scores.clear();
  held_out_fathers.clear();
  own_scores.clear();
  database.release_all_profiles();
}
