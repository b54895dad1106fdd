#include "eval/ranks.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "model/classtab.h"

bool RankingGT::operator()(const Ranking &a, const Ranking &b) const {
  if (std::isnan(b.score)) return !std::isnan(a.score);
  return a.score > b.score;
}

void Ranks::enter(ClassData *data, const WeightType &score) {
  push_back(Ranking(data, score));
}

void Ranks::sortGF() { std::sort(begin(), end(), RankingGT()); }

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
