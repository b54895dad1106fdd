#include "eval/ranks.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "base/eventlog.h"
#include "model/classtab.h"

namespace {

// Skips blanks and tabs but stops at a newline, so that an empty ranking
// line does not swallow the next line's document name.
void skip_blanks(std::istream &is) {
  while (is.peek() == ' ' || is.peek() == '\t') is.get();
}

// "class:score"; false when the word has no ':' or no number after it.
bool parse_entry(const std::string &word, std::string *name, WeightType *score) {
  std::string::size_type colon = word.find(':');
  if (colon == std::string::npos) return false;
  *name = word.substr(0, colon);
  std::istringstream number(word.substr(colon + 1));
  return static_cast<bool>(number >> *score);
}

}  // namespace

bool RankingLT::operator()(const Ranking &a, const Ranking &b) const {
  if (std::isnan(b.score)) return !std::isnan(a.score);
  return a.score < b.score;
}

bool RankingGT::operator()(const Ranking &a, const Ranking &b) const {
  if (std::isnan(b.score)) return !std::isnan(a.score);
  return a.score > b.score;
}

void Ranks::enter(ClassData *data, const WeightType &score) {
  push_back(Ranking(data, score));
}

void Ranks::sort() { std::sort(begin(), end(), RankingLT()); }

void Ranks::sortGF() { std::sort(begin(), end(), RankingGT()); }

const Ranking &Ranks::top() const {
  mivo_assert(size() != 0);
  // The first entry in greatest-first order; min_element keeps the earliest
  // of equals, and a score that is not a number never wins over a number.
  return *std::min_element(begin(), end(), RankingGT());
}

bool Ranks::print(const std::string &name, std::ostream &os) const {
  os << name << ".txt ";
  std::ostringstream scores;
  scores.precision(5);
  for (const_iterator it = begin(); it != end(); ++it) {
    if (it != begin()) os << ' ';
    class_table.print_full_name(os, it->class_data->id);
    scores.str("");
    scores << it->score;
    os << ':' << scores.str();
  }
  os << std::endl;
  return !os.fail();
}

void Ranks::write(const std::string &name, std::ostream &os) const {
  if (print(name, os) || empty()) return;
  error("cannot write the ranking of document `%s'", name.c_str());
  myabort();
}

void Ranks::read(std::string &name, std::istream &is) {
  is >> name;
  std::string::size_type txt = name.find(".txt");
  if (txt != std::string::npos) name.erase(txt);
  if (is.eof()) return;
  for (skip_blanks(is); is.good() && is.peek() != '\n'; skip_blanks(is)) {
    std::string word, class_name;
    WeightType score;
    ClassData *data;
    is >> word;
    if (parse_entry(word, &class_name, &score) &&
        class_table.extract_full_name(class_name, &data))
      enter(data, score);
  }
  if (is.fail()) {
    error("cannot read a ranking line");
    myabort();
  }
}
