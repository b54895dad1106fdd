#include "model/termtab.h"

#include <malloc.h>

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "base/eventlog.h"

namespace {

// Parses exactly four unsigned 32-bit decimals separated by single blanks.
bool parse_term_line(std::string_view line, unsigned long (&fields)[4]) {
  std::string_view::size_type pos = 0;
  for (unsigned long &field : fields) {
    if (&field != &fields[0] && (pos >= line.size() || line[pos++] != ' '))
      return false;
    std::string_view::size_type start = pos;
    field = 0;
    for (; pos < line.size() && line[pos] >= '0' && line[pos] <= '9'; ++pos) {
      field = field * 10 + static_cast<unsigned long>(line[pos] - '0');
      if (field > 4294967295UL) return false;
    }
    if (pos == start) return false;
  }
  return pos == line.size();
}

// "head mod id next", in decimal.
void append_term_line(std::string &line, const TermTable::Term &term, unsigned long id,
                      uint32_t next) {
  char text[64];
  char *end = text;
  for (unsigned long field : {static_cast<unsigned long>(term.head),
                              static_cast<unsigned long>(term.mod), id,
                              static_cast<unsigned long>(next)}) {
    if (end != text) *end++ = ' ';
    end = std::to_chars(end, text + sizeof text, field).ptr;
  }
  line.append(text, end);
}

// Spreads the modifier ids, small and dense, over the high bits that pick
// the slot.
inline uint32_t mod_hash(uint32_t mod) {
  uint32_t hash = mod * 0x9e3779b1U;
  hash ^= hash >> 15;
  hash *= 0x85ebca77U;
  hash ^= hash >> 13;
  return hash;
}

}  // namespace

size_t TermTable::home(const Chain &chain, uint32_t mod) {
  return static_cast<size_t>((uint64_t{mod_hash(mod)} * chain.slots) >> 32);
}

uint32_t TermTable::lookup(const Chain &chain, uint32_t mod) {
  if (chain.slots == 0) return NoId;
  const Link *links = chain.links.get();
  for (size_t slot = home(chain, mod);;) {
    const Link &entry = links[slot];
    if (entry.id == NoId || entry.mod == mod) return entry.id;
    if (++slot == chain.slots) slot = 0;
  }
}

void TermTable::prefetch_link(uint32_t head, uint32_t mod) const {
  if (head >= chains.size()) return;
  const Chain &chain = chains[head];
  if (chain.slots != 0)
    __builtin_prefetch(&chain.links[home(chain, mod)]);
}

// The modifier must not be in the hash yet.
void TermTable::link(Chain &chain, uint32_t mod, uint32_t id) {
  if ((size_t{chain.terms} + 1) * 5 > size_t{chain.slots} * 4)
    resize_links(chain, size_t{chain.terms} + 1);
  size_t slot = home(chain, mod);
  while (chain.links[slot].id != NoId)
    if (++slot == chain.slots) slot = 0;
  chain.links[slot] = Link{mod, id};
  ++chain.terms;
}

// Sizes the hash for this many terms, keeping the links it holds.
void TermTable::resize_links(Chain &chain, size_t terms) {
  size_t size = std::max<size_t>(chain.slots, 2);
  while (terms * 5 > size * 4) size += size / 2;
  mivo_assert(size < NoId);
  Chain old;
  std::swap(old, chain);
  chain.links.reset(new Link[size]);
  chain.slots = static_cast<uint32_t>(size);
  std::fill(chain.links.get(), chain.links.get() + size, Link{0, NoId});
  for (uint32_t slot = 0; slot < old.slots; ++slot)
    if (old.links[slot].id != NoId) link(chain, old.links[slot].mod, old.links[slot].id);
}

// Sorting a modifier and id pair as one number puts the chain in order, the
// head-only term (the greatest modifier) last.
std::vector<uint64_t> TermTable::chain_order(const Chain &chain) {
  std::vector<uint64_t> order;
  order.reserve(chain.terms);
  for (uint32_t slot = 0; slot < chain.slots; ++slot) {
    const Link &entry = chain.links[slot];
    if (entry.id != NoId) order.push_back((uint64_t{entry.mod} << 32) | entry.id);
  }
  std::sort(order.begin(), order.end());
  return order;
}

TermTable::Term &TermTable::new_term() {
  mivo_assert(count < NoId);
  const unsigned long block_size = 1UL << block_bits;
  if (count % block_size == 0) blocks.emplace_back(new Term[block_size]);
  return blocks.back()[count++ % block_size];
}

uint32_t TermTable::enter(uint32_t head, uint32_t mod) {
  mivo_assert(head < NoId);
  load();
  if (head >= chains.size()) chains.resize(head + 1);
  Chain &chain = chains[head];
  uint32_t id = lookup(chain, mod);
  if (id != NoId) return id;
  id = static_cast<uint32_t>(count);
  new_term() = Term{head, mod};
  link(chain, mod, id);
  return id;
}

bool TermTable::find(uint32_t head, uint32_t mod, uint32_t &id) const {
  mivo_assert(head < NoId);
  load();
  if (head >= chains.size()) return false;
  uint32_t found = lookup(chains[head], mod);
  if (found == NoId) return false;
  id = found;
  return true;
}

const TermTable::Term &TermTable::get_term(uint32_t id) const {
  mivo_assert(id < count);
  load();
  return blocks[id >> block_bits][id & ((1UL << block_bits) - 1)];
}

bool TermTable::is_known_atom(unsigned long atom, bool may_be_empty) const {
  return atom < atom_table.size() || (may_be_empty && atom == NoId);
}

// The stored links are not read: an append never rewrites an older line
// whose link changed, and the chains' order is the heads' hashes' to give.
void TermTable::read() {
  mivo_assert(chains.empty() && count == 0);
  // Until a phase looks a term up, the run needs only their number: a run
  // whose documents are all stored may never read them.
  if (file.count_lines()) {
    count = file.get_saved();
    released = true;
    return;
  }
  read_terms();
}

// The terms are stored first and linked after, so that each head's hash
// is made at its final size.
void TermTable::read_terms() {
  mivo_assert(!file.get_name().empty());
  file.read_lines([this](std::string_view line) {
    unsigned long fields[4];
    if (!parse_term_line(line, fields) || fields[2] != count) return false;
    if (!is_known_atom(fields[0], false) || !is_known_atom(fields[1], true)) {
      // Most likely atoms.dat lost lines: name it beside terms.dat.
      error("term %lu names an atom beyond the %lu of `%s'", fields[2],
            atom_table.size(), atom_table.get_file_name().c_str());
      return false;
    }
    new_term() = Term{static_cast<uint32_t>(fields[0]), static_cast<uint32_t>(fields[1])};
    return true;
  });
  std::vector<uint32_t> sizes;
  sizes.reserve(atom_table.size());
  for (unsigned long id = 0; id < count; ++id) {
    uint32_t head = get_term(id).head;
    if (head >= sizes.size()) sizes.resize(head + 1);
    ++sizes[head];
  }
  chains.resize(std::max(chains.size(), sizes.size()));
  for (size_t head = 0; head < sizes.size(); ++head)
    if (sizes[head] != 0) resize_links(chains[head], sizes[head]);
  // The chains and their hashes lie all over memory: asked for some terms
  // ahead, as profiling asks for them, their misses overlap.
  const unsigned long ahead = 8;
  for (unsigned long id = 0; id < count; ++id) {
    if (id + 2 * ahead < count) prefetch_chain(get_term(id + 2 * ahead).head);
    if (id + ahead < count) {
      const Term &next = get_term(id + ahead);
      prefetch_link(next.head, next.mod);
    }
    const Term &term = get_term(id);
    Chain &chain = chains[term.head];
    if (lookup(chain, term.mod) != NoId) file.format_error();  // a pair twice
    link(chain, term.mod, static_cast<uint32_t>(id));
  }
}

void TermTable::release() {
  if (released || file.get_name().empty() || file.get_saved() != count) return;
  std::vector<std::unique_ptr<Term[]>>().swap(blocks);
  std::vector<Chain>().swap(chains);
  malloc_trim(0);  // the hashes of the chains are many blocks, some small
  released = true;
}

// Const, as the terms read back are those that were freed: to a reader the
// table never changed.
void TermTable::load() const {
  if (!released) return;
  TermTable &table = const_cast<TermTable &>(*this);
  unsigned long expected = count;
  table.count = 0;
  table.released = false;
  table.read_terms();
  // Another process appended to the file or cut it, despite the lock.
  if (count != expected) table.file.format_error();
}

// A new term's link is the next term of its chain now; each chain with new
// terms is put in order once.
void TermTable::write() {
  unsigned long saved = std::min(file.get_saved(), count);
  std::vector<uint32_t> next(count - saved, NoId);
  if (!next.empty()) {
    std::vector<bool> touched(chains.size());
    for (unsigned long id = saved; id < count; ++id) touched[get_term(id).head] = true;
    for (size_t head = 0; head < chains.size(); ++head) {
      if (!touched[head]) continue;
      std::vector<uint64_t> order = chain_order(chains[head]);
      for (size_t k = 0; k + 1 < order.size(); ++k) {
        uint32_t id = static_cast<uint32_t>(order[k]);
        if (id >= saved) next[id - saved] = static_cast<uint32_t>(order[k + 1]);
      }
    }
  }
  file.append_lines(count, "terms", [this, saved, &next](unsigned long id, std::string &line) {
    append_term_line(line, get_term(id), id, next[id - saved]);
  });
}

void TermTable::print(std::ostream &os) const {
  load();
  for (size_t head = 0; head < chains.size(); ++head) {
    std::vector<uint64_t> order = chain_order(chains[head]);
    if (!order.empty()) print(os, get_term(static_cast<uint32_t>(order.front())));
  }
}

void TermTable::print(std::ostream &os, const Term &term) const {
  load();
  os << atom_text(term.head) << '\n';
  for (uint64_t entry : chain_order(chains[term.head])) {
    uint32_t mod = static_cast<uint32_t>(entry >> 32);
    if (mod < term.mod) continue;
    os << static_cast<uint32_t>(entry) << ":\t "
       << (mod == NoId ? std::string("<empty>") : atom_text(mod)) << '\n';
  }
}
