// The term table: a dense term id for every (head, modifier) pair of atoms,
// stable for the life of the data directory ("terms.dat", one term a line,
// only ever appended to). The terms of one head form a chain sorted by the
// numeric modifier id, so a head-only term (modifier NoId) comes last.
#ifndef MIVO_MODEL_TERMTAB_H
#define MIVO_MODEL_TERMTAB_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "model/atomtab.h"

class TermTable {
 public:
  // Atoms are 32-bit, as in the file. The id is the term's place in the
  // table, and the chain's order is kept by the head's hash alone: a term
  // is 8 bytes, the most of a vocabulary of a hundred million terms.
  struct Term {
    uint32_t head;
    uint32_t mod;
  };

  TermTable() {}
  TermTable(const TermTable &) = delete;
  TermTable &operator=(const TermTable &) = delete;

  // The pair's id, creating the term if it is new.
  uint32_t enter(uint32_t head, uint32_t mod);
  // Ask for the memory that enter(head, mod) reads first: the head's chain,
  // then (once that is at hand) the slot of the modifier in its hash. A
  // caller with many pairs to enter asks a few pairs ahead, so that the
  // cache misses of a large vocabulary overlap instead of following each
  // other.
  void prefetch_chain(uint32_t head) const {
    if (head < chains.size()) __builtin_prefetch(&chains[head]);
  }
  void prefetch_link(uint32_t head, uint32_t mod) const;
  // True and the id when the pair is a term; never creates one.
  bool find(uint32_t head, uint32_t mod, uint32_t &id) const;
  // Stays valid as long as the table does.
  const Term &get_term(uint32_t id) const;
  unsigned long size() const { return count; }

  // The file and its checksum's side record (none when empty).
  void set_file(const std::string &name, const std::string &checksum_name = std::string()) {
    file.set_name(name, checksum_name);
  }
  // Opens the file for this empty table (the atom table must be read
  // first): counts the terms, which are read when a phase first looks one
  // up, while a thread checks the bytes. Ends the run on a damaged file.
  void read();
  // Reads the terms now if release, or read, left them for first use: a
  // caller that enters terms from another thread asks first, so that a
  // damaged file ends the run from this one.
  void read_back() const { load(); }
  // Ends the run if the check that read started finds the file damaged;
  // nothing may be saved before it is known sound.
  void finish_check() { file.finish_check(); }
  // Appends the terms entered since the last read or write, each with the
  // id of the term that follows it in its chain at this moment.
  void write();
  // Frees the terms when the file holds them all; the next use reads them
  // back. The phases between profiling and polling ask for the size alone,
  // and a hundred million terms take gigabytes.
  void release();

  // Every head's chain, heads in ascending id order.
  void print(std::ostream &os) const;
  // The head's text, then one line per term of the chain from term on.
  void print(std::ostream &os, const Term &term) const;

 private:
  // A head's terms, found by modifier through a small open-addressing hash
  // of (modifier, id) links, probed linearly: the terms of a frequent head
  // stay together in memory, and a known pair is found without reading its
  // term. The hash is any size and at most four fifths full, growing by
  // half, so that on average two thirds of it is used.
  struct Link {
    uint32_t mod;
    uint32_t id;  // NoId in a free slot
  };
  struct Chain {
    std::unique_ptr<Link[]> links;
    uint32_t slots = 0;
    uint32_t terms = 0;
  };
  static size_t home(const Chain &chain, uint32_t mod);
  static uint32_t lookup(const Chain &chain, uint32_t mod);
  static void link(Chain &chain, uint32_t mod, uint32_t id);
  static void resize_links(Chain &chain, size_t terms);
  // The chain's (modifier, id) pairs in chain order.
  static std::vector<uint64_t> chain_order(const Chain &chain);

  Term &new_term();
  bool is_known_atom(unsigned long atom, bool may_be_empty) const;
  void read_terms();
  // Reads back the terms that release freed.
  void load() const;

  // Terms by id in blocks that never move: a single array would double, and
  // for a moment take three times its size, as the vocabulary grows.
  static const unsigned int block_bits = 20;
  std::vector<std::unique_ptr<Term[]>> blocks;
  unsigned long count = 0;
  std::vector<Chain> chains;  // by head atom id
  VocabularyFile file;
  bool released = false;
};

extern TermTable term_table;

#endif  // MIVO_MODEL_TERMTAB_H
