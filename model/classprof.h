// Class profiles: per class, the terms of its training documents with their
// counts, summed document strengths and learned weights, and the class's
// decision threshold. Each profile is saved as one ".cpf" text file.
#ifndef MIVO_MODEL_CLASSPROF_H
#define MIVO_MODEL_CLASSPROF_H

#include <cstdint>
#include <istream>
#include <ostream>
#include <unordered_map>
#include <vector>

class DocProfile;

// One term of a class profile; every field starts at zero.
struct FeatureInfo {
  uint32_t term_freq = 0;  // occurrences in the class's training documents
  uint32_t doc_freq = 0;   // training documents that contain the term
  double strength = 0.0;   // summed document strengths relative to the class
  double weight = 0.0;
  double negative_weight = 0.0;
  int32_t promotions = 0;
  int32_t demotions = 0;
};

typedef std::unordered_map<uint32_t, FeatureInfo> FeatureMap;

class ClassProfile {
 public:
  ClassProfile() : theta(1.0), init_weight(0.0), init_negative_weight(0.0) {}

  // The term's record, or null when the term is not in the profile.
  FeatureInfo *get_feature(uint32_t term);
  const FeatureInfo *get_feature(uint32_t term) const;
  // 0 when the term is absent.
  uint32_t get_doc_freq(uint32_t term) const;
  uint32_t get_term_freq(uint32_t term) const;
  // Sizing hint for about n/2 terms, capped so that huge vocabularies
  // times many classes do not reserve memory for empty buckets.
  void extend(unsigned long n);

  double get_theta() const { return theta; }
  void set_theta(double t) { theta = t; }
  void set_init_winnow_weights(double positive, double negative);
  double get_init_weight() const { return init_weight; }
  double get_init_negative_weight() const { return init_negative_weight; }

  // Score of the document for this class under the training algorithm in
  // force: summed weighted strengths (Winnow, Rocchio), or for SBC the sum of
  // the logarithms of the term weights, sbc_unknown_term_weight standing in
  // for an unknown term (a product would underflow on long documents).
  double predict_score(const DocProfile &doc) const;

  // Adds the strength of every term to the sum_strength of class class_id.
  void sum_term_strength(uint32_t class_id) const;

  // The profile file; its per-term fields depend on the training algorithm in
  // force. sum_freq is the class's occurrence count, kept in the header.
  bool write(std::ostream &os, uint64_t sum_freq) const;
  // Reads a profile file into this empty profile; false on any damage.
  bool read(std::istream &is, uint64_t *sum_freq);

  // The weights file kept beside the profile file: theta, then each term's
  // weight and negative weight, at full precision, so that a stored profile
  // scores as the trained one did. Text: "count<TAB>theta", then one
  // "term<TAB>weight<TAB>negative_weight" line per term, in term order.
  bool write_weights(std::ostream &os) const;
  // Sets theta and the weights of terms already read from the profile file;
  // false on any damage or on a term the profile does not hold.
  bool read_weights(std::istream &is);

  FeatureMap features;

 private:
  double theta;
  double init_weight;
  double init_negative_weight;
};

// The factors per term of several class profiles (the sons of one class, as
// a rule) in one flat open-addressing table: one probe into contiguous
// memory per term of a document scores it for all of them, exactly as
// ClassProfile::predict_score does each. For scoring many documents against
// profiles whose weights no longer change.
class ScoringTable {
 public:
  // Takes the profiles' weights under the training algorithm in force.
  explicit ScoringTable(const std::vector<const ClassProfile *> &profiles);
  // scores[i] becomes the score of the document for profiles[i].
  void predict_scores(const DocProfile &doc, std::vector<double> &scores) const;

 private:
  struct Slot {
    uint32_t term;
    uint32_t row;  // into factor and known, one entry a profile
  };
  // The row of the term, or -1 when no profile holds it.
  long find(uint32_t term) const;

  size_t width;  // the number of profiles
  std::vector<Slot> slots;  // a power of two, at most half full
  uint32_t mask;
  std::vector<double> factor;
  std::vector<uint8_t> known;
  bool sbc;
};

// The weight SBC gives a term that a class does not know.
const double sbc_unknown_term_weight = 0.01;

// Upper bound on the number of buckets a sizing hint may reserve.
const unsigned long max_size_hint = 1UL << 20;

// Read a decimal number with no sign (after white space) from a data file;
// false, with the stream failed, on a sign, a non-digit or a value too large.
bool read_unsigned(std::istream &is, uint64_t *value);
bool read_unsigned(std::istream &is, uint32_t *value);

// True when the stream holds nothing but white space from here on.
bool only_blanks_left(std::istream &is);

#endif  // MIVO_MODEL_CLASSPROF_H
