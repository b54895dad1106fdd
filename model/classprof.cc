#include "model/classprof.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "driver/eventlog.h"
#include "driver/param.h"
#include "model/classtab.h"
#include "model/docprof.h"

namespace {

// Winnow's counters are signed in memory but never negative in a file.
bool read_counter(std::istream &is, int32_t *value) {
  uint32_t number;
  if (!read_unsigned(is, &number)) return false;
  if (number > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) {
    is.setstate(std::ios::failbit);
    return false;
  }
  *value = static_cast<int32_t>(number);
  return true;
}

// strtod rather than the stream's own conversion, which refuses "inf".
bool read_double(std::istream &is, double *value) {
  std::string word;
  if (!(is >> word)) return false;
  char *end = nullptr;
  *value = strtod(word.c_str(), &end);
  if (end == word.c_str() || *end != '\0') {
    is.setstate(std::ios::failbit);
    return false;
  }
  return true;
}

}  // namespace

bool read_unsigned(std::istream &is, uint64_t *value) {
  is >> std::ws;
  // The stream's own conversion would accept and wrap a leading '-'.
  if (!std::isdigit(is.peek())) {
    is.setstate(std::ios::failbit);
    return false;
  }
  unsigned long long number;
  if (!(is >> number)) return false;
  *value = number;
  return true;
}

bool read_unsigned(std::istream &is, uint32_t *value) {
  uint64_t number;
  if (!read_unsigned(is, &number)) return false;
  if (number > std::numeric_limits<uint32_t>::max()) {
    is.setstate(std::ios::failbit);
    return false;
  }
  *value = static_cast<uint32_t>(number);
  return true;
}

bool only_blanks_left(std::istream &is) {
  is >> std::ws;
  return is.peek() == EOF;
}

FeatureInfo *ClassProfile::get_feature(uint32_t term) {
  FeatureMap::iterator it = features.find(term);
  return it == features.end() ? nullptr : &it->second;
}

const FeatureInfo *ClassProfile::get_feature(uint32_t term) const {
  FeatureMap::const_iterator it = features.find(term);
  return it == features.end() ? nullptr : &it->second;
}

uint32_t ClassProfile::get_doc_freq(uint32_t term) const {
  const FeatureInfo *info = get_feature(term);
  return info ? info->doc_freq : 0;
}

uint32_t ClassProfile::get_term_freq(uint32_t term) const {
  const FeatureInfo *info = get_feature(term);
  return info ? info->term_freq : 0;
}

void ClassProfile::extend(unsigned long n) {
  features.reserve(std::min(n / 2, max_size_hint));
}

void ClassProfile::set_init_winnow_weights(double positive, double negative) {
  init_weight = positive;
  init_negative_weight = negative;
}

namespace {

// What a known term adds to a score, before the document's strength for
// Winnow and Rocchio: the same expression for hashed and tabled scoring, so
// that both give the same bits.
double term_factor(const FeatureInfo &info, AlgorithmType algorithm, bool negative) {
  if (algorithm == SBC) return std::log(info.weight);
  return negative ? info.weight - info.negative_weight : info.weight;
}

bool uses_negative_weights(AlgorithmType algorithm) {
  return algorithm == Winnow && param.win.get_negative_weights();
}

}  // namespace

double ClassProfile::predict_score(const DocProfile &doc) const {
  AlgorithmType algorithm = param.gen.get_algorithm();
  bool negative = uses_negative_weights(algorithm);
  double unknown = std::log(sbc_unknown_term_weight);
  double score = 0.0;
  for (const Feature &feature : doc.get_features()) {
    const FeatureInfo *info = get_feature(feature.term);
    if (algorithm == SBC)
      score += info ? term_factor(*info, algorithm, negative) : unknown;
    else if (info)
      score += term_factor(*info, algorithm, negative) * feature.strength;
  }
  return score;
}

namespace {

// No term id: the term table never gives it out.
const uint32_t free_slot = 0xffffffffU;

uint32_t slot_of(uint32_t term, uint32_t mask) {
  // Fibonacci hashing spreads neighbouring ids over the table.
  return static_cast<uint32_t>((term * 0x9e3779b97f4a7c15ULL) >> 32) & mask;
}

}  // namespace

ScoringTable::ScoringTable(const std::vector<const ClassProfile *> &profiles)
    : width(profiles.size()) {
  AlgorithmType algorithm = param.gen.get_algorithm();
  bool negative = uses_negative_weights(algorithm);
  sbc = algorithm == SBC;
  size_t terms = 0;
  for (const ClassProfile *profile : profiles) terms += profile->features.size();
  size_t size = 16;
  while (size < 2 * terms) size *= 2;
  slots.assign(size, Slot{free_slot, 0});
  mask = static_cast<uint32_t>(size - 1);
  for (size_t i = 0; i < width; ++i) {
    for (const auto &entry : profiles[i]->features) {
      mivo_assert(entry.first != free_slot);
      uint32_t at = slot_of(entry.first, mask);
      while (slots[at].term != free_slot && slots[at].term != entry.first) at = (at + 1) & mask;
      if (slots[at].term == free_slot) {
        slots[at] = Slot{entry.first, static_cast<uint32_t>(known.size() / width)};
        factor.resize(known.size() + width, 0.0);
        known.resize(known.size() + width, 0);
      }
      size_t cell = slots[at].row * width + i;
      factor[cell] = term_factor(entry.second, algorithm, negative);
      known[cell] = 1;
    }
  }
}

long ScoringTable::find(uint32_t term) const {
  for (uint32_t at = slot_of(term, mask);; at = (at + 1) & mask) {
    if (slots[at].term == term) return slots[at].row;
    if (slots[at].term == free_slot) return -1;
  }
}

void ScoringTable::predict_scores(const DocProfile &doc, std::vector<double> &scores) const {
  double unknown = std::log(sbc_unknown_term_weight);
  scores.assign(width, 0.0);
  for (const Feature &feature : doc.get_features()) {
    long row = find(feature.term);
    if (row < 0 && !sbc) continue;
    const double *factors = row < 0 ? nullptr : &factor[row * width];
    const uint8_t *knowns = row < 0 ? nullptr : &known[row * width];
    for (size_t i = 0; i < width; ++i) {
      bool is_known = knowns != nullptr && knowns[i];
      if (sbc)
        scores[i] += is_known ? factors[i] : unknown;
      else if (is_known)
        scores[i] += factors[i] * feature.strength;
    }
  }
}

namespace {

// In term order, so that the same profile always gives the same file: the
// hash order would follow the history of the map (how it was sized and
// filled), and a rerun after a crash must store what an uninterrupted run did.
std::vector<uint32_t> sorted_terms(const FeatureMap &features) {
  std::vector<uint32_t> terms;
  terms.reserve(features.size());
  for (const auto &entry : features) terms.push_back(entry.first);
  std::sort(terms.begin(), terms.end());
  return terms;
}

}  // namespace

// In term order, so that the sum does not depend on how the map was filled.
void ClassProfile::sum_term_strength(uint32_t class_id) const {
  std::vector<std::pair<uint32_t, double>> strengths;
  strengths.reserve(features.size());
  for (const auto &entry : features) strengths.emplace_back(entry.first, entry.second.strength);
  std::sort(strengths.begin(), strengths.end());
  ClassData &data = class_table.get_data(class_id);
  for (const auto &entry : strengths) data.sum_strength += entry.second;
}

bool ClassProfile::write(std::ostream &os, uint64_t sum_freq) const {
  os.unsetf(std::ios::floatfield);
  os.precision(6);
  os << features.size() << '\t' << sum_freq << '\t' << theta << '\n';
  if (!os) return false;
  AlgorithmType algorithm = param.gen.get_algorithm();
  for (uint32_t term : sorted_terms(features)) {
    const FeatureInfo &info = features.at(term);
    os << term << '\t' << info.term_freq << '\t' << info.doc_freq << '\t';
    if (algorithm == Winnow)
      os << info.promotions << '\t' << info.demotions << '\t';
    else if (algorithm == Rocchio)
      os << info.weight << '\t';
    os << '\n';
    if (!os) return false;
  }
  return os.good();
}

bool ClassProfile::read(std::istream &is, uint64_t *sum_freq) {
  uint32_t count;
  if (!read_unsigned(is, &count) || !read_unsigned(is, sum_freq) ||
      !(is >> theta))
    return false;
  features.reserve(std::min<unsigned long>(count / 2, max_size_hint));
  AlgorithmType algorithm = param.gen.get_algorithm();
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t term;
    FeatureInfo info;
    if (!read_unsigned(is, &term) || !read_unsigned(is, &info.term_freq) ||
        !read_unsigned(is, &info.doc_freq))
      return false;
    if (algorithm == Winnow && !(read_counter(is, &info.promotions) &&
                                 read_counter(is, &info.demotions)))
      return false;
    if (algorithm == Rocchio && !(is >> info.weight)) return false;
    // A term listed twice means the file is damaged.
    if (!features.emplace(term, info).second) return false;
  }
  return only_blanks_left(is);
}

bool ClassProfile::write_weights(std::ostream &os) const {
  std::vector<uint32_t> terms = sorted_terms(features);
  os.unsetf(std::ios::floatfield);
  os.precision(std::numeric_limits<double>::max_digits10);
  os << terms.size() << '\t' << theta << '\n';
  for (uint32_t term : terms) {
    const FeatureInfo &info = features.at(term);
    os << term << '\t' << info.weight << '\t' << info.negative_weight << '\n';
    if (!os) return false;
  }
  return os.good();
}

bool ClassProfile::read_weights(std::istream &is) {
  uint32_t count;
  double stored_theta;
  if (!read_unsigned(is, &count) || !read_double(is, &stored_theta)) return false;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t term;
    double weight, negative_weight;
    if (!read_unsigned(is, &term) || !read_double(is, &weight) ||
        !read_double(is, &negative_weight))
      return false;
    FeatureInfo *info = get_feature(term);
    if (info == nullptr) return false;
    info->weight = weight;
    info->negative_weight = negative_weight;
  }
  if (!only_blanks_left(is)) return false;
  theta = stored_theta;
  return true;
}
