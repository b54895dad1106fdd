// Document profiles: the terms of one analysed document with their
// frequencies, the blob form in which the profile store keeps them, and the
// per-class term strengths that training and testing compute from them.
#ifndef MIVO_MODEL_DOCPROF_H
#define MIVO_MODEL_DOCPROF_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <set>
#include <vector>

struct ClassData;

// 16 bytes with no padding: a phase caches the profiles of up to a million
// documents, some hundreds of features each, so a field added here costs
// gigabytes.
struct Feature {
  Feature(uint32_t term_id, uint32_t frequency)
      : term(term_id), freq(frequency), strength(0.0) {}

  uint32_t term;
  uint32_t freq;
  // Relative to the class last given to set_class_document_strengths.
  double strength;
};

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

  // Sets every feature's strength relative to the class (by the strength and
  // normalisation modes in force) and adds it into the strengths its profile
  // keeps, which it starts keeping if it did not.
  void set_class_document_strengths(uint32_t class_id);
  // Only sets the strengths, relative to a class of num_docs documents in
  // which feature i's term has doc_freqs[i] (0 for a term it lacks).
  void set_document_strengths(uint32_t num_docs, const std::vector<uint32_t> &doc_freqs);
  // Keeps only the features whose term passes is_selected, in their order.
  void keep_terms(const std::function<bool(uint32_t)> &is_selected);

 private:
  std::vector<Feature> features;
  uint64_t sum_freq;  // of freq over features
};

// A term's raw strength in a document under the strength mode: its
// frequency, 1.0, the square root or 1 + ln of it.
double raw_strength(uint32_t freq, unsigned int mode);
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
