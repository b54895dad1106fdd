#include "eval/polling.h"

#include <cstring>
#include <fstream>
#include <vector>

#include "base/eventlog.h"
#include "base/options.h"
#include "base/utils.h"
#include "eval/scoring.h"
#include "eval/testing.h"
#include "intake/profiling.h"
#include "model/classtab.h"
#include "store/database.h"

namespace {

const unsigned int output_name_size = 1024;
const char *const document_extension = ".txt";

// Hidden entries are no documents, nor is a bare ".txt".
bool is_input_document(const char *entry) {
  return entry[0] != '.' && has_extension(entry, document_extension);
}

// Profiles every input document of the directory, in listing order.
std::vector<std::string> collect_input_documents(const std::string &directory) {
  Directory listing(directory.c_str());
  if (!listing) {
    report_file_error(directory, open_directory_failure);
    myabort();
  }
  std::vector<std::string> names;
  while (const char *entry = listing.get_next_entry()) {
    if (!is_input_document(entry)) continue;
    std::string name(entry, strlen(entry) - strlen(document_extension));
    profile_document(name);
    names.push_back(name);
    log_formatted(3, "collected input document `%s'", name.c_str());
  }
  return names;
}

// Ranks the document's classes from the root down into chosen, profiling
// it first when the data base has none.
void classify(FrozenScorer &scorer, const std::string &name, Ranks &chosen) {
  if (!database.have_document_profile(name)) profile_document(name);
  const DocProfile *doc = database.get_document_profile(name);
  Ranks scored;
  bool significant = classify_from_root(scorer, *doc, scored, chosen);
  // With maxranks 0 nothing is chosen.
  const char *best =
      chosen.empty() ? "none" : class_table.get_name(chosen[0].class_data->id).c_str();
  log_formatted(4, "classified document `%s' in class `%s' (%s)", name.c_str(), best,
                significant ? "significant" : "not significant");
}

void write_rankings(const std::vector<std::string> &names) {
  char output_name[output_name_size];
  set_output_name(output_name, sizeof output_name);
  std::string directory = options.get_examples_directory();
  std::string temporary = PathName(directory, output_name, ".tmp").get();
  std::string final_path = PathName(directory, output_name, ".dat").get();
  log_formatted_results(1, "writing output to file `%s'", temporary.c_str());
  std::ofstream out;
  open_output_file(out, temporary.c_str());
  if (!out.is_open()) {
    report_file_error(temporary, open_for_writing);
    myabort();
  }
  FrozenWeights frozen;
  for (const std::string &name : names) {
    Ranks chosen;
    classify(frozen.get_scorer(), name, chosen);
    if (!chosen.print(name, out)) break;
  }
  out.close();
  // A result file cut short by a full disk is not left behind.
  if (out.fail()) {
    report_file_error(temporary, write_failure);
    delete_file(temporary.c_str());
    myabort();
  }
  log_formatted_results(1, "renaming output file to `%s'", final_path.c_str());
  if (rename_file(temporary.c_str(), final_path.c_str()) != 0) {
    error("cannot rename file `%s' to `%s'", temporary.c_str(), final_path.c_str());
    myabort();
  }
}

}  // namespace

void classify_documents(const char *input) {
  std::string directory = PathName(input, "in").get();
  if (!is_directory(directory)) {
    report_file_error(directory, directory_not_found);
    myabort();
  }
  log_formatted_results(1, "polling directory `%s'", directory.c_str());
  std::vector<std::string> names = collect_input_documents(directory);
  if (!names.empty()) write_rankings(names);
}
