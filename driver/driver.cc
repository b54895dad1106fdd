#include "driver/driver.h"

#include <malloc.h>
#include <sys/times.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

#include "base/eventlog.h"
#include "base/options.h"
#include "base/param.h"
#include "base/progress.h"
#include "base/resources.h"
#include "base/utils.h"
#include "eval/explain.h"
#include "eval/polling.h"
#include "eval/scoring.h"
#include "eval/testing.h"
#include "intake/analyser.h"
#include "intake/collection.h"
#include "learn/rocchio.h"
#include "learn/sbc.h"
#include "learn/winnow.h"
#include "model/classtab.h"
#include "select/selection.h"
#include "store/database.h"
#include "text/rcparser.h"

namespace {

const char *const default_rc_file = "mivo";
const char *const rc_extension = ".rc";
const char *const log_file_name = "mivo.log";
const char *const scores_file_name = "scores.dat";

// Whether this run trained class profiles from its own training documents.
bool trained = false;

void read_resource_file() {
  std::string name = resource_file_name();
  if (name.empty()) {
    log(2, "no resource file available, using default parameters");
    return;
  }
  if (parse_rc(name) != 0) {
    myabort(0);
  }
}

// -xl needs the stored class table; an incremental run over a data directory
// whose earlier runs stored none yet starts a new one.
bool loads_stored_classes() {
  if (options.skip_train()) return true;
  return param.gen.incremental() && database.have_class_table();
}

// A stored model was trained, and its documents scored, on the selected terms
// alone, and the root's profile holds exactly those terms. Documents loaded
// to be scored by the stored profiles are pruned alike, so that SBC, which
// counts every term of a document, scores them as the training run did; an
// incremental run selects more terms beside them.
void select_stored_terms() {
  if (class_table.empty()) return;
  for (const auto &entry : class_table.get_data(0).profile.features)
    selected_terms.insert(entry.first);
  database.set_selection(selected_terms);
}

void open_data_directory() {
  database.initialise(param.gen.get_data_directory());
  database.close_at_exit();
  database.set_profile_format(param.gen.get_algorithm());
  // The stored classes are wanted when this run adds to them or does not
  // train its own.
  database.read(loads_stored_classes());
  if (loads_stored_classes()) select_stored_terms();
  report_resources();
}

void collect_documents() {
  log_results(1, "collecting documents...");
  collect_all_documents(options.get_examples_directory().c_str());
  // The sync writes the new atoms and terms first: the vocabulary is saved
  // before any training, and before any profile that names it is durable.
  database.sync();
  report_resources();
}

void check_class_profiles() {
  if (class_table.size() >= 2) return;
  error("no class profiles available");
  myabort(0);
}

// Each class keeps its threshold and counts. The pages go back to the
// system: the vocabulary's blocks would not reuse them.
void release_class_terms() {
  for (auto &entry : class_table) entry.second.profile.features = FeatureMap();
  malloc_trim(0);
}

// On a terminal a quiet run ends with one line: the report's Total and the
// files it wrote.
void say_outcome(const TestOutcome &outcome, const std::string &polled) {
  if (options.get_verbosity_level() != 0 || !progress_on_terminal()) return;
  std::string line;
  if (outcome.tested) {
    char total[128];
    snprintf(total, sizeof total, "Total: F %.2f%% (precision %.2f%%, recall %.2f%%)",
             100 * outcome.f, 100 * outcome.precision, 100 * outcome.recall);
    line = total;
  }
  std::vector<std::string> files = outcome.files;
  if (!polled.empty()) files.push_back(polled);
  for (size_t i = 0; i < files.size(); ++i)
    line += (i == 0 ? (line.empty() ? "written: " : "; written: ") : ", ") + files[i];
  if (!line.empty()) terminal_line(line);
}

// The weights no longer change: the tables that score with them serve both
// the test phase and polling.
void test_and_poll() {
  FrozenWeights frozen;
  std::unique_ptr<Explanations> explanations;
  if (param.gen.get_explain_terms() != 0)
    explanations.reset(new Explanations(param.gen.get_explain_terms()));
  TestOutcome outcome = test(explanations.get());
  std::string explained = explanations ? explanations->write() : std::string();
  std::string polled;
  score_ofs.close();
  report_resources();
  if (class_table.have_training_docs())
    database.write(param.gen.incremental() || param.gen.save());
  database.sync();
  if (options.poll()) {
    check_class_profiles();
    // Polling a first run reads the whole vocabulary back: the terms of the
    // class profiles, saved or not to be saved, make room for it when
    // nothing reads them any more.
    if (!explanations && !frozen.get_scorer().reads_profiles()) release_class_terms();
    polled = classify_documents(param.gen.get_input_directory().c_str(), explanations.get());
    if (explanations) explained = explanations->write();
    // Documents profiled while polling become durable with their vocabulary.
    database.sync();
    report_resources();
  }
  if (!explained.empty()) outcome.files.push_back(explained);
  say_outcome(outcome, polled);
}

// Without testing the class profiles are stored; but a table that this run
// neither trained nor loaded (its lists named no training document) must not
// replace a trained model stored earlier.
void save_untested() {
  bool loaded = database.get_have_data() && loads_stored_classes();
  bool own = trained && class_table.have_training_docs();
  if (own || loaded || !database.have_class_table()) {
    database.write(true);
    return;
  }
  log_formatted_results(1, "no class profiles trained or loaded: keeping those stored in `%s'",
                        param.gen.get_data_directory().c_str());
}

void run_learner() {
  switch (param.gen.get_algorithm()) {
    case Winnow:
      train_winnow();
      break;
    case Rocchio:
      train_rocchio();
      break;
    case SBC:
      train_sbc();
      break;
  }
}

void train() {
  log(3, "updating class profiles...");
  update_all_class_data();
  report_resources();
  open_output_file(score_ofs, scores_file_name);
  score_ofs << "****TRAIN" << std::endl;
  run_learner();
  trained = true;
  report_resources();
}

}  // namespace

std::string resource_file_name() {
  std::string named = options.get_rc_file();
  if (!named.empty()) return PathName("", named, rc_extension).get();
  std::string fallback = PathName("", default_rc_file, rc_extension).get();
  return file_exists(fallback) ? fallback : std::string();
}

void apply_options() {
  if (options.algorithm_given())
    param.gen.set_algorithm(options.training_algorithm());
  if (!options.get_data_directory().empty())
    param.gen.set_data_directory(options.get_data_directory());
  if (!options.get_input_directory().empty())
    param.gen.set_input_directory(options.get_input_directory());
  if (options.get_analysers() != 0) param.gen.set_analysers(options.get_analysers());
  if (options.explain_given()) param.gen.set_explain_terms(options.get_explain_terms());
}

int run_mivo(int argc, const char **argv) {
  event_log.initialise(log_file_name);

  options.parse(argc, argv);
  options.log_options(2);
  read_resource_file();
  apply_options();
  log_results(3, "parameter settings are:");
  param.log_parameters(3);

  start_resource_clock();
  analyser.initialise(param.gen.get_analyser());
  report_resources();

  open_data_directory();
  collect_documents();

  log_results(1, "analyzing the documents...");
  class_table.collect_examples();
  report_resources();

  if (!options.get_examples_directory().empty() && !options.skip_train())
    train();

  score_ofs << "****TEST" << std::endl;
  if (options.skip_test())
    save_untested();
  else
    test_and_poll();

  time_t end = time(nullptr);
  database.cleanup();
  log_results(3, ctime(&end));
  return 0;
}
