#include "eval/testing.h"

#include <fstream>
#include <memory>
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

// While the test phase and polling run the weights no longer change, and
// every document is scored by nearly every class. One scorer serves all
// classes at once; under SBC, which it cannot serve, each class with sons
// has a flat table that scores a document for all the sons (by class id;
// null for leaves). Without either, scores come from the profiles.
std::unique_ptr<HierarchyScorer> frozen_hierarchy;
const DocProfile *scored_document = nullptr;
std::vector<std::unique_ptr<ScoringTable>> frozen_tables;

// Sets the document's strengths relative to the class, then scores it for
// every son of the class, in order of sons. The scorer scores a document
// for all classes when its classification begins, which is at the root.
void score_sons(const ClassData &data, DocProfile &doc, std::vector<WeightType> &scores) {
  if (frozen_hierarchy) {
    if (data.father == nullptr || &doc != scored_document) {
      frozen_hierarchy->predict_scores(doc);
      scored_document = &doc;
    }
    frozen_hierarchy->get_scores(data.id, scores);
    return;
  }
  if (data.id < frozen_tables.size() && frozen_tables[data.id]) {
    frozen_tables[data.id]->predict_scores(data, doc, scores);
    return;
  }
  doc.set_class_document_strengths(data.id);
  scores.clear();
  for (const ClassData *son : data.sons) scores.push_back(son->profile.predict_score(doc));
}

WeightType threshold_of(const ClassData &data) {
  return param.gen.scaling() ? 1.0 : data.profile.get_theta();
}

// Goes through the scores of one class's sons: leaves go into chosen, sons
// with sons of their own are scored and gone through in turn, so that a
// document always ends in leaves. True when some score is above its
// threshold.
bool choose(DocProfile &doc, const Ranks &scored, Ranks &chosen) {
  bool significant = false;
  for (const Ranking &entry : scored) {
    const ClassData &data = *entry.class_data;
    if (entry.score > threshold_of(data)) significant = true;
    if (data.sons.empty()) {
      chosen.push_back(entry);
      continue;
    }
    Ranks deeper;
    predict(data, doc, deeper);
    deeper.sortGF();
    if (choose(doc, deeper, chosen)) significant = true;
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

}  // namespace

bool freeze_weights() {
  if (frozen_hierarchy || !frozen_tables.empty()) return false;
  if (param.gen.get_algorithm() != SBC) {
    frozen_hierarchy.reset(new HierarchyScorer(class_table));
    return true;
  }
  for (uint32_t id = 0; id < class_table.size(); ++id) {
    ClassData &data = class_table.get_data(id);
    std::vector<const ClassProfile *> profiles;
    for (const ClassData *son : data.sons) profiles.push_back(&son->profile);
    frozen_tables.emplace_back(profiles.empty() ? nullptr
                                                : new ScoringTable(profiles, &data.profile));
  }
  return true;
}

void thaw_weights() {
  frozen_hierarchy.reset();
  scored_document = nullptr;
  frozen_tables.clear();
}

WeightType scale_score(WeightType score, WeightType theta) {
  if (theta > 0.0) return score / theta;
  if (theta < 0.0) return 1.0 + (score - theta) / -theta;
  return 1.0 + score - theta;
}

void predict(const ClassData &class_data_P, DocProfile &doc, Ranks &ranks) {
  std::vector<WeightType> scores;
  score_sons(class_data_P, doc, scores);
  for (size_t i = 0; i < scores.size(); ++i) {
    ClassData *son = class_data_P.sons[i];
    WeightType score = scores[i];
    if (param.gen.scaling()) score = scale_score(score, son->profile.get_theta());
    ranks.enter(son, score);
  }
}

bool classify_document(const ClassData *class_data_P, DocProfile &doc,
                       const Ranks &scored, Ranks &chosen) {
  mivo_assert(class_data_P != 0);
  mivo_assert(class_data_P->sons.size() > 0);
  bool significant = choose(doc, scored, chosen);
  chosen.sortGF();
  trim(chosen);
  return significant;
}

void test_example(const ClassData &class_data_P, const std::string &name,
                  const std::vector<ClassData *> &classes,
                  ConfusionMatrix &matrix, std::ostream &out) {
  DocProfile *doc = database.get_document_profile(name);
  log_formatted(4, "testing document `%s'", name.c_str());
  Ranks scored;
  predict(class_data_P, *doc, scored);
  scored.sortGF();
  if (!scored.print(name, out)) return;
  Ranks chosen;
  bool significant = classify_document(&class_data_P, *doc, scored, chosen);
  if (param.gen.multiclass()) {
    count_multiclass(classes, significant, chosen, matrix);
  } else if (significant && !classes.empty() && !chosen.empty()) {
    matrix.enter(classes.front()->id, chosen[0].class_data->id);
  }
}

bool test_classifier(const ClassData &class_data_P, std::ostream &out) {
  ConfusionMatrix matrix;
  const ExampList &documents = class_data_P.examples.test;
  const char *name = class_table.get_name(class_data_P.id).c_str();
  // Fewer than ten documents give no progress messages.
  unsigned long step = documents.size() / 10;
  unsigned long done = 0;
  for (const auto &entry : documents) {
    test_example(class_data_P, entry.first, entry.second, matrix, out);
    if (!out) return false;
    ++done;
    if (step != 0 && done % step == 0)
      log_formatted_results(2, "Testing on <%s> %1.0ld0%% complete", name,
                            static_cast<long>(done / step));
  }
  matrix.log(3);
  return true;
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
  bool froze = freeze_weights();
  bool written = test_classifier(root, out);
  if (froze) thaw_weights();
  out.close();
  if (!written || out.fail()) abandon_output(temporary);

  log_formatted_results(1, "renaming output file to `%s'", final_path.c_str());
  if (rename_file(temporary.c_str(), final_path.c_str()) != 0) {
    error("cannot rename file `%s' to `%s'", temporary.c_str(), final_path.c_str());
    myabort();
  }
}
