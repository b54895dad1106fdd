#include "model/classprof.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

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

double ClassProfile::predict_score(const DocProfile &doc) const {
  AlgorithmType algorithm = param.gen.get_algorithm();
  bool negative = algorithm == Winnow && param.win.get_negative_weights();
  double score = 0.0;
  for (const Feature &feature : doc.get_features()) {
    const FeatureInfo *info = get_feature(feature.term);
    if (algorithm == SBC) {
      score += std::log(info ? info->weight : sbc_unknown_term_weight);
    } else if (info) {
      double weight = negative ? info->weight - info->negative_weight : info->weight;
      score += weight * feature.strength;
    }
  }
  return score;
}

void ClassProfile::sum_term_strength(uint32_t class_id) const {
  ClassData &data = class_table.get_data(class_id);
  for (const auto &entry : features) data.sum_strength += entry.second.strength;
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
