// The term table: a dense term id for every (head, modifier) pair of atoms,
// stable for the life of the data directory ("terms.dat", one term a line,
// only ever appended to). The terms of one head form a chain sorted by the
// numeric modifier id, so a head-only term (modifier NoId) comes last.
#ifndef MIVO_MODEL_TERMTAB_H
#define MIVO_MODEL_TERMTAB_H

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "model/atomtab.h"

class TermTable {
 public:
  // Ids and atoms are 32-bit, as in the file: a term is 16 bytes.
  struct Term {
    uint32_t head;
    uint32_t mod;
    uint32_t id;
    uint32_t next;
  };

  TermTable() {}
  TermTable(const TermTable &) = delete;
  TermTable &operator=(const TermTable &) = delete;

  // The pair's id, creating the term if it is new.
  unsigned long enter(unsigned long head, unsigned long mod);
  // Ask for the memory that enter(head, mod) reads first: the head's chain,
  // then (once that is at hand) the slot of the modifier in its hash. A
  // caller with many pairs to enter asks a few pairs ahead, so that the
  // cache misses of a large vocabulary overlap instead of following each
  // other.
  void prefetch_chain(unsigned long head) const {
    if (head < chains.size()) __builtin_prefetch(&chains[head]);
  }
  void prefetch_link(unsigned long head, unsigned long mod) const;
  // True and the id when the pair is a term; never creates one.
  bool find(unsigned long head, unsigned long mod, unsigned long &id) const;
  // Valid until the next term is created.
  Term &get_term(unsigned long id);
  const Term &get_term(unsigned long id) const;
  unsigned long size() const { return term_vec.size(); }

  // The file and its checksum's side record (none when empty).
  void set_file(const std::string &name, const std::string &checksum_name = std::string()) {
    file.set_name(name, checksum_name);
  }
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
  // A head's terms, found by modifier through a small open-addressing hash
  // of (modifier, id) links, probed linearly and at most three quarters
  // full: the terms of a frequent head stay together in memory, and a known
  // pair is found without reading its term.
  //
  // Only creating a term needs the head's modifiers in order: the new term
  // goes between the terms of its neighbouring modifiers. They are kept as
  // a sorted array or as a bitmap over the atom ids, whichever is about the
  // smaller; the head-only term is in neither, as it always ends the chain.
  struct Link {
    uint32_t mod;
    uint32_t id;  // NoId in a free slot
  };
  struct Chain {
    std::vector<Link> links;     // the hash; empty or a power of two long
    std::vector<uint32_t> mods;  // ascending ids, or the bitmap
    uint32_t first = NoId;  // the chain's first term
    uint32_t terms = 0;          // in links
    uint32_t count = 0;          // modifiers in mods
    bool dense = false;          // mods is the bitmap
  };
  static uint32_t lookup(const Chain &chain, uint32_t mod);
  static void link(Chain &chain, uint32_t mod, uint32_t id);
  static void resize_links(Chain &chain, size_t terms);
  // The modifiers of the chain next below and next above mod, or NoId.
  static void neighbours(const Chain &chain, uint32_t mod, uint32_t &previous,
                         uint32_t &following);
  static void add_mod(Chain &chain, uint32_t mod);
  static void maybe_make_dense(Chain &chain);
  static void make_sorted(Chain &chain);

  uint32_t create_term(uint32_t head, uint32_t mod, uint32_t next);
  bool is_known_atom(unsigned long atom, bool may_be_empty) const;
  bool relink_chains();

  std::vector<Chain> chains;  // by head atom id
  std::vector<Term> term_vec;
  VocabularyFile file;
};

extern TermTable term_table;

#endif  // MIVO_MODEL_TERMTAB_H
