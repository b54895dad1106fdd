// Document profiles: the terms of one analysed document with their
// frequencies, the blob form in which the profile store keeps them, and the
// per-class term strengths that training and testing compute from them.
#ifndef MIVO_MODEL_DOCPROF_H
#define MIVO_MODEL_DOCPROF_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <vector>

#include "base/param.h"
#include "model/ids.h"

struct ClassData;
class FeatureMap;

// 8 bytes: a phase caches the profiles of up to a million documents, some
// hundreds of features each, so a field added here costs gigabytes. For that
// reason a feature holds no strength: the profile keeps what its strengths
// were divided by, and a reader works each out again from the term's
// inverse document frequency, with the same bits.
struct Feature {
  Feature(uint32_t term_id, uint32_t frequency) : term(term_id), freq(frequency) {}

  uint32_t term;
  uint32_t freq;
};

// A term's raw strength in a document under the strength mode: its
// frequency, 1.0, the square root or 1 + ln of it.
inline double raw_strength(uint32_t freq, unsigned int mode) {
  switch (mode) {
    case bool_strength:
      return freq != 0 ? 1.0 : 0.0;
    case sqrt_strength:
      return std::sqrt(static_cast<double>(freq));
    case ltc_strength:
      // ln(0) would make a term that does not occur infinitely negative.
      return freq != 0 ? std::log(static_cast<double>(freq)) + 1.0 : 0.0;
    default:
      return freq;
  }
}
// A raw strength times an idf, divided by the document's divisor for the
// class unless that is 0.0. Every strength goes through here, whether set
// or worked out again, so that the bits agree.
inline double divided_strength(double strength, double divisor) {
  return divisor != 0.0 ? strength / divisor : strength;
}

class DocProfile {
 public:
  DocProfile() : sum_freq(0) {}

  // Appends a feature; entering a term twice gives two features.
  void enter_term(uint32_t term, uint32_t freq);
  uint64_t get_sum_freq() const { return sum_freq; }
  const std::vector<Feature> &get_features() const { return features; }

  // A new blob of native 32-bit words: the feature count, then term and freq
  // of each feature, then a checksum of those words. The caller releases it
  // with g_free.
  bool write(char **contents, size_t *len) const;
  // Appends the features of a blob; false, with the profile unchanged, when
  // the blob is not 8 + 8 x count bytes long with a matching checksum, nor
  // 4 + 8 x count bytes long (a blob stored before checksums).
  bool read(const char *contents, size_t len);

  // Makes the strengths relative to the class (by the strength and
  // normalisation modes in force) until another class is given: the
  // profile keeps the class and what the strengths are divided by, and adds
  // each strength into the sums the class's profile keeps, which it starts
  // keeping if it did not.
  void set_class_document_strengths(uint32_t class_id);
  // That class, or NoId before any.
  uint32_t get_strength_class() const { return strength_class; }
  // Feature k's strength relative to that class, given its term's inverse
  // document frequency there and the strength mode in force; bit for bit
  // what was added into the sums.
  double get_strength(size_t k, double idf, unsigned int mode) const {
    return divided_strength(raw_strength(features[k].freq, mode) * idf, divisor);
  }
  // Every feature's strength relative to that class, from its profile as it
  // is now (all 0.0 before any class was given).
  void get_strengths(std::vector<double> &strengths) const;
  // Every feature's strength relative to a class of num_docs documents in
  // which feature i's term has doc_freqs[i] (0 for a term it lacks),
  // leaving the profile as it is; returns what they were divided by, 0.0
  // when they were not.
  double compute_strengths(uint32_t num_docs, const std::vector<uint32_t> &doc_freqs,
                           std::vector<double> &strengths) const;
  // Keeps only the features whose term passes is_selected, in their order.
  void keep_terms(const std::function<bool(uint32_t)> &is_selected);

 private:
  // Each feature's position in the class profile's terms, or NoId.
  void find_terms(const FeatureMap &map, std::vector<uint32_t> &positions) const;

  std::vector<Feature> features;
  uint64_t sum_freq;  // of freq over features
  uint32_t strength_class = NoId;
  double divisor = 0.0;  // of the strengths relative to strength_class, or 0.0
};

// The inverse document frequency ln(num_docs / doc_freq) that weighs a
// term's strength relative to a class; 0.0 for a term the class does not
// know, and for one whose stored doc_freq exceeds num_docs.
double inverse_doc_freq(uint32_t num_docs, uint32_t doc_freq);
// What a strength adds to a document's normalisation total under the mode:
// its square for vector normalisation, itself otherwise.
double normalisation_share(double strength, unsigned int normalize);
// What the strengths are divided by once the total is complete: its square
// root or itself, or 0.0 when they are not divided (normalisation off, or
// a zero total: strengths are never negative, so all are 0.0 and stay so
// rather than become 0/0).
double normalisation_divisor(double total, unsigned int normalize);

// 1000 x freq / sum_freq, truncated, plus one only when the fraction left is
// above one half.
uint32_t per_mille(uint32_t freq, uint64_t sum_freq);

#endif  // MIVO_MODEL_DOCPROF_H
