#include "learn/winnow.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "driver/eventlog.h"
#include "driver/param.h"
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

// One training document of a pass.
struct Example {
  std::string name;
  std::vector<ClassData *> classes;
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

// The father's training documents in name order, shuffled by the run's one
// unseeded lrand48 stream, so that every run trains alike.
std::vector<Example> make_example_order(const ClassData &father) {
  std::vector<Example> order;
  for (const auto &entry : father.examples.train)
    order.push_back(Example{entry.first, entry.second});
  for (size_t i = 1; i < order.size(); ++i)
    std::swap(order[i], order[static_cast<unsigned long>(lrand48()) % (i + 1)]);
  return order;
}

// The records of a father's sons side by side: a term's row points to each
// son's record, or is null where the son lacks the term. Training changes
// weights but never which terms a son holds, so the pointers hold for the
// whole of a father's training, and one probe per term of a document finds
// the term in every son.
class SonRecords {
 public:
  explicit SonRecords(const std::vector<ClassData *> &sons) : width(sons.size()) {
    size_t terms = 0;
    for (const ClassData *son : sons) terms += son->profile.features.size();
    rows.reserve(terms);
    for (size_t i = 0; i < width; ++i) {
      for (auto &entry : sons[i]->profile.features) {
        uint32_t row = rows.find(entry.first);
        if (row == TermIndex::absent) {
          row = static_cast<uint32_t>(rows.size());
          rows.insert(entry.first, row);
          records.resize(records.size() + width, nullptr);
        }
        records[size_t{row} * width + i] = &entry.second;
      }
    }
  }
  // For each feature of the document, its row of records, or null.
  void find_rows(const DocProfile &doc, std::vector<FeatureInfo *const *> &found) const {
    found.clear();
    for (const Feature &feature : doc.get_features()) {
      uint32_t row = rows.find(feature.term);
      found.push_back(row == TermIndex::absent ? nullptr : &records[size_t{row} * width]);
    }
  }

 private:
  size_t width;
  TermIndex rows;
  std::vector<FeatureInfo *> records;
};

typedef std::vector<FeatureInfo *const *> Rows;

// The score of son i, as ClassProfile::predict_score gives it.
double son_score(const DocProfile &doc, const Rows &rows, size_t i) {
  AlgorithmType algorithm = param.gen.get_algorithm();
  bool negative = uses_negative_weights(algorithm);
  const std::vector<Feature> &features = doc.get_features();
  double score = 0.0;
  for (size_t k = 0; k < features.size(); ++k) {
    const FeatureInfo *info = rows[k] != nullptr ? rows[k][i] : nullptr;
    if (info != nullptr) score += term_factor(*info, algorithm, negative) * features[k].strength;
  }
  return score;
}

// Scales son i's weights of the document's terms and counts the update on
// them, as promote_profile or demote_profile and count_updates do.
void update_son(const DocProfile &doc, const Rows &rows, size_t i, bool promotion) {
  double alpha = param.win.get_alpha(), beta = param.win.get_beta();
  double factor = promotion ? alpha : beta, negative_factor = promotion ? beta : alpha;
  for (size_t k = 0; k < doc.get_features().size(); ++k) {
    FeatureInfo *info = rows[k] != nullptr ? rows[k][i] : nullptr;
    if (info == nullptr) continue;
    info->weight = scaled(info->weight, factor);
    info->negative_weight = scaled(info->negative_weight, negative_factor);
    ++(promotion ? info->promotions : info->demotions);
  }
}

int update_sons(const std::vector<ClassData *> &sons, const DocProfile &doc,
                const std::vector<ClassData *> &classes, const Rows &rows) {
  int result = 0;
  for (size_t i = 0; i < sons.size(); ++i) {
    double score = son_score(doc, rows, i);
    bool member = std::find(classes.begin(), classes.end(), sons[i]) != classes.end();
    // Both comparisons are inclusive; a NaN score satisfies neither.
    if (!member && score >= param.win.get_theta_minus()) {
      update_son(doc, rows, i, false);
      result = -1;
    }
    if (member && score <= param.win.get_theta_plus()) {
      update_son(doc, rows, i, true);
      result = +1;
    }
  }
  return result;
}

void winnow_pass(const ClassData &father, const SonRecords &records, PassCounts &counts) {
  Rows rows;
  for (const Example &example : make_example_order(father)) {
    DocProfile *doc = database.get_document_profile(example.name);
    log_formatted(4, "training document `%s'", example.name.c_str());
    records.find_rows(*doc, rows);
    int update = update_sons(father.sons, *doc, example.classes, rows);
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
  SonRecords records(sons);
  Rows rows;
  records.find_rows(doc, rows);
  return update_sons(sons, doc, classes, rows);
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
  SonRecords records(father.sons);
  unsigned int passes = 0;
  while (passes < param.win.get_max_iters()) {
    PassCounts counts;
    ++passes;
    winnow_pass(father, records, counts);
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
