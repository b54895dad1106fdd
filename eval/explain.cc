#include "eval/explain.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

#include "base/eventlog.h"
#include "base/fileio.h"
#include "base/options.h"
#include "base/utils.h"
#include "model/atomtab.h"
#include "model/classtab.h"
#include "model/docprof.h"
#include "model/termtab.h"

namespace {

const char *const explain_file_name = "explain.dat";

// Fixed decimals, so that parts of any size add up to the printed score to
// the last place, whatever the share of each.
std::string number(double value) {
  char buffer[64];
  snprintf(buffer, sizeof buffer, "%.6f", value);
  return buffer;
}

// The head's text, and the modifier's after a tab when the term has one.
std::string term_text(uint32_t id) {
  const TermTable::Term &term = term_table.get_term(id);
  std::string text = atom_text(term.head);
  if (term.mod != NoId) text += "\t" + atom_text(term.mod);
  return text;
}

}  // namespace

Explanations::Explanations(unsigned int count) : terms(count) {}

void Explanations::explain(const char *phase, const std::string &name, const DocProfile &doc,
                           const FrozenScorer &scorer,
                           const std::vector<const ClassData *> &decided,
                           const Ranks &candidates) {
  ++documents;
  text << "document\t" << phase << '\t' << name << ".txt\n";
  for (const ClassData *data : decided) explain_class(*data, "decided", doc, scorer);
  for (const Ranking &entry : candidates) {
    if (std::find(decided.begin(), decided.end(), entry.class_data) != decided.end()) continue;
    explain_class(*entry.class_data, "undecided", doc, scorer);
    break;
  }
}

// The score shown is the scorer's own, the one the decision compared; the
// parts are worked out afresh from the rule's pieces.
void Explanations::explain_class(const ClassData &data, const char *role, const DocProfile &doc,
                                 const FrozenScorer &scorer) {
  const ClassData &father = *data.father;
  std::vector<double> scores;
  scorer.get_scores(father, scores);
  size_t index = std::find(father.sons.begin(), father.sons.end(), &data) - father.sons.begin();
  mivo_assert(index < scores.size());
  text << "class\t" << role << '\t';
  class_table.print_full_name(text, data.id);
  text << "\tscore\t" << number(scores[index]) << "\tthreshold\t"
       << number(data.profile.get_theta()) << '\n';

  std::vector<Part> parts;
  // Winnow and Rocchio sum linear addends, SBC log probabilities: the same
  // test by which the frozen scorer picks its tables.
  if (rule.skips_unknown()) {
    linear_parts(data, doc, parts);
    write_parts(parts);
    return;
  }
  SbcRest rest;
  sbc_posterior(data, doc, &parts, &rest);
  // From the root down, each level's log probability added to those above,
  // as the scorer sums them.
  std::vector<const ClassData *> path;
  for (const ClassData *up = &father; up->father != nullptr; up = up->father) path.push_back(up);
  for (auto up = path.rbegin(); up != path.rend(); ++up)
    rest.ancestors = sbc_posterior(**up, doc, nullptr, nullptr) + rest.ancestors;
  write_parts(parts);
  text << "prior\t" << number(rest.prior) << "\nsiblings\t" << number(rest.siblings)
       << "\nancestors\t" << number(rest.ancestors) << '\n';
}

// Each term's addend with the document's strength relative to the father,
// as training works it out.
void Explanations::linear_parts(const ClassData &data, const DocProfile &doc,
                                std::vector<Part> &parts) const {
  const ClassData &father = *data.father;
  const std::vector<Feature> &features = doc.get_features();
  std::vector<uint32_t> doc_freqs;
  for (const Feature &feature : features) {
    const FeatureInfo *info = father.profile.get_feature(feature.term);
    doc_freqs.push_back(info != nullptr ? info->doc_freq : 0);
  }
  std::vector<double> strengths;
  doc.compute_strengths(father.num_docs, doc_freqs, strengths);
  for (size_t k = 0; k < features.size(); ++k) {
    const FeatureInfo *info = data.profile.get_feature(features[k].term);
    double factor = info != nullptr ? rule.factor(*info) : rule.get_unknown_factor();
    parts.push_back(Part{features[k].term,
                         ScoringRule::addend(factor, rule.term_weight(strengths[k]))});
  }
}

// A son's log probability among its siblings is its joint less the
// log-sum-exp of theirs, which no term can be given a share of as it
// stands. Taken apart around the siblings' mean joint, each weighed by its
// probability, it is exact all the same: log p(son) = (joint(son) - mean) +
// sum over siblings of p log p. So a term's part is how much more it gives
// the son than the siblings give on average (a term all of them know alike
// gives nothing), the prior's part likewise, and the siblings' part is the
// last sum, their normalisation: at most 0.0, 0.0 when one sibling takes
// all. The joints are summed as the scorer sums them.
double Explanations::sbc_posterior(const ClassData &data, const DocProfile &doc,
                                   std::vector<Part> *parts, SbcRest *rest) const {
  const ClassData &father = *data.father;
  size_t sons = father.sons.size();
  std::vector<uint32_t> known;  // the terms the father knows, in the document's order
  std::vector<double> counts;
  for (const Feature &feature : doc.get_features()) {
    if (father.profile.get_feature(feature.term) == nullptr) continue;
    known.push_back(feature.term);
    counts.push_back(rule.sbc_occurrences(feature.freq));
  }
  size_t vocabulary = father.profile.features.size();
  std::vector<double> log_priors(sons), posteriors(sons);
  std::vector<double> shares(parts != nullptr ? sons * known.size() : 0);  // by son, then term
  size_t index = sons;
  for (size_t i = 0; i < sons; ++i) {
    const ClassData &son = *father.sons[i];
    if (&son == &data) index = i;
    double log_denominator = ScoringRule::sbc_log_denominator(son.sum_freq, vocabulary);
    double factors = 0.0, occurrences = 0.0;
    for (size_t k = 0; k < known.size(); ++k) {
      const FeatureInfo *info = son.profile.get_feature(known[k]);
      uint32_t term_freq = info != nullptr ? info->term_freq : 0;
      factors += ScoringRule::addend(ScoringRule::sbc_term_factor(term_freq), counts[k]);
      occurrences += counts[k];
      if (parts != nullptr)
        shares[i * known.size() + k] =
            ScoringRule::sbc_term_share(term_freq, counts[k], log_denominator);
    }
    log_priors[i] = ScoringRule::sbc_log_prior(son.num_docs, father.num_docs);
    posteriors[i] = ScoringRule::sbc_joint(log_priors[i], factors, occurrences, log_denominator);
  }
  mivo_assert(index < sons);
  ScoringRule::sbc_posteriors(posteriors.data(), sons);
  if (parts == nullptr) return posteriors[index];
  // Siblings at -infinity weigh nothing, and their -infinite priors must
  // not turn the mean into 0 x -infinity.
  std::vector<double> weights(sons);
  for (size_t i = 0; i < sons; ++i) weights[i] = std::exp(posteriors[i]);
  for (size_t k = 0; k < known.size(); ++k) {
    double mean = 0.0;
    for (size_t i = 0; i < sons; ++i)
      if (weights[i] != 0.0) mean += weights[i] * shares[i * known.size() + k];
    parts->push_back(Part{known[k], shares[index * known.size() + k] - mean});
  }
  double mean_prior = 0.0;
  rest->siblings = 0.0;
  for (size_t i = 0; i < sons; ++i) {
    if (weights[i] == 0.0) continue;
    mean_prior += weights[i] * log_priors[i];
    rest->siblings += weights[i] * posteriors[i];
  }
  rest->prior = log_priors[index] - mean_prior;
  return posteriors[index];
}

// The terms that count, merged should the document name one twice, by
// absolute contribution and then by text; the first ones, then the others
// together.
void Explanations::write_parts(std::vector<Part> &parts) {
  std::map<uint32_t, double> merged;
  for (const Part &part : parts) merged[part.term] += part.value;
  struct Line {
    double value;
    std::string text;
  };
  std::vector<Line> lines;
  for (const auto &entry : merged)
    if (entry.second != 0.0) lines.push_back(Line{entry.second, term_text(entry.first)});
  std::sort(lines.begin(), lines.end(), [](const Line &a, const Line &b) {
    double x = std::fabs(a.value), y = std::fabs(b.value);
    return x != y ? x > y : a.text < b.text;
  });
  size_t shown = std::min<size_t>(terms, lines.size());
  for (size_t i = 0; i < shown; ++i)
    text << "term\t" << number(lines[i].value) << '\t' << lines[i].text << '\n';
  double others = 0.0;
  for (size_t i = shown; i < lines.size(); ++i) others += lines[i].value;
  text << "rest\t" << number(others) << '\t' << lines.size() - shown << '\n';
}

std::string Explanations::write() const {
  if (documents == 0) return std::string();
  std::string path = PathName(options.get_examples_directory(), explain_file_name).get();
  log_formatted(2, "writing explanations to `%s'", path.c_str());
  replace_file(path, text.str(), 0664);
  return path;
}
