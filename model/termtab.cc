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

unsigned long TermTable::enter(unsigned long head, unsigned long mod) {
  mivo_assert(head != EmptyAtom);
  auto first = head_map.find(head);
  if (first == head_map.end()) {
    unsigned long id = create_term(head, mod, EmptyTerm);
    head_map.emplace(head, id);
    return id;
  }
  // Links are set by id after create_term: it may move every Term.
  unsigned long previous = EmptyTerm;
  for (unsigned long current = first->second;;) {
    const Term &term = term_vec[current];
    mivo_assert(term.head == head);
    if (mod == term.mod) return term.id;
    if (mod < term.mod) {
      unsigned long id = create_term(head, mod, current);
      if (previous == EmptyTerm)
        first->second = id;
      else
        term_vec[previous].next = id;
      return id;
    }
    if (term.next == EmptyTerm) {
      unsigned long id = create_term(head, mod, EmptyTerm);
      term_vec[current].next = id;
      return id;
    }
    previous = current;
    current = term.next;
  }
}

bool TermTable::find(unsigned long head, unsigned long mod,
                     unsigned long &id) const {
  mivo_assert(head != EmptyAtom);
  auto first = head_map.find(head);
  if (first == head_map.end()) return false;
  for (unsigned long current = first->second; current != EmptyTerm;) {
    const Term &term = term_vec[current];
    if (mod < term.mod) return false;
    if (mod == term.mod) {
      id = term.id;
      return true;
    }
    current = term.next;
  }
  return false;
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
  mivo_assert(head_map.empty() && term_vec.empty());
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
    } else {
      head_map.emplace_hint(head_map.end(), term.head, id);
    }
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
  for (const auto &entry : head_map) print(os, term_vec[entry.second]);
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
