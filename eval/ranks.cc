#include "eval/ranks.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "base/eventlog.h"
#include "base/fileio.h"
#include "base/options.h"
#include "base/utils.h"
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

ResultFile::ResultFile() {
  char name[1024];
  set_output_name(name, sizeof name);
  std::string directory = options.get_examples_directory();
  temporary = PathName(directory, name, ".tmp").get();
  final_path = PathName(directory, name, ".dat").get();
}

std::string ResultFile::finish() {
  log_formatted_results(1, "renaming output file to `%s'", final_path.c_str());
  replace_file(final_path, text.str(), 0664, temporary);
  return final_path;
}
