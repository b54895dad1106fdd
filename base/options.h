// The command line: what the user asked for in this run (verbosity, algorithm,
// polling, excluded phases and four paths). Parsed once at start; read-only after.
#ifndef MIVO_BASE_OPTIONS_H
#define MIVO_BASE_OPTIONS_H

#include <string>

#include "base/param.h"

class Options {
 public:
  Options();

  // Parses argv[1..argc-1]; prints usage, help or the banner and exits where the
  // arguments ask for it, and exits with status 1 on a bad command line.
  void parse(int argc, const char **argv);
  // Logs "polling mode activated" at the given level when polling is on.
  void log_options(unsigned int level) const;

  unsigned int get_verbosity_level() const { return verbosity_level; }
  AlgorithmType training_algorithm() const { return algorithm; }
  // True when -a was given at all, so that an explicit -a W also wins.
  bool algorithm_given() const { return algorithm_set; }
  bool poll() const { return polling; }
  bool skip_train() const { return exclude_training; }
  bool skip_test() const { return exclude_testing; }
  std::string get_data_directory() const { return data_directory; }
  std::string get_input_directory() const { return input_directory; }
  std::string get_examples_directory() const { return examples_directory; }
  std::string get_rc_file() const { return rc_file; }
  // Analyser processes asked for with -j; 0 when not given.
  unsigned int get_analysers() const { return analysers; }
  // Terms to explain per class, as -e gave them; only when explain_given().
  unsigned int get_explain_terms() const { return explain_terms; }
  bool explain_given() const { return explain_set; }

 private:
  // The argument after argv[i], or a report and exit when it is missing.
  const char *required_value(int argc, const char **argv, int &i,
                             const char *short_form);
  void count_verbose_letters(const char *argument);
  void select_algorithm(const char *value);
  void select_analysers(const char *value);
  void select_explain_terms(const char *value);

  unsigned int verbosity_level;
  AlgorithmType algorithm;
  bool algorithm_set;
  bool polling;
  bool exclude_training;
  bool exclude_testing;
  unsigned int analysers;
  unsigned int explain_terms;
  bool explain_set;
  std::string data_directory;
  std::string input_directory;
  std::string examples_directory;
  std::string rc_file;
};

extern Options options;

// The three usage lines, without a final newline.
extern const char *const usage_text;
void show_help();
void hint_help();
void show_version();

#endif  // MIVO_BASE_OPTIONS_H
