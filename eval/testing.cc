#include "eval/testing.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "base/eventlog.h"
#include "base/fileio.h"
#include "base/options.h"
#include "base/parallel.h"
#include "base/param.h"
#include "base/progress.h"
#include "base/utils.h"
#include "eval/confus.h"
#include "eval/explain.h"
#include "eval/scoring.h"
#include "model/classtab.h"
#include "model/docprof.h"
#include "store/database.h"

namespace {

const char *const decisions_file_name = "decisions.dat";
const char *const document_extension = ".txt";
// As a rank file is written: whoever may read it, as the umask allows.
const mode_t decisions_file_mode = 0666;
// How many test documents' profiles the cache holds at most.
const unsigned long release_step = 4096;
// Test documents classified at a time, in as many threads as there are
// cores, before they are written and counted one by one. A block never
// spans a release of the cache, whose profiles it uses.
const unsigned long test_block = 256;
static_assert(release_step % test_block == 0, "a block within a release step");

// Document name -> the classes that the report counts as decided for it,
// best first.
typedef std::map<std::string, std::vector<uint32_t>> Decisions;

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

// Under gated descent, the inner class to go down into when none of the
// scored ones is above its threshold: the best of them (the scores are
// sorted); null when one is above, or without gating.
const Ranking *fallback_inner(const Ranks &scored) {
  if (!param.gen.get_gated_descent()) return nullptr;
  const Ranking *best = nullptr;
  for (const Ranking &entry : scored) {
    if (entry.class_data->sons.empty()) continue;
    if (entry.score > threshold_of(*entry.class_data)) return nullptr;
    if (best == nullptr) best = &entry;
  }
  return best;
}

// Goes through the scores of one class's sons: leaves go into chosen, sons
// with sons of their own are scored and gone through in turn (under gated
// descent only those above their thresholds, or else the best), so that a
// document always ends in leaves. True when some score is above its
// threshold. Under PathMean a leaf enters chosen with the mean of its score
// and those of the inner classes above it (path_sum over path_length
// scores): a son is trained among its siblings only, so its score alone
// says little about a document of another inner class, and leaves at
// different depths still compare. It is then the leaves' means that must
// be above their thresholds, not any score on the way.
bool choose(const FrozenScorer &scorer, const Ranks &scored, Ranks &chosen,
            WeightType path_sum = 0.0, unsigned int path_length = 0) {
  bool significant = false;
  bool path_mean = param.gen.get_path_mean();
  const Ranking *fallback = fallback_inner(scored);
  for (const Ranking &entry : scored) {
    const ClassData &data = *entry.class_data;
    bool above = entry.score > threshold_of(data);
    if (data.sons.empty()) {
      Ranking ranked = entry;
      if (path_length != 0 && path_mean) {
        ranked.score = (path_sum + entry.score) / (path_length + 1);
        above = ranked.score > threshold_of(data);
      }
      if (above) significant = true;
      chosen.push_back(ranked);
      continue;
    }
    if (above && !path_mean) significant = true;
    if (param.gen.get_gated_descent() && !above && &entry != fallback) continue;
    Ranks deeper;
    predict(scorer, data, deeper);
    deeper.sortGF();
    if (choose(scorer, deeper, chosen, path_sum + entry.score, path_length + 1))
      significant = true;
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

void count_multiclass(const ClassList &classes, bool counted,
                      Ranks &chosen, ConfusionMatrix &matrix) {
  for (const ClassData *data : classes) {
    Ranks::iterator found = chosen.end();
    if (counted) {
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
  if (!counted) return;
  for (const Ranking &entry : chosen) matrix.enterNRS(entry.class_data->id);
}

// A test document of the root as a thread classified it, for the main
// thread to write, explain and count in the order of the documents.
struct Classified {
  const DocProfile *doc = nullptr;
  Ranks scored, chosen, candidates;
  bool significant = false;
  ScoringScratch scores;  // its scores, kept for explanations
};

void classify_test_document(FrozenScorer &scorer, Classified &document, bool explained) {
  document.scored = document.chosen = document.candidates = Ranks();
  document.significant = classify_from_root(scorer, *document.doc, document.scored,
                                            document.chosen,
                                            explained ? &document.candidates : nullptr);
  if (explained) scorer.set_document(*document.doc, document.scores);
}

// Writes the full ranking of a classified test document to out and counts
// its decision against the document's true classes.
void test_example(FrozenScorer &scorer, const std::string &name, Classified &document,
                  const ClassList &classes, ConfusionMatrix &matrix,
                  std::ostream &out, Decisions &decisions, Explanations *explanations) {
  log_formatted(4, "testing document `%s'", name.c_str());
  Ranks &chosen = document.chosen;
  if (!document.scored.print(name, out)) return;
  // What was chosen counts when some score was above its threshold, or
  // whatever the scores when every document is to be decided.
  bool counted = document.significant || param.always_decide();
  if (explanations) {
    std::vector<const ClassData *> explained;
    if (counted)
      for (const Ranking &entry : chosen)
        if (param.gen.multiclass() || explained.empty()) explained.push_back(entry.class_data);
    scorer.set_document(*document.doc, document.scores);
    explanations->explain("test", name, *document.doc, scorer, explained, document.candidates);
  }
  std::vector<uint32_t> &decided = decisions[name];
  if (param.gen.multiclass()) {
    if (counted)
      for (const Ranking &entry : chosen) decided.push_back(entry.class_data->id);
    count_multiclass(classes, counted, chosen, matrix);
  } else if (counted && !classes.empty() && !chosen.empty()) {
    decided.push_back(chosen[0].class_data->id);
    matrix.enter(classes.front()->id, chosen[0].class_data->id);
  }
}

// Every test document of the root, with the report's Total into outcome.
void test_classifier(FrozenScorer &scorer, std::ostream &out, Decisions &decisions,
                     TestOutcome &outcome, Explanations *explanations) {
  ConfusionMatrix matrix;
  const ExampList &documents = class_table.get_data(0).examples.test;
  const char *name = class_table.get_name(0).c_str();
  // Fewer than ten documents give no progress messages.
  unsigned long step = documents.size() / 10;
  unsigned long done = 0;
  Progress progress("testing", documents.size());
  std::vector<FrozenScorer> copies(worker_count(), scorer);
  std::vector<ExampList::const_iterator> block;
  std::vector<Classified> classified(test_block);
  auto next = documents.begin();
  while (next != documents.end()) {
    // The cache serves one thread: the profiles are fetched here, before
    // the threads classify them.
    block.clear();
    for (; next != documents.end() && block.size() < test_block; ++next) {
      classified[block.size()].doc = database.get_document_profile(next->first);
      block.push_back(next);
    }
    run_in_parts(block.size(), 1, [&](unsigned int worker, size_t begin, size_t end) {
      for (size_t d = begin; d < end; ++d)
        classify_test_document(copies[worker], classified[d], explanations != nullptr);
    });
    for (size_t d = 0; d < block.size(); ++d) {
      test_example(scorer, block[d]->first, classified[d], block[d]->second, matrix, out,
                   decisions, explanations);
      progress.advance();
      ++done;
      // Each profile is scored once: the cache is emptied as it goes, rather
      // than holding every test document until the run ends.
      if (done % release_step == 0) database.release_all_profiles();
      if (step != 0 && done % step == 0)
        log_formatted_results(2, "Testing on <%s> %1.0ld0%% complete", name,
                              static_cast<long>(done / step));
    }
  }
  database.release_all_profiles();
  matrix.log(3);
  outcome.tested = matrix.get_precis(0, outcome.precision) && matrix.get_recall(0, outcome.recall);
  outcome.f = get_f_beta(param.gen.get_fparameter(), outcome.precision, outcome.recall);
}

// The decisions beside the rank file: a line per document of the test list,
// in the list's order and named as the list names it, then the full names
// of its decided classes; a document listed again is written once. Returns
// the file's path.
std::string write_decisions(const Decisions &decisions) {
  std::string directory = options.get_examples_directory();
  std::string list = PathName(directory, "test").get();
  std::ifstream in(list);
  if (!in) fail_on_file(list, open_for_reading, errno);
  std::ostringstream text;
  std::set<std::string> written;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string given = line.substr(0, line.find(' '));
    std::string name = given;
    if (has_extension(name.c_str(), document_extension))
      name.erase(name.size() - strlen(document_extension));
    auto found = decisions.find(name);
    if (found == decisions.end() || !written.insert(name).second) continue;
    text << given;
    for (uint32_t id : found->second) {
      text << ' ';
      class_table.print_full_name(text, id);
    }
    text << '\n';
  }
  if (in.bad()) fail_on_file(list, read_failure, errno);
  std::string path = PathName(directory, decisions_file_name).get();
  log_formatted(2, "writing decisions to `%s'", path.c_str());
  replace_file(path, text.str(), decisions_file_mode);
  return path;
}

}  // namespace

WeightType scale_score(WeightType score, WeightType theta) {
  if (theta > 0.0) return score / theta;
  if (theta < 0.0) return 1.0 + (score - theta) / -theta;
  return 1.0 + score - theta;
}

bool classify_document(const FrozenScorer &scorer, const Ranks &scored, Ranks &chosen,
                       Ranks *candidates) {
  bool significant = choose(scorer, scored, chosen);
  chosen.sortGF();
  if (candidates) *candidates = chosen;
  trim(chosen);
  return significant;
}

bool classify_from_root(FrozenScorer &scorer, const DocProfile &doc, Ranks &scored,
                        Ranks &chosen, Ranks *candidates) {
  scorer.set_document(doc);
  predict(scorer, class_table.get_data(0), scored);
  scored.sortGF();
  return classify_document(scorer, scored, chosen, candidates);
}

TestOutcome test(Explanations *explanations) {
  TestOutcome outcome;
  param.gen.set_multiclass(true);
  if (class_table.empty()) return outcome;
  const ClassData &root = class_table.get_data(0);
  if (root.sons.empty() || root.examples.test.empty()) return outcome;

  ResultFile out;
  std::ostringstream algorithm;
  algorithm << param.gen.get_algorithm();
  log_formatted_results(1, "testing %s on `%s' with %d documents...",
                        algorithm.str().c_str(), class_table.get_name(0).c_str(),
                        static_cast<int>(root.examples.test.size()));
  FrozenWeights frozen;
  Decisions decisions;
  test_classifier(frozen.get_scorer(), out.get_stream(), decisions, outcome, explanations);
  std::string final_path = out.finish();
  outcome.files.push_back(final_path);
  outcome.files.push_back(write_decisions(decisions));
  return outcome;
}
