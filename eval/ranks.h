// Ranked results: the (class, score) list that scoring produces for one
// document, its orderings, and the one-line text form in which result files
// hold it ("name.txt class:score ...").
#ifndef MIVO_EVAL_RANKS_H
#define MIVO_EVAL_RANKS_H

#include <istream>
#include <ostream>
#include <string>
#include <vector>

struct ClassData;

// Type of weights, scores and thresholds.
typedef double WeightType;

struct Ranking {
  Ranking(ClassData *data, WeightType value) : class_data(data), score(value) {}

  ClassData *class_data;  // not owned
  WeightType score;
};

// Score orders in which a score that is not a number comes after every
// number, so that sorting stays well defined.
struct RankingLT {
  bool operator()(const Ranking &a, const Ranking &b) const;
};
struct RankingGT {
  bool operator()(const Ranking &a, const Ranking &b) const;
};

class Ranks : private std::vector<Ranking> {
 public:
  typedef std::vector<Ranking> Entries;
  using Entries::back;
  using Entries::begin;
  using Entries::const_iterator;
  using Entries::empty;
  using Entries::end;
  using Entries::erase;
  using Entries::iterator;
  using Entries::pop_back;
  using Entries::push_back;
  using Entries::size;
  using Entries::operator[];

  // Appends; a class may be entered more than once.
  void enter(ClassData *data, const WeightType &score);
  // Ascending by score.
  void sort();
  // Descending by score: the order used everywhere else.
  void sortGF();
  // The greatest score, the earliest of equals; the list must not be empty.
  const Ranking &top() const;

  // Writes the ranking line; false when the stream has failed.
  bool print(const std::string &name, std::ostream &os) const;
  // print, ending the run when a non-empty line could not be written.
  void write(const std::string &name, std::ostream &os) const;
  // Reads one line written by write, appending the entries whose classes
  // exist; name receives the document name without ".txt".
  void read(std::string &name, std::istream &is);
};

#endif  // MIVO_EVAL_RANKS_H
