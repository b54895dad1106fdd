#include "model/docprof.h"

#include <glib.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "base/eventlog.h"
#include "base/param.h"
#include "model/classtab.h"

namespace {

// Blob words are 32 bits in every build, in the host's byte order.
const size_t word_size = sizeof(uint32_t);

void put_word(char **p, uint32_t word) {
  memcpy(*p, &word, word_size);
  *p += word_size;
}

uint32_t get_word(const char *p) {
  uint32_t word;
  memcpy(&word, p, word_size);
  return word;
}

// FNV-1a over the bytes: any flipped bit or swapped word changes it.
uint32_t blob_checksum(const char *p, size_t len) {
  uint32_t hash = 2166136261U;
  for (size_t i = 0; i < len; ++i) {
    hash ^= static_cast<unsigned char>(p[i]);
    hash *= 16777619U;
  }
  return hash;
}

}  // namespace

// In incremental runs a stored df can exceed this run's N; the factor is then
// 0.0 rather than negative.
double inverse_doc_freq(uint32_t num_docs, uint32_t doc_freq) {
  if (doc_freq == 0 || doc_freq > num_docs) return 0.0;
  return std::log(static_cast<double>(num_docs) / doc_freq);
}

double normalisation_share(double strength, unsigned int normalize) {
  return normalize == normalize_vector ? strength * strength : strength;
}

double normalisation_divisor(double total, unsigned int normalize) {
  if (normalize == normalize_vector) return std::sqrt(total);
  return normalize == normalize_linear ? total : 0.0;
}

uint32_t per_mille(uint32_t freq, uint64_t sum_freq) {
  if (sum_freq == 0) return 0;  // only features of frequency 0
  double fraction = 1000.0 * freq / static_cast<double>(sum_freq);
  uint32_t rounded = static_cast<uint32_t>(fraction);
  if (fraction - rounded > 0.5) ++rounded;
  return rounded;
}

void DocProfile::enter_term(uint32_t term, uint32_t freq) {
  features.emplace_back(term, freq);
  sum_freq += freq;
}

bool DocProfile::write(char **contents, size_t *len) const {
  mivo_assert(features.size() <= std::numeric_limits<uint32_t>::max());
  *len = word_size * (2 + 2 * features.size());
  char *blob = static_cast<char *>(g_malloc(*len));
  char *p = blob;
  put_word(&p, static_cast<uint32_t>(features.size()));
  for (const Feature &feature : features) {
    put_word(&p, feature.term);
    put_word(&p, feature.freq);
  }
  put_word(&p, blob_checksum(blob, *len - word_size));
  *contents = blob;
  return true;
}

bool DocProfile::read(const char *contents, size_t len) {
  mivo_assert(contents);
  // A store record cut short (or padded) is not a profile.
  if (len < word_size) return false;
  uint32_t count = get_word(contents);
  uint64_t words = 1 + 2 * static_cast<uint64_t>(count);
  // Blobs stored before checksums existed end with the last pair.
  if (len == word_size * (words + 1)) {
    if (get_word(contents + word_size * words) != blob_checksum(contents, word_size * words))
      return false;
  } else if (len != word_size * words) {
    return false;
  }
  features.reserve(features.size() + count);
  for (const char *p = contents + word_size; count > 0; --count) {
    enter_term(get_word(p), get_word(p + word_size));
    p += 2 * word_size;
  }
  return true;
}

// The slots first, then the records: the misses of a large profile
// overlap.
void DocProfile::find_terms(const FeatureMap &map, std::vector<uint32_t> &positions) const {
  for (const Feature &feature : features) map.prefetch_slot(feature.term);
  positions.resize(features.size());
  for (size_t k = 0; k < features.size(); ++k) {
    positions[k] = map.position(features[k].term);
    if (positions[k] != NoId) __builtin_prefetch(&*(map.begin() + positions[k]));
  }
}

void DocProfile::set_class_document_strengths(uint32_t class_id) {
  ClassData &data = class_table.get_data(class_id);
  FeatureMap &map = data.profile.features;
  map.keep_strengths();
  std::vector<uint32_t> positions, doc_freqs;
  find_terms(map, positions);
  doc_freqs.reserve(features.size());
  for (uint32_t position : positions)
    doc_freqs.push_back(position != NoId ? (map.begin() + position)->second.doc_freq : 0);
  std::vector<double> strengths;
  divisor = compute_strengths(data.num_docs, doc_freqs, strengths);
  strength_class = class_id;
  for (size_t i = 0; i < features.size(); ++i)
    if (positions[i] != NoId) map.strength_at(positions[i]) += strengths[i];
}

void DocProfile::get_strengths(std::vector<double> &strengths) const {
  strengths.assign(features.size(), 0.0);
  if (strength_class == NoId) return;
  const ClassData &data = class_table.get_data(strength_class);
  const FeatureMap &map = data.profile.features;
  std::vector<uint32_t> positions;
  find_terms(map, positions);
  unsigned int mode = param.gen.get_strength_mode();
  for (size_t k = 0; k < features.size(); ++k) {
    if (positions[k] == NoId) continue;  // an idf of 0.0
    uint32_t doc_freq = (map.begin() + positions[k])->second.doc_freq;
    double idf = inverse_doc_freq(data.num_docs, doc_freq);
    strengths[k] = get_strength(k, idf, mode);
  }
}

double DocProfile::compute_strengths(uint32_t num_docs, const std::vector<uint32_t> &doc_freqs,
                                     std::vector<double> &strengths) const {
  mivo_assert(doc_freqs.size() == features.size());
  unsigned int mode = param.gen.get_strength_mode();
  unsigned int normalize = param.gen.get_normalize();
  strengths.resize(features.size());
  double total = 0.0;
  for (size_t i = 0; i < features.size(); ++i) {
    strengths[i] = raw_strength(features[i].freq, mode) * inverse_doc_freq(num_docs, doc_freqs[i]);
    total += normalisation_share(strengths[i], normalize);
  }
  double by = normalisation_divisor(total, normalize);
  for (double &strength : strengths) strength = divided_strength(strength, by);
  return by;
}

// A cached profile stays for a whole phase, and a phase may cache a million:
// the kept features end in an array of their own size.
void DocProfile::keep_terms(const std::function<bool(uint32_t)> &is_selected) {
  auto kept = features.begin();
  uint64_t kept_sum = 0;
  for (const Feature &feature : features) {
    if (!is_selected(feature.term)) continue;
    *kept++ = feature;
    kept_sum += feature.freq;
  }
  features.erase(kept, features.end());
  features.shrink_to_fit();
  sum_freq = kept_sum;
}
