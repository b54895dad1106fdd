// Ranked results: the (class, score) list that scoring produces for one
// document, its order, and the one-line text form in which result files
// hold it ("name.txt class:score ...").
#ifndef MIVO_EVAL_RANKS_H
#define MIVO_EVAL_RANKS_H

#include <ostream>
#include <sstream>
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

// Descending by score, a score that is not a number after every number, so
// that sorting stays well defined.
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
  // Descending by score.
  void sortGF();

  // Writes the ranking line; false when the stream has failed.
  bool print(const std::string &name, std::ostream &os) const;
};

// A result file "rankN.dat" of the run's next number in the examples
// directory: its lines are gathered, then written as "rankN.tmp", created
// afresh, and renamed into place once complete, so that no torn result file
// is left behind and no link at the temporary name is written through.
class ResultFile {
 public:
  ResultFile();
  std::ostream &get_stream() { return text; }
  const std::string &get_temporary_path() const { return temporary; }
  // Writes and renames the file, logging the rename; a failure ends the
  // run. Returns the final path.
  std::string finish();

 private:
  std::ostringstream text;
  std::string temporary;
  std::string final_path;
};

#endif  // MIVO_EVAL_RANKS_H
