#include "model/termtab.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "driver/eventlog.h"

namespace {

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
  snprintf(line, sizeof line, "%lu %lu %lu %lu", term.head, term.mod, term.id,
           term.next);
  return line;
}

}  // namespace

unsigned long TermTable::create_term(unsigned long head, unsigned long mod,
                                     unsigned long next) {
  mivo_assert(term_vec.size() == next_id && next_id != EmptyTerm);
  term_vec.push_back(Term{head, mod, next_id, next});
  ++next_id;
  mivo_assert(term_vec.size() == next_id);
  return next_id - 1;
}

const TermTable::Chain *TermTable::chain_of(unsigned long head) const {
  if (head >= chains.size() || chains[head].empty()) return nullptr;
  return &chains[head];
}

unsigned long TermTable::enter(unsigned long head, unsigned long mod) {
  mivo_assert(head != EmptyAtom);
  if (head >= chains.size()) chains.resize(head + 1);
  Chain &chain = chains[head];
  auto place = std::lower_bound(chain.begin(), chain.end(), mod, by_mod);
  if (place != chain.end() && place->mod == mod) return place->id;
  // The linked chain, which terms.dat records, gets the new term at the same
  // place: before the next greater modifier, behind the next smaller one.
  unsigned long next = place == chain.end() ? EmptyTerm : place->id;
  unsigned long id = create_term(head, mod, next);
  if (place != chain.begin()) term_vec[(place - 1)->id].next = id;
  chain.insert(place, Link{static_cast<uint32_t>(mod), static_cast<uint32_t>(id)});
  return id;
}

bool TermTable::find(unsigned long head, unsigned long mod,
                     unsigned long &id) const {
  mivo_assert(head != EmptyAtom);
  const Chain *chain = chain_of(head);
  if (chain == nullptr) return false;
  auto place = std::lower_bound(chain->begin(), chain->end(), mod, by_mod);
  if (place == chain->end() || place->mod != mod) return false;
  id = place->id;
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
  return atom < atom_table.size() || (may_be_empty && atom == EmptyAtom);
}

void TermTable::read() {
  mivo_assert(!file.get_name().empty());
  mivo_assert(chains.empty() && term_vec.empty());
  file.read_lines([this](const std::string &line) {
    unsigned long fields[4];
    if (!parse_term_line(line, fields) || fields[2] != next_id) return false;
    if (!is_known_atom(fields[0], false) || !is_known_atom(fields[1], true)) {
      // Most likely atoms.dat lost lines: name it beside terms.dat.
      error("term %lu names an atom beyond the %lu of `%s'", next_id,
            atom_table.size(), atom_table.get_file_name().c_str());
      return false;
    }
    create_term(fields[0], fields[1], EmptyTerm);
    return true;
  });
  if (!relink_chains()) file.format_error();
}

// The stored links are not trusted: an append never rewrites an older line
// whose link changed. Each head's chain is rebuilt in ascending modifier order
// from the head and mod fields; false when a pair occurs twice.
bool TermTable::relink_chains() {
  std::vector<unsigned long> order(term_vec.size());
  std::iota(order.begin(), order.end(), 0UL);
  std::sort(order.begin(), order.end(), [this](unsigned long a, unsigned long b) {
    const Term &x = term_vec[a], &y = term_vec[b];
    return x.head != y.head ? x.head < y.head : x.mod < y.mod;
  });
  const Term *previous = nullptr;
  for (unsigned long id : order) {
    Term &term = term_vec[id];
    if (previous != nullptr && previous->head == term.head) {
      if (previous->mod == term.mod) return false;
      term_vec[previous->id].next = id;
    }
    if (term.head >= chains.size()) chains.resize(term.head + 1);
    chains[term.head].push_back(
        Link{static_cast<uint32_t>(term.mod), static_cast<uint32_t>(id)});
    term.next = EmptyTerm;
    previous = &term;
  }
  return true;
}

void TermTable::write() {
  mivo_assert(next_id == term_vec.size());
  file.append_lines(next_id, "terms",
                    [this](unsigned long id) { return term_line(term_vec[id]); });
}

void TermTable::print(std::ostream &os) const {
  for (const Chain &chain : chains)
    if (!chain.empty()) print(os, term_vec[chain.front().id]);
}

void TermTable::print(std::ostream &os, const Term &term) const {
  os << atom_text(term.head) << '\n';
  for (unsigned long id = term.id; id != EmptyTerm;) {
    const Term &member = get_term(id);
    mivo_assert(member.head == term.head);
    os << member.id << ":\t "
       << (member.mod == EmptyAtom ? std::string("<empty>") : atom_text(member.mod))
       << '\n';
    id = member.next;
  }
}
