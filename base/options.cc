#include "base/options.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "base/eventlog.h"

const char *const usage_text =
    "Usage: mivo [ -h ] [ -v ] [ -p ] [ -V ] [ -a <W | R | S> ]\n"
    "           [ -d <data-directory> ] [ -i <input-directory> ]\n"
    "           [ -r <rc-file> ] [ <examples-directory> ]";

namespace {

const char *const banner[] = {
    "mivo: text categorisation with Winnow, Rocchio and SBC",
    "learns class profiles from example documents and classifies new ones"};

bool is(const char *argument, const char *short_form, const char *long_form) {
  return strcmp(argument, short_form) == 0 || strcmp(argument, long_form) == 0;
}

}  // namespace

void show_help() {
  std::cerr << usage_text << "\n"
            << "Options are:\n"
               "    -h    --help           show help\n"
               "    -d    --data           specify data directory\n"
               "    -i    --input          specify input directory\n"
               "    -p    --poll           poll input directory for documents\n"
               "    -r    --resource       specify resource file\n"
               "    -v    --verbose        be verbose\n"
               "    -V    --Version        show version\n"
               "    -a    --algorithm      specify training algorithm\n"
               "    -xl   --xlearning      exclude learning (training) phase\n"
               "    -xt   --xtesting       exclude testing phase\n"
               "    -e    --explain        write the N terms behind each decision\n"
               "\n"
               "Arguments are:\n"
               "    <data-directory>       directory for storing profile data\n"
               "    <examples-directory>   directory with example documents\n"
               "    <input-directory>      directory to be polled for input documents\n"
               "    <W | R | S>            select which to apply: Winnow, Rocchio or SBC\n"
               "    <rc-file>              file with resource definitions\n"
               "\n";
}

void hint_help() { std::cerr << "use `mivo -h' for help" << std::endl; }

void show_version() {
  std::cerr << banner[0] << "\n" << banner[1] << std::endl;
}

Options::Options()
    : verbosity_level(0),
      algorithm(Winnow),
      algorithm_set(false),
      polling(false),
      exclude_training(false),
      exclude_testing(false),
      analysers(0),
      explain_terms(0),
      explain_set(false) {}

const char *Options::required_value(int argc, const char **argv, int &i,
                                    const char *short_form) {
  if (i + 1 >= argc || argv[i + 1][0] == '-') {
    error("option `%s' needs an argument", short_form);
    hint_help();
    exit(1);
  }
  return argv[++i];
}

void Options::count_verbose_letters(const char *argument) {
  const char *p = argument + 1;
  while (*p == 'v') {
    ++verbosity_level;
    ++p;
  }
  if (*p != '\0') error("invalid option `%s'", argument);
}

void Options::select_algorithm(const char *value) {
  switch (value[0]) {
    case 'W': algorithm = Winnow; break;
    case 'R': algorithm = Rocchio; break;
    case 'S': algorithm = SBC; break;
    default:
      error("valid arguments to -a are W, R or S");
      hint_help();
      exit(1);
  }
  algorithm_set = true;
}

void Options::select_analysers(const char *value) {
  char *end;
  unsigned long n = strtoul(value, &end, 10);
  if (*end != '\0' || !isdigit(static_cast<unsigned char>(value[0])) || n < 1 ||
      n > max_analysers) {
    error("valid arguments to -j are 1 to %u", max_analysers);
    hint_help();
    exit(1);
  }
  analysers = static_cast<unsigned int>(n);
}

void Options::select_explain_terms(const char *value) {
  char *end;
  unsigned long n = strtoul(value, &end, 10);
  if (*end != '\0' || !isdigit(static_cast<unsigned char>(value[0])) || n > max_explain_terms) {
    error("valid arguments to -e are 0 to %u", max_explain_terms);
    hint_help();
    exit(1);
  }
  explain_terms = static_cast<unsigned int>(n);
  explain_set = true;
}

void Options::parse(int argc, const char **argv) {
  if (argc <= 1) {
    std::cerr << usage_text << std::endl;
    exit(0);
  }
  for (int i = 1; i < argc; ++i) {
    const char *argument = argv[i];
    if (strcmp(argument, "--verbose") == 0) {
      ++verbosity_level;
    } else if (strncmp(argument, "-v", 2) == 0) {
      count_verbose_letters(argument);
    } else if (is(argument, "-a", "--algorithm")) {
      select_algorithm(required_value(argc, argv, i, "-a"));
    } else if (is(argument, "-j", "--analysers")) {
      select_analysers(required_value(argc, argv, i, "-j"));
    } else if (is(argument, "-e", "--explain")) {
      // A negative count is a bad count, not a missing one.
      bool negative = i + 1 < argc && argv[i + 1][0] == '-' &&
                      isdigit(static_cast<unsigned char>(argv[i + 1][1]));
      select_explain_terms(negative ? argv[++i] : required_value(argc, argv, i, "-e"));
    } else if (is(argument, "-p", "--poll")) {
      polling = true;
    } else if (is(argument, "-V", "--Version")) {
      show_version();
      exit(0);
    } else if (is(argument, "-h", "--help")) {
      show_help();
      exit(0);
    } else if (is(argument, "-xl", "--xlearning")) {
      exclude_training = true;
    } else if (is(argument, "-xt", "--xtesting")) {
      exclude_testing = true;
    } else if (is(argument, "-d", "--data")) {
      data_directory = required_value(argc, argv, i, "-d");
    } else if (is(argument, "-i", "--input")) {
      input_directory = required_value(argc, argv, i, "-i");
    } else if (is(argument, "-r", "--resource")) {
      rc_file = required_value(argc, argv, i, "-r");
    } else if (argument[0] == '-') {
      error("unknown option `%s'", argument);
      hint_help();
      exit(1);
    } else if (!examples_directory.empty()) {
      error("duplicate examples directory specified");
      exit(1);
    } else {
      examples_directory = argument;
    }
  }
  if (examples_directory.empty()) polling = true;
  log(1, banner[0]);
}

void Options::log_options(unsigned int level) const {
  if (polling) log(level, "polling mode activated");
}
