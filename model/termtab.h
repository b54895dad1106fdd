// The term table: a dense term id for every (head, modifier) pair of atoms,
// stable for the life of the data directory ("terms.dat", one term a line,
// only ever appended to). The terms of one head form a chain sorted by the
// numeric modifier id, so a head-only term (modifier EmptyAtom) comes last.
#ifndef MIVO_MODEL_TERMTAB_H
#define MIVO_MODEL_TERMTAB_H

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "model/atomtab.h"

// No term: the end of a chain.
const unsigned long EmptyTerm = 4294967295UL;

class TermTable {
 public:
  struct Term {
    unsigned long head;
    unsigned long mod;
    unsigned long id;
    unsigned long next;
  };

  TermTable() : next_id(0) {}
  TermTable(const TermTable &) = delete;
  TermTable &operator=(const TermTable &) = delete;

  // The pair's id, creating the term if it is new.
  unsigned long enter(unsigned long head, unsigned long mod);
  // True and the id when the pair is a term; never creates one.
  bool find(unsigned long head, unsigned long mod, unsigned long &id) const;
  // Valid until the next term is created.
  Term &get_term(unsigned long id);
  const Term &get_term(unsigned long id) const;
  unsigned long size() const { return next_id; }

  void set_file(const std::string &name) { file.set_name(name); }
  // Loads the file into this empty table (the atom table must be read first);
  // ends the run on a damaged file.
  void read();
  // Appends the terms entered since the last read or write.
  void write();

  // Every head's chain, heads in ascending id order.
  void print(std::ostream &os) const;
  // The head's text, then one line per term of the chain from term on.
  void print(std::ostream &os, const Term &term) const;

 private:
  unsigned long create_term(unsigned long head, unsigned long mod,
                            unsigned long next);
  bool is_known_atom(unsigned long atom, bool may_be_empty) const;
  bool relink_chains();

  // A chain as a sorted array beside the linked one, so that a lookup is a
  // binary search in contiguous memory rather than a walk through the terms
  // of a frequent head, which may be thousands long.
  struct Link {
    uint32_t mod;
    uint32_t id;
  };
  typedef std::vector<Link> Chain;
  static bool by_mod(const Link &link, unsigned long mod) { return link.mod < mod; }
  // The chain of head, or null when the head has no term.
  const Chain *chain_of(unsigned long head) const;

  std::vector<Chain> chains;  // by head atom id
  std::vector<Term> term_vec;
  unsigned long next_id;
  VocabularyFile file;
};

extern TermTable term_table;

#endif  // MIVO_MODEL_TERMTAB_H
