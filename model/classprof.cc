#include "model/classprof.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "base/eventlog.h"
#include "base/param.h"
#include "model/classtab.h"

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

void TermIndex::reserve(size_t n) {
  size_t capacity = 16;
  while (capacity * 3 < n * 4) capacity *= 2;
  if (capacity > slots.size()) grow(capacity);
}

bool TermIndex::insert(uint32_t term, uint32_t value) {
  if (term == NoId) return false;
  if ((count + 1) * 4 > slots.size() * 3) grow(std::max<size_t>(16, 2 * slots.size()));
  size_t at = probe(term);
  if (slots[at].term != NoId) return false;
  slots[at] = Slot{term, value};
  ++count;
  return true;
}

void TermIndex::set(uint32_t term, uint32_t value) {
  size_t at = probe(term);
  mivo_assert(slots[at].term == term);
  slots[at].value = value;
}

void TermIndex::grow(size_t capacity) {
  mivo_assert(capacity <= (size_t{1} << 32));
  std::vector<Slot> old(capacity, Slot{NoId, 0});
  old.swap(slots);
  mask = capacity - 1;
  for (const Slot &slot : old)
    if (slot.term != NoId) slots[probe(slot.term)] = slot;
}

// Backward-shift deletion: later members of the probe run move up into the
// gap unless that would put them before their home slot, so that no lookup
// stops early at a free slot.
bool TermIndex::erase(uint32_t term) {
  if (slots.empty() || term == NoId) return false;
  size_t gap = probe(term);
  if (slots[gap].term == NoId) return false;
  for (size_t next = (gap + 1) & mask; slots[next].term != NoId; next = (next + 1) & mask) {
    if (((next - home(slots[next].term)) & mask) >= ((next - gap) & mask)) {
      slots[gap] = slots[next];
      gap = next;
    }
  }
  slots[gap] = Slot{NoId, 0};
  --count;
  return true;
}

void FeatureMap::reserve(size_t n) {
  records.reserve(n);
  index.reserve(n);
}

FeatureMap::iterator FeatureMap::find(uint32_t term) {
  uint32_t position = index.find(term);
  return position == NoId ? end() : records.begin() + position;
}

FeatureMap::const_iterator FeatureMap::find(uint32_t term) const {
  uint32_t position = index.find(term);
  return position == NoId ? end() : records.begin() + position;
}

FeatureInfo &FeatureMap::operator[](uint32_t term) {
  mivo_assert(term != NoId);
  iterator it = find(term);
  if (it != end()) return it->second;
  insert(term, FeatureInfo());
  return records.back().second;
}

bool FeatureMap::insert(uint32_t term, const FeatureInfo &info) {
  if (!index.insert(term, static_cast<uint32_t>(records.size()))) return false;
  records.emplace_back(term, info);
  if (strengths_kept) strengths.push_back(0.0);
  return true;
}

size_t FeatureMap::erase(uint32_t term) {
  uint32_t position = index.find(term);
  if (position == NoId) return 0;
  index.erase(term);
  if (position + 1 != records.size()) {
    records[position] = records.back();
    index.set(records[position].first, position);
    if (strengths_kept) strengths[position] = strengths.back();
  }
  records.pop_back();
  if (strengths_kept) strengths.pop_back();
  return 1;
}

FeatureInfo *ClassProfile::get_feature(uint32_t term) {
  FeatureMap::iterator it = features.find(term);
  return it == features.end() ? nullptr : &it->second;
}

const FeatureInfo *ClassProfile::get_feature(uint32_t term) const {
  FeatureMap::const_iterator it = features.find(term);
  return it == features.end() ? nullptr : &it->second;
}

namespace {

// In term order, so that the same profile always gives the same file: the
// hash order would follow the history of the map (how it was sized and
// filled), and a rerun after a crash must store what an uninterrupted run did.
std::vector<const FeatureMap::value_type *> sorted_terms(const FeatureMap &features) {
  std::vector<const FeatureMap::value_type *> records;
  records.reserve(features.size());
  for (const auto &entry : features) records.push_back(&entry);
  std::sort(records.begin(), records.end(),
            [](const FeatureMap::value_type *a, const FeatureMap::value_type *b) {
              return a->first < b->first;
            });
  return records;
}

}  // namespace

// In term order, so that the sum does not depend on how the map was filled.
void ClassProfile::sum_term_strength(uint32_t class_id) const {
  if (!features.has_strengths()) return;  // all zero
  ClassData &data = class_table.get_data(class_id);
  for (const FeatureMap::value_type *record : sorted_terms(features))
    data.sum_strength += features.strength_at(record - &*features.begin());
}

bool ClassProfile::write(std::ostream &os, uint64_t sum_freq, AlgorithmType algorithm) const {
  os.unsetf(std::ios::floatfield);
  os.precision(6);
  os << features.size() << '\t' << sum_freq << '\t' << theta << '\n';
  if (!os) return false;
  for (const FeatureMap::value_type *record : sorted_terms(features)) {
    uint32_t term = record->first;
    const FeatureInfo &info = record->second;
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

bool ClassProfile::read(std::istream &is, uint64_t *sum_freq, AlgorithmType algorithm) {
  uint32_t count;
  if (!read_unsigned(is, &count) || !read_unsigned(is, sum_freq) ||
      !(is >> theta))
    return false;
  features.reserve(std::min<unsigned long>(count / 2, max_size_hint));
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
    if (!features.insert(term, info)) return false;
  }
  return only_blanks_left(is);
}

bool ClassProfile::write_weights(std::ostream &os) const {
  std::vector<const FeatureMap::value_type *> records = sorted_terms(features);
  os.unsetf(std::ios::floatfield);
  os.precision(std::numeric_limits<double>::max_digits10);
  os << records.size() << '\t' << theta << '\n';
  for (const FeatureMap::value_type *record : records) {
    const FeatureInfo &info = record->second;
    os << record->first << '\t' << info.weight << '\t' << info.negative_weight << '\n';
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
