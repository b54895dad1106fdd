#include "eval/polling.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/eventlog.h"
#include "base/fileio.h"
#include "base/options.h"
#include "base/progress.h"
#include "base/utils.h"
#include "eval/explain.h"
#include "eval/scoring.h"
#include "eval/testing.h"
#include "intake/profiling.h"
#include "model/classtab.h"
#include "store/database.h"

namespace {

const char *const document_extension = ".txt";

// Hidden entries are no documents, nor is a bare ".txt".
bool is_input_document(const char *entry) {
  return entry[0] != '.' && has_extension(entry, document_extension);
}

// Profiles every input document of the directory, in listing order.
std::vector<std::string> collect_input_documents(const std::string &directory) {
  Directory listing(directory.c_str());
  if (!listing) fail_on_file(directory, open_directory_failure, errno);
  std::vector<std::string> names;
  while (const char *entry = listing.get_next_entry()) {
    if (!is_input_document(entry)) continue;
    names.emplace_back(entry, strlen(entry) - strlen(document_extension));
  }
  // All are asked for first, so that several analysers work ahead; they are
  // stored in listing order all the same.
  for (const std::string &name : names) expect_document(name);
  Progress progress("polling", names.size());
  for (const std::string &name : names) {
    profile_document(name);
    log_formatted(3, "collected input document `%s'", name.c_str());
    progress.advance();
  }
  finish_profiling();
  return names;
}

// Ranks the document's classes from the root down into chosen, profiling
// it first when the data base has none.
void classify(FrozenScorer &scorer, const std::string &name, Ranks &chosen,
              Explanations *explanations) {
  if (!database.have_document_profile(name)) {
    profile_document(name);
    finish_profiling();
  }
  const DocProfile *doc = database.get_document_profile(name);
  Ranks scored, candidates;
  bool significant =
      classify_from_root(scorer, *doc, scored, chosen, explanations ? &candidates : nullptr);
  // The classes of the rank file are the ones explained as decided.
  if (explanations) {
    std::vector<const ClassData *> decided;
    for (const Ranking &entry : chosen) decided.push_back(entry.class_data);
    explanations->explain("poll", name, *doc, scorer, decided, candidates);
  }
  // With maxranks 0 nothing is chosen.
  const char *best =
      chosen.empty() ? "none" : class_table.get_name(chosen[0].class_data->id).c_str();
  log_formatted(4, "classified document `%s' in class `%s' (%s)", name.c_str(), best,
                significant ? "significant" : "not significant");
}

std::string write_rankings(const std::vector<std::string> &names, Explanations *explanations) {
  ResultFile out;
  log_formatted_results(1, "writing output to file `%s'", out.get_temporary_path().c_str());
  FrozenWeights frozen;
  for (const std::string &name : names) {
    Ranks chosen;
    classify(frozen.get_scorer(), name, chosen, explanations);
    chosen.print(name, out.get_stream());
  }
  return out.finish();
}

}  // namespace

std::string classify_documents(const char *input, Explanations *explanations) {
  std::string directory = PathName(input, "in").get();
  if (!is_directory(directory)) fail_on_file(directory, directory_not_found, errno);
  log_formatted_results(1, "polling directory `%s'", directory.c_str());
  std::vector<std::string> names = collect_input_documents(directory);
  return names.empty() ? std::string() : write_rankings(names, explanations);
}
