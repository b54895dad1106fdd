// The parser of analysed documents: reads the analyser's bracket notation of
// heads and modifiers and counts every (head, modifier) pair of atoms in a Doc.
#ifndef MIVO_TEXT_DOCPARSER_H
#define MIVO_TEXT_DOCPARSER_H

#include <deque>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/scanner.h"

// A (head, modifier) pair of atom ids; mod is NoId for a lone head.
struct ProtoTerm {
  ProtoTerm(unsigned long h, unsigned long m) : head(h), mod(m) {}
  // Writes [ "head", "mod" ] or [ "head" ].
  void print(std::ostream &os) const;

  unsigned long head;
  unsigned long mod;
};

std::ostream &operator<<(std::ostream &os, const ProtoTerm &term);

// By head, then by modifier, so a lone head follows its modified forms.
struct ProtoTermLT {
  bool operator()(const ProtoTerm &a, const ProtoTerm &b) const {
    return a.head != b.head ? a.head < b.head : a.mod < b.mod;
  }
};

// The pairs of one document with the number of times each was entered, read
// in ProtoTermLT order like a map of pair to count. Entering only appends to
// an array; the array is sorted and equal pairs are merged when it is next
// read, or when the unmerged part has grown as long as the merged one, which
// keeps a document of one pair repeated from growing the array without end.
// A parse thus costs one sort instead of a tree node per pair.
class Doc {
 public:
  typedef std::pair<ProtoTerm, unsigned long> Entry;
  typedef std::vector<Entry>::const_iterator const_iterator;

  void enter_term(const ProtoTerm &term) {
    entries.emplace_back(term, 1);
    if (entries.size() >= 2 * merged + min_unmerged) merge();
  }
  const_iterator begin() const { merge(); return entries.begin(); }
  const_iterator end() const { merge(); return entries.end(); }
  std::size_t size() const { merge(); return entries.size(); }
  bool empty() const { return entries.empty(); }
  // 1 when the pair was entered, else 0.
  std::size_t count(const ProtoTerm &term) const;
  // One line per pair: count, tab, printed pair; false when the stream fails.
  bool write(std::ostream &os) const;

 private:
  // Pairs entered before the array is first merged.
  static const std::size_t min_unmerged = 1024;
  // Sorts the entries after the first merged ones, merges them into those
  // and adds up the counts of equal pairs.
  void merge() const;

  // The first merged entries are sorted and distinct; the rest are as entered.
  mutable std::vector<Entry> entries;
  mutable std::size_t merged = 0;
};

// Most phrases one term sequence may grow to: nested frames multiply them.
const std::size_t max_phrases = 10000;
// Deepest nesting of frames; deeper input would exhaust the stack.
const unsigned int max_frame_depth = 1000;

class DocParser : public Scanner {
 public:
  // enter_new_atoms: unknown words become atoms (true) or count as NoId.
  // name must outlive the parser: the scanner keeps its characters.
  DocParser(Doc &doc, bool enter_new_atoms, std::istream &is,
            const std::string &name);
  ~DocParser() override = default;

  void parse();

 private:
  bool was_single_term(unsigned long &atom);
  bool was_terms(std::vector<unsigned long> &result);
  // The rest of was_terms once the phrase is more than one word or starts
  // with a frame: start is its text so far, found whether it has a word yet.
  bool was_phrases(std::vector<unsigned long> &result, std::string_view start,
                   bool found);
  bool was_frame(std::vector<unsigned long> &heads);
  void should_be_frame_body(std::vector<unsigned long> &heads);
  void should_be_head_list(std::vector<unsigned long> &heads);
  void should_be_head(std::vector<unsigned long> &heads);
  void should_be_modifiers_list(std::vector<unsigned long> &heads);
  void should_be_modifiers(std::vector<unsigned long> &heads);

  // The atom of a phrase, or NoId for an unknown phrase when new atoms
  // are not entered and for the empty phrase, which is never an atom.
  unsigned long make_atom(std::string_view text);
  void maybe_enter_term(unsigned long head, unsigned long mod);
  void maybe_enter_terms(const std::vector<unsigned long> &heads,
                         unsigned long mod);
  void maybe_enter_terms(const std::vector<unsigned long> &heads,
                         const std::vector<unsigned long> &mods);

  Doc &doc;
  bool enter_new_atoms;
  unsigned int frame_depth;
  // The first word of the term sequence being read.
  std::string first_word;
  // The modifiers being gathered at each frame depth; a deque, so that
  // adding a deeper level keeps those of the levels above in place.
  std::deque<std::vector<unsigned long>> mod_lists;
  // Set when a frame nests too deeply: every open frame is then left at once,
  // without entering anything or expecting its bracket, back to the top level.
  bool unwinding;
};

// Parses the whole stream (or text) into doc; returns the syntax errors counted.
int parse_document(std::istream &is, const std::string &name, bool enter,
                   Doc &doc);
int parse_document(const std::string &text, const std::string &name,
                   bool enter, Doc &doc);

#endif  // MIVO_TEXT_DOCPARSER_H
