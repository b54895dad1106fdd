#include "text/rcparser.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "base/eventlog.h"
#include "base/fileio.h"
#include "base/utils.h"

int parse_rc(const std::string &file_name) {
  // A directory opens like a file and fails only on reading, without a name.
  if (is_directory(file_name)) fail_on_file(file_name, open_for_reading, EISDIR);
  std::ifstream ifs(file_name);
  if (!ifs) fail_on_file(file_name, open_for_reading, errno);
  log_formatted(2, "reading parameters from file `%s'", file_name.c_str());
  RcParser parser(param, ifs, file_name.c_str());
  parser.parse();
  return static_cast<int>(parser.errors());
}

RcParser::RcParser(Param &params, std::istream &is, const char *file_name)
    : Scanner(RcScanner, is, file_name), params(params) {}

RcParser::~RcParser() = default;

void RcParser::parse() {
  while (!eof()) {
    should_be_section();
    // The rest of a faulty section is skipped; parsing resumes at the next
    // header, so each section reports at most one error.
    if (error()) skip_until_token('[');
  }
}

bool RcParser::is_toggle(bool &value) const {
  if (!is_token(KEY_ON) && !is_token(KEY_OFF)) return false;
  value = is_token(KEY_ON);
  return true;
}

bool RcParser::accept_value(bool present, const char *message) {
  if (!present) {
    syntax_error(message);
    return false;
  }
  skip_token();
  return true;
}

bool RcParser::should_be_toggle(bool &value) {
  return accept_value(is_toggle(value), "`on' or `off' expected");
}

bool RcParser::should_be_in_range(const char *section, const char *name, double &value) {
  const NumberRange &range = number_range(section, name);
  bool number = is_token(INTEGER) || (is_token(RATIONAL) && !range.whole);
  // strtod takes numbers of any length, which atoi would wrap around, and
  // like atoi stops at the comma of a digit group.
  double found = number ? strtod(text(), nullptr) : 0;
  if (number && found >= range.least && found <= range.most) {
    value = found;
    skip_token();
    return true;
  }
  char message[256];
  snprintf(message, sizeof message, "%s: %s from %.15g to %.15g expected", name,
           range.whole ? "a whole number" : "a number", range.least, range.most);
  syntax_error(message);
  return false;
}

bool RcParser::should_be_in_range(const char *section, const char *name, unsigned int &value) {
  double found;
  if (!should_be_in_range(section, name, found)) return false;
  value = static_cast<unsigned int>(found);
  return true;
}

bool RcParser::was_identifier(const char *lower_case_name) {
  return is_token(IDENTIFIER) && strcasecmp(text(), lower_case_name) == 0 &&
         was_token(IDENTIFIER);
}

bool RcParser::should_be_string(std::string &value) {
  bool present = is_token(STRING);
  if (present) value = text();
  return accept_value(present, "quoted string expected");
}

template <std::size_t N>
bool RcParser::should_be_choice(const Choice (&choices)[N],
                                const char *message, unsigned int &value) {
  for (const Choice &choice : choices) {
    if (was_token(choice.token)) {
      value = choice.value;
      return true;
    }
  }
  syntax_error(message);
  return false;
}

void RcParser::should_be_section() {
  should_be_token('[', "section header expected");
  if (error()) return;
  void (RcParser::*body)();
  if (was_token(KEY_GENERAL)) {
    body = &RcParser::should_be_general_section;
  } else if (was_token(KEY_ROCCHIO)) {
    body = &RcParser::should_be_rocchio_section;
  } else if (was_token(KEY_SBC)) {
    body = &RcParser::should_be_sbc_section;
  } else if (was_token(KEY_WINNOW)) {
    body = &RcParser::should_be_winnow_section;
  } else {
    syntax_error(is_token(IDENTIFIER) ? "invalid section name"
                                      : "section name expected");
    return;
  }
  should_be_token(']', "`]' expected");
  (this->*body)();
}

bool RcParser::in_section_body() const {
  return !eof() && !error() && !is_token('[');
}

void RcParser::invalid_setting(const char *invalid_message,
                               const char *expected_message) {
  syntax_error(is_token(IDENTIFIER) ? invalid_message : expected_message);
}

void RcParser::should_be_general_section() {
  static const Choice algorithms[] = {
      {KEY_WINNOW, Winnow}, {KEY_ROCCHIO, Rocchio}, {KEY_SBC, SBC}};
  static const Choice term_selections[] = {
      {KEY_NONE, NoTermSel},         {KEY_UNCERTAINTY, Uncertainty},
      {KEY_TERMFREQ, TermFrequency}, {KEY_DOCFREQ, DocumentFrequency},
      {KEY_TFIDF, TfIdf},            {KEY_INFOGAIN, InformationGain}};
  static const Choice strengths[] = {{KEY_FREQ, freq_strength},
                                     {KEY_BOOL, bool_strength},
                                     {KEY_SQRT, sqrt_strength},
                                     {KEY_LTC, ltc_strength}};
  // "vector" and "cosine" name the same mode.
  static const Choice normalizations[] = {{KEY_OFF, normalize_off},
                                          {KEY_LINEAR, normalize_linear},
                                          {KEY_VECTOR, normalize_vector},
                                          {KEY_COSINE, normalize_vector}};
  GenParam &gen = params.gen;
  while (in_section_body()) {
    double d;
    unsigned int n;
    bool b;
    std::string s;
    if (was_token(KEY_FPARAMETER)) {
      if (should_be_in_range("General", "FParameter", d)) gen.set_fparameter(d);
    } else if (was_token(KEY_SELECTIVITY)) {
      if (should_be_in_range("General", "Selectivity", d)) gen.set_selectivity(d);
    } else if (was_token(KEY_MAXRANKS)) {
      if (should_be_in_range("General", "MaxRanks", n)) gen.set_maxrank(n);
    } else if (was_token(KEY_MINRANKS)) {
      if (should_be_in_range("General", "MinRanks", n)) gen.set_minrank(n);
    } else if (was_token(KEY_TRAINING)) {
      if (should_be_choice(algorithms, "Training algorithm name expected", n))
        gen.set_algorithm(static_cast<AlgorithmType>(n));
    } else if (was_token(KEY_TERMSELECTION)) {
      if (should_be_choice(term_selections,
                           "Term selection algorithm name expected", n))
        gen.set_term_sel(static_cast<TermSelType>(n));
    } else if (was_token(KEY_INCREMENTAL)) {
      if (should_be_toggle(b)) gen.set_incremental(b);
    } else if (was_token(KEY_SAVE)) {
      if (should_be_toggle(b)) gen.set_save(b);
    } else if (was_token(KEY_SCALING)) {
      if (should_be_toggle(b)) gen.set_scaling(b);
    } else if (was_token(KEY_GATEDDESCENT)) {
      if (should_be_toggle(b)) gen.set_gated_descent(b);
    } else if (was_token(KEY_ALWAYSDECIDE)) {
      if (should_be_toggle(b)) gen.set_always_decide(b);
    } else if (was_identifier("pathmean")) {
      if (should_be_toggle(b)) gen.set_path_mean(b);
    } else if (was_token(KEY_THRESHOLDFOLDS)) {
      // One fold would leave its models nothing to train on.
      if (is_token(INTEGER) && strtod(text(), nullptr) == 1)
        syntax_error("ThresholdFolds: 0 or at least 2 folds expected");
      else if (should_be_in_range("General", "ThresholdFolds", n))
        gen.set_threshold_folds(n);
    } else if (was_token(KEY_DATADIRECTORY)) {
      if (should_be_string(s)) gen.set_data_directory(s);
    } else if (was_token(KEY_INPUTDIRECTORY)) {
      if (should_be_string(s)) gen.set_input_directory(s);
    } else if (was_token(KEY_FILEDIRECTORY)) {
      if (should_be_string(s)) gen.set_file_directory(s);
    } else if (was_token(KEY_ANALYSER)) {
      if (should_be_string(s)) gen.set_analyser(s);
    } else if (was_identifier("analysers")) {
      if (should_be_in_range("General", "Analysers", n))
        gen.set_analysers(n);
    } else if (was_identifier("analysertimeout")) {
      if (should_be_in_range("General", "AnalyserTimeout", n))
        gen.set_analyser_timeout(n);
    } else if (was_identifier("explain")) {
      if (should_be_in_range("General", "Explain", n)) gen.set_explain_terms(n);
    } else if (was_token(KEY_STRENGTH)) {
      if (should_be_choice(strengths, "Strength mode expected", n))
        gen.set_strength_mode(n);
    } else if (was_token(KEY_NORMALIZE)) {
      if (should_be_choice(normalizations, "normalize mode expected", n))
        gen.set_normalize(n);
    } else {
      invalid_setting("invalid general parameter",
                      "general parameter expected");
    }
  }
}

void RcParser::should_be_winnow_section() {
  WinParam &win = params.win;
  while (in_section_body()) {
    double d;
    unsigned int n;
    bool b;
    if (was_token(KEY_ALPHA)) {
      if (should_be_in_range("Winnow", "Alpha", d)) win.set_alpha(d);
    } else if (was_token(KEY_BETA)) {
      if (should_be_in_range("Winnow", "Beta", d)) win.set_beta(d);
    } else if (was_token(KEY_THETAPLUS)) {
      if (should_be_in_range("Winnow", "ThetaPlus", d)) win.set_theta_plus(d);
    } else if (was_token(KEY_THETAMIN)) {
      if (should_be_in_range("Winnow", "ThetaMin", d)) win.set_theta_minus(d);
    } else if (was_token(KEY_NEGATIVEWEIGHTS)) {
      if (should_be_toggle(b)) win.set_negative_weights(b);
    } else if (was_identifier("weightedupdate")) {
      if (should_be_toggle(b)) win.set_weighted_update(b);
    } else if (was_token(KEY_ALWAYSDECIDE)) {
      if (should_be_toggle(b)) params.set_learner_always_decide(Winnow, b);
    } else if (was_token(KEY_MAXITERS)) {
      if (should_be_in_range("Winnow", "MaxIters", n)) win.set_max_iters(n);
    } else {
      invalid_setting("invalid Winnow parameter", "Winnow parameter expected");
    }
  }
}

void RcParser::should_be_rocchio_section() {
  RocParam &roc = params.roc;
  while (in_section_body()) {
    double d;
    bool b;
    if (was_token(KEY_PIVOTED)) {
      if (should_be_toggle(b)) roc.set_pivoted(b);
    } else if (was_token(KEY_BETA)) {
      if (should_be_in_range("Rocchio", "Beta", d)) roc.set_beta(d);
    } else if (was_token(KEY_NEGATIVEWEIGHTS)) {
      if (should_be_toggle(b)) roc.set_negative_weights(b);
    } else if (was_token(KEY_ALWAYSDECIDE)) {
      if (should_be_toggle(b)) params.set_learner_always_decide(Rocchio, b);
    } else if (was_token(KEY_GAMMA)) {
      if (should_be_in_range("Rocchio", "Gamma", d)) roc.set_gamma(d);
    } else {
      invalid_setting("invalid Rocchio parameter",
                      "Rocchio parameter expected");
    }
  }
}

void RcParser::should_be_sbc_section() {
  while (in_section_body()) {
    bool b;
    if (was_token(KEY_LAPLACE)) {
      if (should_be_toggle(b)) params.sbc.set_laplace(b);
    } else if (was_token(KEY_ALWAYSDECIDE)) {
      if (should_be_toggle(b)) params.set_learner_always_decide(SBC, b);
    } else {
      invalid_setting("invalid SBC parameter", "SBC parameter expected");
    }
  }
}
