#include "learn/winnow.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "base/eventlog.h"
#include "base/parallel.h"
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

struct PassCounts {
  int promotions = 0;
  int demotions = 0;
};

// A weight times a scale that stays a finite, non-zero number: after very
// many updates it would otherwise reach inf (and scores NaN, which stop all
// updates) or 0 (from which no promotion brings it back).
double scaled(double weight, double scale) {
  double result = weight * scale;
  if (std::isinf(result))
    return std::copysign(std::numeric_limits<double>::max(), result);
  if (weight != 0.0 && scale != 0.0 && std::fabs(result) < std::numeric_limits<double>::min())
    return std::copysign(std::numeric_limits<double>::min(), result);
  return result;
}

double average_document_strength(const ClassData &father) {
  if (father.num_docs == 0) return fallback_average_strength;
  double average = father.sum_strength / father.num_docs;
  // A single training document gives every term the strength ln(1/1) = 0.
  return average == 0.0 ? fallback_average_strength : average;
}

std::vector<Example> shuffled(std::vector<Example> order, const WinnowDraw &draw) {
  for (size_t i = 1; i < order.size(); ++i)
    std::swap(order[i], order[static_cast<unsigned long>(draw()) % (i + 1)]);
  return order;
}

void winnow_pass(const std::vector<Example> &examples, const WinnowDraw &draw,
                 SonWeights &weights, PassCounts &counts) {
  std::vector<Example> order = shuffled(examples, draw);
  for (const Example &example : order)
    log_formatted(4, "training document `%s'", example.name->c_str());
  for (int update : weights.learn(order)) {
    if (update > 0) ++counts.promotions;
    if (update < 0) ++counts.demotions;
  }
}

}  // namespace

SonWeights::SonWeights(const std::vector<ClassData *> &sons_to_train)
    : sons(sons_to_train), width(sons.size()) {
  // Scoring passes by the terms that no son knows, which only a rule that
  // skips unknown terms allows; a son that lacks a term that another knows
  // gets the rule's factor for it, and no weights to train.
  mivo_assert(rule.skips_unknown());
  size_t terms = 0;
  for (const ClassData *son : sons) terms += son->profile.features.size();
  rows.reserve(terms);
  // The rows first, so that the cells are allocated once.
  for (const ClassData *son : sons)
    for (const auto &entry : son->profile.features)
      rows.insert(entry.first, static_cast<uint32_t>(rows.size()));
  set_inverse_doc_freqs();
  factors.assign(rows.size() * width, rule.get_unknown_factor());
  weights.assign(rows.size() * width, Weights{0.0, 0.0});
  tallies.assign(rows.size() * width, Tally{0, 0, nullptr});
  for (size_t i = 0; i < width; ++i) {
    for (auto &entry : sons[i]->profile.features) {
      const FeatureInfo &info = entry.second;
      size_t cell = size_t{rows.find(entry.first)} * width + i;
      factors[cell] = rule.factor(info);
      weights[cell] = Weights{info.weight, info.negative_weight};
      tallies[cell] = Tally{info.promotions, info.demotions, &entry.second};
    }
  }
}

SonWeights::~SonWeights() {
  for (size_t cell = 0; cell < tallies.size(); ++cell) {
    FeatureInfo *record = tallies[cell].record;
    if (record == nullptr) continue;
    record->weight = weights[cell].weight;
    record->negative_weight = weights[cell].negative_weight;
    record->promotions = tallies[cell].promotions;
    record->demotions = tallies[cell].demotions;
  }
}

// A document's strengths are relative to the father: each row keeps its
// term's inverse document frequency there, from which they are worked out.
void SonWeights::set_inverse_doc_freqs() {
  father = sons.empty() ? nullptr : sons[0]->father;
  inverse_doc_freqs.assign(rows.size(), 0.0);
  if (father == nullptr) return;
  for (const auto &entry : father->profile.features) {
    uint32_t row = rows.find(entry.first);
    if (row != NoId) inverse_doc_freqs[row] = inverse_doc_freq(father->num_docs, entry.second.doc_freq);
  }
}

// The probes come first, independent of each other so that their misses
// overlap, and ask for each row as they find it.
void SonWeights::probe(const DocProfile &doc, Scratch &scratch) const {
  mivo_assert(father != nullptr && doc.get_strength_class() == father->id);
  scratch.exponents.clear();
  const std::vector<Feature> &features = doc.get_features();
  std::vector<uint32_t> &found = scratch.found;
  found.resize(features.size());
  scratch.strengths.resize(features.size());
  for (size_t k = 0; k < features.size(); ++k) {
    found[k] = rows.find(features[k].term);
    if (found[k] == NoId) continue;
    __builtin_prefetch(&factors[size_t{found[k]} * width]);
    __builtin_prefetch(&inverse_doc_freqs[found[k]]);
  }
}

// The sums take the terms in order, whichever sons are in hand.
void SonWeights::score(const DocProfile &doc, size_t begin, size_t end, Scratch &scratch) const {
  unsigned int mode = param.gen.get_strength_mode();
  const std::vector<uint32_t> &found = scratch.found;
  scratch.scores.assign(end - begin, 0.0);
  double *score = scratch.scores.data();
  for (size_t k = 0; k < found.size(); ++k) {
    if (found[k] == NoId) continue;
    const double *row_factors = &factors[size_t{found[k]} * width + begin];
    scratch.strengths[k] = doc.get_strength(k, inverse_doc_freqs[found[k]], mode);
    double weight = rule.term_weight(scratch.strengths[k]);
    for (size_t i = 0; i < end - begin; ++i)
      score[i] += ScoringRule::addend(row_factors[i], weight);
  }
}

void SonWeights::predict_scores(const DocProfile &doc, std::vector<double> &result) {
  probe(doc, own);
  score(doc, 0, width, own);
  result = own.scores;
}

int SonWeights::learn(const DocProfile &doc, const ClassList &classes) {
  return learn(doc, classes, 0, width, own);
}

// Every son in hand is scored before any is updated: an update changes only
// its own son's weights.
int SonWeights::learn(const DocProfile &doc, const ClassList &classes, size_t begin, size_t end,
                      Scratch &scratch) {
  probe(doc, scratch);
  score(doc, begin, end, scratch);
  int result = 0;
  for (size_t i = begin; i < end; ++i) {
    bool member = std::find(classes.begin(), classes.end(), sons[i]) != classes.end();
    double son_score = scratch.scores[i - begin];
    // Both comparisons are inclusive; a NaN score satisfies neither.
    if (!member && son_score >= param.win.get_theta_minus()) {
      update(i, false, scratch);
      result = -1;
    }
    if (member && son_score <= param.win.get_theta_plus()) {
      update(i, true, scratch);
      result = +1;
    }
  }
  return result;
}

// The sons are shared out between the threads, and each trains its own on
// all the documents in order: a son's weights see what they would alone. Of
// a document's updates the last, in order of sons, is the one given back.
std::vector<int> SonWeights::learn(const std::vector<Example> &order) {
  unsigned int workers = worker_count();
  size_t per_worker = (width + workers - 1) / workers;
  size_t parts = width == 0 ? 0 : (width + per_worker - 1) / per_worker;
  std::vector<std::vector<int>> kinds(parts, std::vector<int>(order.size(), 0));
  std::vector<Scratch> scratch(workers);
  run_in_parts(width, per_worker, [&](unsigned int worker, size_t begin, size_t end) {
    std::vector<int> &kind = kinds[begin / per_worker];
    for (size_t d = 0; d < order.size(); ++d)
      kind[d] = learn(*order[d].doc, *order[d].classes, begin, end, scratch[worker]);
  });
  std::vector<int> last(order.size(), 0);
  for (const std::vector<int> &kind : kinds)
    for (size_t d = 0; d < order.size(); ++d)
      if (kind[d] != 0) last[d] = kind[d];
  return last;
}

// A term's strength over the mean strength of the document's terms that
// the sons know: the exponents average 1 over those terms, so that a
// document moves the weights about as far as a plain update does, but the
// terms that weigh most in it move most.
void SonWeights::set_exponents(Scratch &scratch) const {
  const std::vector<uint32_t> &found = scratch.found;
  double sum = 0.0;
  size_t known = 0;
  for (size_t i = 0; i < found.size(); ++i) {
    if (found[i] == NoId) continue;
    sum += scratch.strengths[i];
    ++known;
  }
  scratch.exponents.assign(found.size(), 1.0);
  if (sum <= 0.0) return;
  double mean = sum / known;
  for (size_t i = 0; i < found.size(); ++i) scratch.exponents[i] = scratch.strengths[i] / mean;
}

// Scales the son's weights of the last document's terms and counts the
// update on them.
void SonWeights::update(size_t son, bool promotion, Scratch &scratch) {
  double alpha = param.win.get_alpha(), beta = param.win.get_beta();
  double scale = promotion ? alpha : beta, negative_scale = promotion ? beta : alpha;
  bool weighted = param.win.get_weighted_update();
  if (weighted && scratch.exponents.empty()) set_exponents(scratch);
  const std::vector<uint32_t> &found = scratch.found;
  const std::vector<double> &exponents = scratch.exponents;
  for (size_t i = 0; i < found.size(); ++i) {
    uint32_t row = found[i];
    if (row == NoId) continue;
    size_t cell = size_t{row} * width + son;
    Tally &tally = tallies[cell];
    if (tally.record == nullptr) continue;
    Weights &cell_weights = weights[cell];
    if (weighted) {
      scale = std::pow(promotion ? alpha : beta, exponents[i]);
      negative_scale = std::pow(promotion ? beta : alpha, exponents[i]);
    }
    cell_weights.weight = scaled(cell_weights.weight, scale);
    cell_weights.negative_weight = scaled(cell_weights.negative_weight, negative_scale);
    factors[cell] = rule.factor(cell_weights.weight, cell_weights.negative_weight);
    ++(promotion ? tally.promotions : tally.demotions);
  }
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
  for (auto &entry : data.profile.features) {
    entry.second.weight = positive;
    entry.second.negative_weight = negative;
  }
}

unsigned int train_winnow_sons(ClassData &father, const std::vector<Example> &examples,
                               const WinnowDraw &draw, bool logged) {
  for (ClassData *son : father.sons) init_winnow_weights(*son);
  SonWeights weights(father.sons);
  unsigned int passes = 0;
  while (passes < param.win.get_max_iters()) {
    PassCounts counts;
    ++passes;
    winnow_pass(examples, draw, weights, counts);
    if (logged)
      log_formatted_results(3, "iteration %d: %d promotions, %d demotions",
                            static_cast<int>(passes), counts.promotions, counts.demotions);
    if (counts.promotions == 0 && counts.demotions == 0) break;
  }
  return passes;
}

// The final model's shuffles come from the run's one unseeded lrand48
// stream, so that every run trains alike.
unsigned int train_winnow_class(ClassData &father) {
  set_training_strengths(father, "Winnow Initialization");
  father.profile.sum_term_strength(father.id);
  // Winnow reads no term's sum but through the father's total.
  father.profile.features.drop_strengths();
  return train_winnow_sons(father, find_examples(father), lrand48, true);
}

void train_winnow() {
  train_fathers("winnow", [](ClassData &father) {
    unsigned int passes = train_winnow_class(father);
    log_formatted(1, "trained %d iterations", static_cast<int>(passes));
    hold_out(father);
  });
  finish_training();
}
