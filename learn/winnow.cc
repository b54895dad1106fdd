#include "learn/winnow.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "base/eventlog.h"
#include "base/param.h"
#include "learn/training.h"
#include "model/classtab.h"
#include "model/docprof.h"
#include "store/database.h"

namespace {

const double initial_weight = 2.0;
const double initial_negative_weight = 1.0;
// The average document strength assumed where a father's own gives nothing
// to divide by.
const double fallback_average_strength = 10000.0;

// One training document of a pass, found in the cache once per father.
struct Example {
  const std::string *name;
  const std::vector<ClassData *> *classes;
  const DocProfile *doc;
};

struct PassCounts {
  int promotions = 0;
  int demotions = 0;
};

// A weight times a factor that stays a finite, non-zero number: after very
// many updates it would otherwise reach inf (and scores NaN, which stop all
// updates) or 0 (from which no promotion brings it back).
double scaled(double weight, double factor) {
  double result = weight * factor;
  if (std::isinf(result))
    return std::copysign(std::numeric_limits<double>::max(), result);
  if (weight != 0.0 && factor != 0.0 && std::fabs(result) < std::numeric_limits<double>::min())
    return std::copysign(std::numeric_limits<double>::min(), result);
  return result;
}

void scale_profile(ClassProfile &profile, const DocProfile &doc, double factor,
                   double negative_factor) {
  for (const Feature &feature : doc.get_features()) {
    FeatureInfo *info = profile.get_feature(feature.term);
    if (info == nullptr) continue;
    info->weight = scaled(info->weight, factor);
    info->negative_weight = scaled(info->negative_weight, negative_factor);
  }
}

double average_document_strength(const ClassData &father) {
  if (father.num_docs == 0) return fallback_average_strength;
  double average = father.sum_strength / father.num_docs;
  // A single training document gives every term the strength ln(1/1) = 0.
  return average == 0.0 ? fallback_average_strength : average;
}

// The father's training documents in name order, their profiles loaded.
std::vector<Example> find_examples(const ClassData &father) {
  std::vector<Example> examples;
  examples.reserve(father.examples.train.size());
  for (const auto &entry : father.examples.train)
    examples.push_back(
        Example{&entry.first, &entry.second, database.get_document_profile(entry.first)});
  return examples;
}

// The examples shuffled by the run's one unseeded lrand48 stream, so that
// every run trains alike.
std::vector<Example> shuffled(std::vector<Example> order) {
  for (size_t i = 1; i < order.size(); ++i)
    std::swap(order[i], order[static_cast<unsigned long>(lrand48()) % (i + 1)]);
  return order;
}

// The weights and update counts of a father's sons side by side while they
// train: a term's row holds the weights of every son (0.0 where the son
// lacks the term) and, apart, its counts and the son's record, or none.
// Training changes weights but never which terms a son holds, so scoring a
// document for all sons costs one probe per term and one sweep through a
// short row, not a lookup in each son's profile; the records get the
// weights and counts back when the training ends.
class SonWeights {
 public:
  explicit SonWeights(const std::vector<ClassData *> &sons) : width(sons.size()) {
    size_t terms = 0;
    for (const ClassData *son : sons) terms += son->profile.features.size();
    rows.reserve(terms);
    for (size_t i = 0; i < width; ++i) {
      for (auto &entry : sons[i]->profile.features) {
        uint32_t row = rows.find(entry.first);
        if (row == TermIndex::absent) {
          row = static_cast<uint32_t>(rows.size());
          rows.insert(entry.first, row);
          weights.resize(weights.size() + width, Weights{0.0, 0.0});
          tallies.resize(tallies.size() + width, Tally{0, 0, nullptr});
        }
        const FeatureInfo &info = entry.second;
        size_t cell = size_t{row} * width + i;
        weights[cell] = Weights{info.weight, info.negative_weight};
        tallies[cell] = Tally{info.promotions, info.demotions, &entry.second};
      }
    }
  }
  ~SonWeights() {
    for (size_t cell = 0; cell < tallies.size(); ++cell) {
      FeatureInfo *record = tallies[cell].record;
      if (record == nullptr) continue;
      record->weight = weights[cell].weight;
      record->negative_weight = weights[cell].negative_weight;
      record->promotions = tallies[cell].promotions;
      record->demotions = tallies[cell].demotions;
    }
  }
  SonWeights(const SonWeights &) = delete;
  SonWeights &operator=(const SonWeights &) = delete;

  // Scores the document for every son, as ClassProfile::predict_score does,
  // and keeps the document's rows for the updates that follow. A son that
  // lacks a term gets 0.0 times its strength, which leaves a sum that starts
  // at +0.0 as it was.
  void predict_scores(const DocProfile &doc, std::vector<double> &scores) {
    bool negative = uses_negative_weights(param.gen.get_algorithm());
    found.clear();
    scores.assign(width, 0.0);
    double *score = scores.data();
    for (const Feature &feature : doc.get_features()) {
      uint32_t row = rows.find(feature.term);
      found.push_back(row);
      if (row == TermIndex::absent) continue;
      const Weights *cells = &weights[size_t{row} * width];
      double strength = feature.strength;
      if (negative) {
        for (size_t i = 0; i < width; ++i)
          score[i] += (cells[i].weight - cells[i].negative_weight) * strength;
      } else {
        for (size_t i = 0; i < width; ++i) score[i] += cells[i].weight * strength;
      }
    }
  }
  // Scales son i's weights of the last document's terms and counts the
  // update on them, as promote_profile or demote_profile and count_updates
  // do to a profile.
  void update(size_t i, bool promotion) {
    double alpha = param.win.get_alpha(), beta = param.win.get_beta();
    double factor = promotion ? alpha : beta, negative_factor = promotion ? beta : alpha;
    for (uint32_t row : found) {
      if (row == TermIndex::absent) continue;
      size_t cell = size_t{row} * width + i;
      Tally &tally = tallies[cell];
      if (tally.record == nullptr) continue;
      weights[cell].weight = scaled(weights[cell].weight, factor);
      weights[cell].negative_weight = scaled(weights[cell].negative_weight, negative_factor);
      ++(promotion ? tally.promotions : tally.demotions);
    }
  }

 private:
  struct Weights {
    double weight;
    double negative_weight;
  };
  struct Tally {
    int32_t promotions;
    int32_t demotions;
    FeatureInfo *record;  // null where the son lacks the term
  };

  size_t width;
  TermIndex rows;
  std::vector<Weights> weights;
  std::vector<Tally> tallies;
  std::vector<uint32_t> found;  // the last document's rows
};

// Every son is scored before any is updated: an update changes only its
// own son's weights.
int update_sons(const std::vector<ClassData *> &sons, const DocProfile &doc,
                const std::vector<ClassData *> &classes, SonWeights &weights) {
  std::vector<double> scores;
  weights.predict_scores(doc, scores);
  int result = 0;
  for (size_t i = 0; i < sons.size(); ++i) {
    bool member = std::find(classes.begin(), classes.end(), sons[i]) != classes.end();
    // Both comparisons are inclusive; a NaN score satisfies neither.
    if (!member && scores[i] >= param.win.get_theta_minus()) {
      weights.update(i, false);
      result = -1;
    }
    if (member && scores[i] <= param.win.get_theta_plus()) {
      weights.update(i, true);
      result = +1;
    }
  }
  return result;
}

void winnow_pass(const ClassData &father, const std::vector<Example> &examples,
                 SonWeights &weights, PassCounts &counts) {
  for (const Example &example : shuffled(examples)) {
    log_formatted(4, "training document `%s'", example.name->c_str());
    int update = update_sons(father.sons, *example.doc, *example.classes, weights);
    if (update > 0) ++counts.promotions;
    if (update < 0) ++counts.demotions;
  }
}

}  // namespace

void promote_profile(ClassProfile &profile, const DocProfile &doc) {
  scale_profile(profile, doc, param.win.get_alpha(), param.win.get_beta());
}

void demote_profile(ClassProfile &profile, const DocProfile &doc) {
  scale_profile(profile, doc, param.win.get_beta(), param.win.get_alpha());
}

void count_updates(ClassProfile &profile, const DocProfile &doc, bool promotion) {
  for (const Feature &feature : doc.get_features()) {
    FeatureInfo *info = profile.get_feature(feature.term);
    if (info == nullptr) continue;
    ++(promotion ? info->promotions : info->demotions);
  }
}

int winnow_update_sons(const std::vector<ClassData *> &sons, const DocProfile &doc,
                       const std::vector<ClassData *> &classes) {
  SonWeights weights(sons);
  return update_sons(sons, doc, classes, weights);
}

void init_winnow_weights(ClassData &data) {
  mivo_assert(data.father != 0);
  double positive = initial_weight;
  double negative = initial_negative_weight;
  if (param.gen.get_normalize() != normalize_linear) {
    double average = average_document_strength(*data.father);
    positive /= average;
    negative /= average;
  }
  data.profile.set_init_winnow_weights(positive, negative);
  for (auto &entry : data.profile.features) {
    entry.second.weight = positive;
    entry.second.negative_weight = negative;
  }
}

unsigned int train_winnow_class(ClassData &father) {
  set_training_strengths(father, "Winnow Initialization");
  father.profile.sum_term_strength(father.id);
  for (ClassData *son : father.sons) init_winnow_weights(*son);
  std::vector<Example> examples = find_examples(father);
  SonWeights weights(father.sons);
  unsigned int passes = 0;
  while (passes < param.win.get_max_iters()) {
    PassCounts counts;
    ++passes;
    winnow_pass(father, examples, weights, counts);
    log_formatted_results(3, "iteration %d: %d promotions, %d demotions",
                          static_cast<int>(passes), counts.promotions, counts.demotions);
    if (counts.promotions == 0 && counts.demotions == 0) break;
  }
  return passes;
}

void train_winnow() {
  for (auto &entry : class_table) {
    ClassData &father = entry.second;
    if (!is_father(father)) continue;
    log_training("winnow", father);
    unsigned int passes = train_winnow_class(father);
    log_formatted(1, "trained %d iterations", static_cast<int>(passes));
  }
  finish_training();
}

bool predict_winnow(const std::string &name, Ranks &ranks) {
  bool significant = classify_from_root(name, ranks);
  // With maxranks 0 nothing is chosen.
  const char *chosen =
      ranks.empty() ? "none" : class_table.get_name(ranks[0].class_data->id).c_str();
  log_formatted(4, "classified document `%s' in class `%s' (%s)", name.c_str(), chosen,
                significant ? "significant" : "not significant");
  return significant;
}
