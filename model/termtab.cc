#include "model/termtab.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "base/eventlog.h"

namespace {

const uint32_t NoTerm = static_cast<uint32_t>(NoId);
const uint32_t NoAtom = static_cast<uint32_t>(NoId);

// Parses exactly four unsigned 32-bit decimals separated by single blanks.
bool parse_term_line(const std::string &line, unsigned long (&fields)[4]) {
  std::string::size_type pos = 0;
  for (unsigned long &field : fields) {
    if (&field != &fields[0] && (pos >= line.size() || line[pos++] != ' '))
      return false;
    std::string::size_type start = pos;
    field = 0;
    for (; pos < line.size() && line[pos] >= '0' && line[pos] <= '9'; ++pos) {
      field = field * 10 + static_cast<unsigned long>(line[pos] - '0');
      if (field > 4294967295UL) return false;
    }
    if (pos == start) return false;
  }
  return pos == line.size();
}

std::string term_line(const TermTable::Term &term) {
  char line[64];
  snprintf(line, sizeof line, "%" PRIu32 " %" PRIu32 " %" PRIu32 " %" PRIu32,
           term.head, term.mod, term.id, term.next);
  return line;
}

// Spreads the modifier ids, small and dense, over the low bits that pick
// the slot.
inline uint32_t mod_hash(uint32_t mod) {
  uint32_t hash = mod * 0x9e3779b1U;
  hash ^= hash >> 15;
  hash *= 0x85ebca77U;
  hash ^= hash >> 13;
  return hash;
}

}  // namespace

uint32_t TermTable::lookup(const Chain &chain, uint32_t mod) {
  const std::vector<Link> &links = chain.links;
  if (links.empty()) return NoTerm;
  size_t mask = links.size() - 1;
  for (size_t slot = mod_hash(mod) & mask;; slot = (slot + 1) & mask) {
    const Link &entry = links[slot];
    if (entry.id == NoTerm || entry.mod == mod) return entry.id;
  }
}

void TermTable::prefetch_link(unsigned long head, unsigned long mod) const {
  if (head >= chains.size()) return;
  const std::vector<Link> &links = chains[head].links;
  if (links.empty()) return;
  __builtin_prefetch(&links[mod_hash(static_cast<uint32_t>(mod)) & (links.size() - 1)]);
}

// The modifier must not be in the hash yet.
void TermTable::link(Chain &chain, uint32_t mod, uint32_t id) {
  if ((size_t{chain.terms} + 1) * 4 > chain.links.size() * 3)
    resize_links(chain, size_t{chain.terms} + 1);
  std::vector<Link> &links = chain.links;
  size_t mask = links.size() - 1;
  size_t slot = mod_hash(mod) & mask;
  while (links[slot].id != NoTerm) slot = (slot + 1) & mask;
  links[slot] = Link{mod, id};
  ++chain.terms;
}

// Sizes the hash for this many terms, keeping the links it holds.
void TermTable::resize_links(Chain &chain, size_t terms) {
  size_t size = 2;
  while (terms * 4 > size * 3) size *= 2;
  std::vector<Link> old(size, Link{0, NoTerm});
  old.swap(chain.links);
  chain.terms = 0;
  for (const Link &entry : old)
    if (entry.id != NoTerm) link(chain, entry.mod, entry.id);
}

void TermTable::neighbours(const Chain &chain, uint32_t mod, uint32_t &previous,
                           uint32_t &following) {
  const std::vector<uint32_t> &mods = chain.mods;
  previous = following = NoAtom;
  if (!chain.dense) {
    auto place = std::lower_bound(mods.begin(), mods.end(), mod);
    if (place != mods.begin()) previous = place[-1];
    if (place != mods.end()) following = *place;
    return;
  }
  // From the bits beside mod in its word, whole words outwards.
  size_t word = mod / 32;
  if (word < mods.size()) {
    uint32_t below = uint32_t{1} << (mod % 32);
    uint32_t bits = mods[word] & ~(below | (below - 1));
    size_t up = word;
    while (bits == 0 && up + 1 < mods.size()) bits = mods[++up];
    if (bits != 0)
      following = static_cast<uint32_t>(up * 32) +
                  static_cast<uint32_t>(__builtin_ctz(bits));
    bits = mods[word] & (below - 1);
    while (bits == 0 && word > 0) bits = mods[--word];
    if (bits != 0)
      previous = static_cast<uint32_t>(word * 32 + 31) -
                 static_cast<uint32_t>(__builtin_clz(bits));
    return;
  }
  for (word = mods.size(); word-- > 0;)
    if (mods[word] != 0) {
      previous = static_cast<uint32_t>(word * 32 + 31) -
                 static_cast<uint32_t>(__builtin_clz(mods[word]));
      return;
    }
}

void TermTable::add_mod(Chain &chain, uint32_t mod) {
  std::vector<uint32_t> &mods = chain.mods;
  ++chain.count;
  if (chain.dense) {
    size_t words = mod / 32 + 1;
    if (words <= mods.size()) {
      mods[mod / 32] |= uint32_t{1} << (mod % 32);
      return;
    }
    // New atoms have the greatest ids, so a bitmap grows by a word at a time:
    // room for an eighth more saves most moves without much waste.
    if (words <= 2 * size_t{chain.count}) {
      if (words > mods.capacity()) mods.reserve(words + words / 8);
      mods.resize(words, 0);
      mods[mod / 32] |= uint32_t{1} << (mod % 32);
      return;
    }
    make_sorted(chain);
  }
  mods.insert(std::lower_bound(mods.begin(), mods.end(), mod), mod);
  maybe_make_dense(chain);
}

// Sorted, every insert moves the tail of the array; the bitmap takes a
// constant time and, once there is a modifier for every 32 ids below the
// greatest, no more memory. It turns back into the array when it would be
// twice the array's size, so that a head does not flip between the two.
void TermTable::maybe_make_dense(Chain &chain) {
  std::vector<uint32_t> &mods = chain.mods;
  if (chain.dense || mods.empty() || mods.back() / 32 + 1 > mods.size()) return;
  std::vector<uint32_t> bits(mods.back() / 32 + 1, 0);
  for (uint32_t mod : mods) bits[mod / 32] |= uint32_t{1} << (mod % 32);
  mods.swap(bits);
  chain.dense = true;
}

void TermTable::make_sorted(Chain &chain) {
  std::vector<uint32_t> sorted;
  sorted.reserve(chain.count);
  for (size_t word = 0; word < chain.mods.size(); ++word)
    for (uint32_t bits = chain.mods[word]; bits != 0; bits &= bits - 1)
      sorted.push_back(static_cast<uint32_t>(word * 32) +
                       static_cast<uint32_t>(__builtin_ctz(bits)));
  chain.mods.swap(sorted);
  chain.dense = false;
}

uint32_t TermTable::create_term(uint32_t head, uint32_t mod, uint32_t next) {
  size_t id = term_vec.size();
  mivo_assert(id < NoTerm);
  term_vec.push_back(Term{head, mod, static_cast<uint32_t>(id), next});
  return static_cast<uint32_t>(id);
}

unsigned long TermTable::enter(unsigned long head, unsigned long mod) {
  mivo_assert(head < NoId && mod <= NoId);
  uint32_t mod32 = static_cast<uint32_t>(mod);
  if (head >= chains.size()) chains.resize(head + 1);
  Chain &chain = chains[head];
  uint32_t id = lookup(chain, mod32);
  if (id != NoTerm) return id;
  // The linked chain, which terms.dat records, gets the new term at its
  // place: between the terms of the next smaller and the next greater
  // modifier, the head-only term counting as the greatest. Both are found in
  // the head's own hash rather than by reading a term elsewhere in memory.
  uint32_t previous, following;
  neighbours(chain, mod32, previous, following);
  id = create_term(static_cast<uint32_t>(head), mod32, lookup(chain, following));
  if (previous == NoAtom)
    chain.first = id;
  else
    term_vec[lookup(chain, previous)].next = id;
  link(chain, mod32, id);
  if (mod32 != NoAtom) add_mod(chain, mod32);
  return id;
}

bool TermTable::find(unsigned long head, unsigned long mod,
                     unsigned long &id) const {
  mivo_assert(head < NoId && mod <= NoId);
  if (head >= chains.size()) return false;
  uint32_t found = lookup(chains[head], static_cast<uint32_t>(mod));
  if (found == NoTerm) return false;
  id = found;
  return true;
}

TermTable::Term &TermTable::get_term(unsigned long id) {
  mivo_assert(id < term_vec.size());
  return term_vec[id];
}

const TermTable::Term &TermTable::get_term(unsigned long id) const {
  mivo_assert(id < term_vec.size());
  return term_vec[id];
}

bool TermTable::is_known_atom(unsigned long atom, bool may_be_empty) const {
  return atom < atom_table.size() || (may_be_empty && atom == NoId);
}

void TermTable::read() {
  mivo_assert(!file.get_name().empty());
  mivo_assert(chains.empty() && term_vec.empty());
  file.read_lines([this](const std::string &line) {
    unsigned long fields[4];
    if (!parse_term_line(line, fields) || fields[2] != term_vec.size())
      return false;
    if (!is_known_atom(fields[0], false) || !is_known_atom(fields[1], true)) {
      // Most likely atoms.dat lost lines: name it beside terms.dat.
      error("term %lu names an atom beyond the %lu of `%s'", fields[2],
            atom_table.size(), atom_table.get_file_name().c_str());
      return false;
    }
    mivo_assert(fields[2] < NoTerm);
    term_vec.push_back(Term{static_cast<uint32_t>(fields[0]),
                            static_cast<uint32_t>(fields[1]),
                            static_cast<uint32_t>(fields[2]), NoTerm});
    return true;
  });
  if (!relink_chains()) file.format_error();
}

// The stored links are not trusted: an append never rewrites an older line
// whose link changed. Each head's chain is rebuilt in ascending modifier order
// from the head and mod fields; false when a pair occurs twice.
bool TermTable::relink_chains() {
  // The terms bucketed by head, as (mod, id) so that sorting a bucket puts
  // it in chain order.
  size_t heads = 0;
  for (const Term &term : term_vec) heads = std::max<size_t>(heads, term.head + 1UL);
  std::vector<size_t> start(heads + 1, 0);
  for (const Term &term : term_vec) ++start[term.head + 1UL];
  for (size_t head = 0; head < heads; ++head) start[head + 1] += start[head];
  std::vector<uint64_t> order(term_vec.size());
  {
    std::vector<size_t> fill(start.begin(), start.end() - 1);
    for (const Term &term : term_vec)
      order[fill[term.head]++] = (uint64_t{term.mod} << 32) | term.id;
  }
  chains.resize(heads);
  for (size_t head = 0; head < heads; ++head) {
    auto begin = order.begin() + static_cast<std::ptrdiff_t>(start[head]);
    auto end = order.begin() + static_cast<std::ptrdiff_t>(start[head + 1]);
    std::sort(begin, end);
    Chain &chain = chains[head];
    chain.mods.reserve(static_cast<size_t>(end - begin));
    if (begin != end) resize_links(chain, static_cast<size_t>(end - begin));
    const Term *previous = nullptr;
    for (auto entry = begin; entry != end; ++entry) {
      Term &term = term_vec[static_cast<uint32_t>(*entry)];
      if (previous == nullptr) {
        chain.first = term.id;
      } else {
        if (previous->mod == term.mod) return false;
        term_vec[previous->id].next = term.id;
      }
      term.next = NoTerm;
      link(chain, term.mod, term.id);
      if (term.mod != NoAtom) chain.mods.push_back(term.mod);
      previous = &term;
    }
    chain.count = static_cast<uint32_t>(chain.mods.size());
    maybe_make_dense(chain);
  }
  return true;
}

void TermTable::write() {
  file.append_lines(term_vec.size(), "terms",
                    [this](unsigned long id) { return term_line(term_vec[id]); });
}

void TermTable::print(std::ostream &os) const {
  for (const Chain &chain : chains)
    if (chain.first != NoTerm) print(os, term_vec[chain.first]);
}

void TermTable::print(std::ostream &os, const Term &term) const {
  os << atom_text(term.head) << '\n';
  for (unsigned long id = term.id; id != NoId;) {
    const Term &member = get_term(id);
    mivo_assert(member.head == term.head);
    os << member.id << ":\t "
       << (member.mod == NoId ? std::string("<empty>") : atom_text(member.mod))
       << '\n';
    id = member.next;
  }
}
