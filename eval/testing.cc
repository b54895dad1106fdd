#include "eval/testing.h"

#include <fstream>
#include <sstream>

#include "base/eventlog.h"
#include "base/options.h"
#include "base/param.h"
#include "base/utils.h"
#include "eval/confus.h"
#include "eval/scoring.h"
#include "model/classtab.h"
#include "model/docprof.h"
#include "store/database.h"

namespace {

const unsigned int output_name_size = 1024;

// Enters the score of every son of the class (scaled when scaling is on)
// for the document the scorer has taken up into ranks.
void predict(const FrozenScorer &scorer, const ClassData &father, Ranks &ranks) {
  std::vector<WeightType> scores;
  scorer.get_scores(father, scores);
  for (size_t i = 0; i < scores.size(); ++i) {
    ClassData *son = father.sons[i];
    WeightType score = scores[i];
    if (param.gen.scaling()) score = scale_score(score, son->profile.get_theta());
    ranks.enter(son, score);
  }
}

WeightType threshold_of(const ClassData &data) {
  return param.gen.scaling() ? 1.0 : data.profile.get_theta();
}

// Goes through the scores of one class's sons: leaves go into chosen, sons
// with sons of their own are scored and gone through in turn, so that a
// document always ends in leaves. True when some score is above its
// threshold.
bool choose(const FrozenScorer &scorer, const Ranks &scored, Ranks &chosen) {
  bool significant = false;
  for (const Ranking &entry : scored) {
    const ClassData &data = *entry.class_data;
    if (entry.score > threshold_of(data)) significant = true;
    if (data.sons.empty()) {
      chosen.push_back(entry);
      continue;
    }
    Ranks deeper;
    predict(scorer, data, deeper);
    deeper.sortGF();
    if (choose(scorer, deeper, chosen)) significant = true;
  }
  return significant;
}

// Removes the last entries that score below their own class's threshold (a
// score that is not a number counts as below) while more than minranks
// remain, then cuts to maxranks.
void trim(Ranks &chosen) {
  while (chosen.size() > param.gen.get_minrank()) {
    const Ranking &last = chosen.back();
    if (last.score >= threshold_of(*last.class_data)) break;
    chosen.pop_back();
  }
  while (chosen.size() > param.gen.get_maxrank()) chosen.pop_back();
}

void count_multiclass(const std::vector<ClassData *> &classes, bool significant,
                      Ranks &chosen, ConfusionMatrix &matrix) {
  for (const ClassData *data : classes) {
    Ranks::iterator found = chosen.end();
    if (significant) {
      for (found = chosen.begin(); found != chosen.end(); ++found)
        if (found->class_data->id == data->id) break;
    }
    if (found != chosen.end()) {
      matrix.enterRS(data->id);
      chosen.erase(found);
    } else {
      matrix.enterRNS(data->id);
    }
  }
  if (!significant) return;
  for (const Ranking &entry : chosen) matrix.enterNRS(entry.class_data->id);
}

// Ends the run over a result file that could not be written completely; no
// part of it is left behind.
[[noreturn]] void abandon_output(const std::string &path) {
  report_file_error(path, write_failure);
  delete_file(path.c_str());
  myabort();
}

// Classifies one test document of the root, writes its full ranking to out
// and counts the decision against the document's true classes.
void test_example(FrozenScorer &scorer, const std::string &name,
                  const std::vector<ClassData *> &classes, ConfusionMatrix &matrix,
                  std::ostream &out) {
  const DocProfile *doc = database.get_document_profile(name);
  log_formatted(4, "testing document `%s'", name.c_str());
  Ranks scored, chosen;
  bool significant = classify_from_root(scorer, *doc, scored, chosen);
  if (!scored.print(name, out)) return;
  if (param.gen.multiclass()) {
    count_multiclass(classes, significant, chosen, matrix);
  } else if (significant && !classes.empty() && !chosen.empty()) {
    matrix.enter(classes.front()->id, chosen[0].class_data->id);
  }
}

// Every test document of the root; stops early when out fails, and returns
// whether every ranking was written.
bool test_classifier(FrozenScorer &scorer, std::ostream &out) {
  ConfusionMatrix matrix;
  const ExampList &documents = class_table.get_data(0).examples.test;
  const char *name = class_table.get_name(0).c_str();
  // Fewer than ten documents give no progress messages.
  unsigned long step = documents.size() / 10;
  unsigned long done = 0;
  for (const auto &entry : documents) {
    test_example(scorer, entry.first, entry.second, matrix, out);
    if (!out) return false;
    ++done;
    if (step != 0 && done % step == 0)
      log_formatted_results(2, "Testing on <%s> %1.0ld0%% complete", name,
                            static_cast<long>(done / step));
  }
  matrix.log(3);
  return true;
}

}  // namespace

WeightType scale_score(WeightType score, WeightType theta) {
  if (theta > 0.0) return score / theta;
  if (theta < 0.0) return 1.0 + (score - theta) / -theta;
  return 1.0 + score - theta;
}

bool classify_document(const FrozenScorer &scorer, const Ranks &scored, Ranks &chosen) {
  bool significant = choose(scorer, scored, chosen);
  chosen.sortGF();
  trim(chosen);
  return significant;
}

bool classify_from_root(FrozenScorer &scorer, const DocProfile &doc, Ranks &scored,
                        Ranks &chosen) {
  const ClassData &root = class_table.get_data(0);
  scorer.set_document(doc);
  predict(scorer, root, scored);
  scored.sortGF();
  return classify_document(scorer, scored, chosen);
}

void test() {
  param.gen.set_multiclass(true);
  if (class_table.empty()) return;
  const ClassData &root = class_table.get_data(0);
  if (root.sons.empty() || root.examples.test.empty()) return;

  char output_name[output_name_size];
  set_output_name(output_name, sizeof output_name);
  std::string directory = options.get_examples_directory();
  std::string temporary = PathName(directory, output_name, ".tmp").get();
  std::string final_path = PathName(directory, output_name, ".dat").get();
  std::ofstream out;
  open_output_file(out, temporary.c_str());
  if (!out.is_open()) {
    report_file_error(temporary, open_for_writing);
    myabort();
  }
  std::ostringstream algorithm;
  algorithm << param.gen.get_algorithm();
  log_formatted_results(1, "testing %s on `%s' with %d documents...",
                        algorithm.str().c_str(), class_table.get_name(0).c_str(),
                        static_cast<int>(root.examples.test.size()));
  FrozenWeights frozen;
  bool written = test_classifier(frozen.get_scorer(), out);
  out.close();
  if (!written || out.fail()) abandon_output(temporary);

  log_formatted_results(1, "renaming output file to `%s'", final_path.c_str());
  if (rename_file(temporary.c_str(), final_path.c_str()) != 0) {
    error("cannot rename file `%s' to `%s'", temporary.c_str(), final_path.c_str());
    myabort();
  }
}
