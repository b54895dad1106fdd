// Class profiles: per class, the terms of its training documents with their
// counts and learned weights, the document strengths summed while a father
// is trained, and the class's decision threshold. Each profile is saved as
// one ".cpf" text file.
#ifndef MIVO_MODEL_CLASSPROF_H
#define MIVO_MODEL_CLASSPROF_H

#include <cstdint>
#include <istream>
#include <ostream>
#include <utility>
#include <vector>

#include "base/param.h"
#include "model/ids.h"

// One term of a class profile; every field starts at zero. A million
// documents make tens of millions of these: the summed strengths, which only
// a father's training reads, are kept apart (FeatureMap::keep_strengths).
struct FeatureInfo {
  uint32_t term_freq = 0;  // occurrences in the class's training documents
  uint32_t doc_freq = 0;   // training documents that contain the term
  double weight = 0.0;
  double negative_weight = 0.0;
  int32_t promotions = 0;
  int32_t demotions = 0;
};

// Term id -> a 32-bit value (a position, a row), in an open-addressing table
// with linear probing: a lookup is a probe into one small contiguous array.
// NoId is never a term: the term table never gives it out.
class TermIndex {
 public:
  TermIndex() : count(0), mask(0) {}
  size_t size() const { return count; }
  // Room for n terms without growing.
  void reserve(size_t n);
  // The term's value, or NoId.
  uint32_t find(uint32_t term) const {
    if (slots.empty() || term == NoId) return NoId;
    const Slot &slot = slots[probe(term)];
    return slot.term == NoId ? NoId : slot.value;
  }
  // Asks for the slot where the term's lookup starts.
  void prefetch(uint32_t term) const {
    if (!slots.empty()) __builtin_prefetch(&slots[home(term)]);
  }
  // Enters the term unless it is present or reserved; true when entered.
  bool insert(uint32_t term, uint32_t value);
  // Changes the value of a present term.
  void set(uint32_t term, uint32_t value);
  // True when the term was present.
  bool erase(uint32_t term);

 private:
  struct Slot {
    uint32_t term;
    uint32_t value;
  };
  // Fibonacci hashing spreads neighbouring ids over the table.
  size_t home(uint32_t term) const {
    return static_cast<size_t>((term * 0x9e3779b97f4a7c15ULL) >> 32) & mask;
  }
  // The slot holding the term, or the free slot where it would go.
  size_t probe(uint32_t term) const {
    size_t at = home(term);
    while (slots[at].term != NoId && slots[at].term != term) at = (at + 1) & mask;
    return at;
  }
  void grow(size_t capacity);

  std::vector<Slot> slots;  // a power of two, at most three quarters full
  size_t count;
  size_t mask;
};

// A profile's terms, keyed by term id: the records lie in one vector, in
// order of entry, and an open-addressing index of (term, position) pairs with
// linear probing finds them. A lookup costs a probe into a small array and
// one record, where a node-based map costs a bucket and a node; learners and
// tests look up every term of every document in several profiles. Erasing
// moves the last record into the gap. References and iterators stay valid
// until the next insertion or erasure.
//
// Beside the records, and only while kept, each term's summed document
// strengths relative to the class, by position; they start at zero.
class FeatureMap {
 public:
  typedef std::pair<uint32_t, FeatureInfo> value_type;
  typedef std::vector<value_type>::iterator iterator;
  typedef std::vector<value_type>::const_iterator const_iterator;

  size_t size() const { return records.size(); }
  bool empty() const { return records.empty(); }
  // Room for n records without growing the index.
  void reserve(size_t n);
  // Gives back the room that growing left beyond the records.
  void shrink_to_fit() { records.shrink_to_fit(); }

  iterator find(uint32_t term);
  const_iterator find(uint32_t term) const;
  // Ask for what a lookup of the term reads: first its slot in the index,
  // then, once that is at hand, its record. A caller with many terms asks
  // some terms ahead, so that the misses of a large profile overlap.
  void prefetch_slot(uint32_t term) const { index.prefetch(term); }
  void prefetch_record(uint32_t term) const {
    uint32_t position = index.find(term);
    if (position != NoId) __builtin_prefetch(&records[position]);
  }
  // The term's position among the records, or NoId.
  uint32_t position(uint32_t term) const { return index.find(term); }
  // The term's record, a zero-filled one entered if absent.
  FeatureInfo &operator[](uint32_t term);
  // Enters the record unless the term is present (or is the reserved id
  // 0xffffffff); true when entered.
  bool insert(uint32_t term, const FeatureInfo &info);
  // 1 when the term was present, 0 otherwise.
  size_t erase(uint32_t term);

  iterator begin() { return records.begin(); }
  iterator end() { return records.end(); }
  const_iterator begin() const { return records.begin(); }
  const_iterator end() const { return records.end(); }

  // The summed strengths: made (zero) unless kept already, read and changed
  // by position, and let go.
  void keep_strengths() {
    strengths_kept = true;
    strengths.resize(records.size(), 0.0);
  }
  bool has_strengths() const { return strengths_kept; }
  double &strength_at(size_t position) { return strengths[position]; }
  double strength_at(size_t position) const { return strengths[position]; }
  void drop_strengths() {
    strengths_kept = false;
    std::vector<double>().swap(strengths);
  }

 private:
  std::vector<value_type> records;
  std::vector<double> strengths;  // one per record while kept
  bool strengths_kept = false;
  TermIndex index;  // term -> position in records
};

class ClassProfile {
 public:
  ClassProfile() : theta(1.0) {}

  // The term's record, or null when the term is not in the profile.
  FeatureInfo *get_feature(uint32_t term);
  const FeatureInfo *get_feature(uint32_t term) const;

  double get_theta() const { return theta; }
  void set_theta(double t) { theta = t; }

  // Adds the strength of every term to the sum_strength of class class_id.
  void sum_term_strength(uint32_t class_id) const;

  // The profile file; its per-term fields are those the algorithm keeps
  // (Winnow's update counts, Rocchio's weight, none for SBC). sum_freq is
  // the class's occurrence count, kept in the header.
  bool write(std::ostream &os, uint64_t sum_freq, AlgorithmType algorithm) const;
  // Reads a profile file written for the algorithm into this empty profile;
  // false on any damage.
  bool read(std::istream &is, uint64_t *sum_freq, AlgorithmType algorithm);

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
};

// Upper bound on the number of buckets a sizing hint may reserve.
const unsigned long max_size_hint = 1UL << 20;

// Read a decimal number with no sign (after white space) from a data file;
// false, with the stream failed, on a sign, a non-digit or a value too large.
bool read_unsigned(std::istream &is, uint64_t *value);
bool read_unsigned(std::istream &is, uint32_t *value);

// True when the stream holds nothing but white space from here on.
bool only_blanks_left(std::istream &is);

#endif  // MIVO_MODEL_CLASSPROF_H
