// Every tunable setting of the system, in four groups (general, Winnow, Rocchio,
// SBC). Defaults at construction, then the resource file, then the command line;
// logged once before any work starts and read-only afterwards.
#ifndef MIVO_BASE_PARAM_H
#define MIVO_BASE_PARAM_H

#include <ostream>
#include <string>

enum AlgorithmType { Winnow = 0, Rocchio = 1, SBC = 2 };

// Analyser processes a run may keep busy at once.
const unsigned int max_analysers = 64;
// Seconds an analyser may owe an answer without sending a byte of it: long
// enough for the shipped analyser on a 50 MB document on a busy machine.
const unsigned int default_analyser_timeout = 300;
// Terms an explanation may list for each class it explains.
const unsigned int max_explain_terms = 1000;

// The values a number of the resource file may take, least and most
// included; a whole one takes no fraction. Beyond them a value would wrap
// around, overflow a computation or make no sense for the setting.
struct NumberRange {
  const char *section;  // "General", "Winnow", ...
  const char *name;     // the setting as the parameter log writes it
  double least;
  double most;
  bool whole;
};

// The range of a numeric setting; every one has one.
const NumberRange &number_range(const char *section, const char *name);

enum TermSelType {
  NoTermSel = 0,
  Uncertainty = 1,
  TermFrequency = 2,
  DocumentFrequency = 3,
  TfIdf = 4,
  InformationGain = 5
};

// How a term's strength in a document is computed.
enum StrengthMode : unsigned int {
  freq_strength = 4,
  bool_strength = 5,
  sqrt_strength = 6,
  ltc_strength = 7
};

// How document strengths are normalised.
enum NormalizeMode : unsigned int {
  normalize_off = 1,
  normalize_linear = 2,
  normalize_vector = 3
};

// The printed name of a strength or normalize mode ("" for unknown values).
const char *strength_mode_name(unsigned int mode);
const char *normalize_mode_name(unsigned int mode);

// Prints a bool as "on" or "off".
struct Toggle {
  explicit Toggle(bool v) : value(v) {}
  bool value;
};

// Prints a string between double quotes.
struct Quote {
  explicit Quote(const std::string &s) : text(s) {}
  const std::string &text;
};

std::ostream &operator<<(std::ostream &os, Toggle t);
std::ostream &operator<<(std::ostream &os, const Quote &q);
std::ostream &operator<<(std::ostream &os, AlgorithmType a);
std::ostream &operator<<(std::ostream &os, TermSelType t);

class GenParam {
 public:
  GenParam();

  std::string get_data_directory() const { return data_directory; }
  void set_data_directory(const std::string &s) { data_directory = s; }
  std::string get_input_directory() const { return input_directory; }
  void set_input_directory(const std::string &s) { input_directory = s; }
  std::string get_file_directory() const { return file_directory; }
  void set_file_directory(const std::string &s) { file_directory = s; }
  std::string get_analyser() const { return analyser; }
  void set_analyser(const std::string &s) { analyser = s; }
  unsigned int get_analysers() const { return analysers; }
  void set_analysers(unsigned int n) { analysers = n; }
  unsigned int get_analyser_timeout() const { return analyser_timeout; }
  void set_analyser_timeout(unsigned int n) { analyser_timeout = n; }
  const double &get_fparameter() const { return fparameter; }
  void set_fparameter(const double &d) { fparameter = d; }
  double get_selectivity() const { return selectivity; }
  void set_selectivity(double d) { selectivity = d; }
  AlgorithmType get_algorithm() const { return algorithm; }
  void set_algorithm(AlgorithmType a) { algorithm = a; }
  TermSelType get_term_sel() const { return term_sel; }
  void set_term_sel(TermSelType t) { term_sel = t; }
  bool incremental() const { return incremental_mode; }
  void set_incremental(bool b) { incremental_mode = b; }
  bool save() const { return save_mode; }
  void set_save(bool b) { save_mode = b; }
  bool scaling() const { return scaling_mode; }
  void set_scaling(bool b) { scaling_mode = b; }
  bool multiclass() const { return multiclass_mode; }
  void set_multiclass(bool b) { multiclass_mode = b; }
  unsigned int get_maxrank() const { return maxrank; }
  void set_maxrank(unsigned int n) { maxrank = n; }
  unsigned int get_minrank() const { return minrank; }
  void set_minrank(unsigned int n) { minrank = n; }
  unsigned int get_normalize() const { return normalize; }
  void set_normalize(unsigned int n) { normalize = n; }
  unsigned int get_strength_mode() const { return strength_mode; }
  void set_strength_mode(unsigned int n) { strength_mode = n; }
  // 0: thresholds from the final model's own training scores; k >= 2: from
  // the scores of models trained without the document's fold.
  unsigned int get_threshold_folds() const { return threshold_folds; }
  void set_threshold_folds(unsigned int n) { threshold_folds = n; }
  // Whether the decision enters only inner classes above their thresholds.
  bool get_gated_descent() const { return gated_descent; }
  void set_gated_descent(bool b) { gated_descent = b; }
  // Whether a document none of whose scores is above its threshold still
  // gets its MinRanks best classes rather than none.
  bool get_always_decide() const { return always_decide; }
  void set_always_decide(bool b) { always_decide = b; }
  // Whether a class below inner classes is ranked by the mean of its score
  // and theirs rather than by its own.
  bool get_path_mean() const { return path_mean; }
  void set_path_mean(bool b) { path_mean = b; }
  // How many terms an explanation lists for each class; 0: no explanations.
  unsigned int get_explain_terms() const { return explain_terms; }
  void set_explain_terms(unsigned int n) { explain_terms = n; }

  void print(std::ostream &os) const;

 private:
  std::string data_directory;
  std::string input_directory;
  std::string file_directory;
  std::string analyser;
  unsigned int analysers;
  unsigned int analyser_timeout;
  double fparameter;
  double selectivity;
  AlgorithmType algorithm;
  TermSelType term_sel;
  bool incremental_mode;
  bool save_mode;
  bool scaling_mode;
  bool multiclass_mode;
  unsigned int maxrank;
  unsigned int minrank;
  unsigned int normalize;
  unsigned int strength_mode;
  unsigned int threshold_folds;
  bool gated_descent;
  bool always_decide;
  bool path_mean;
  unsigned int explain_terms;
};

class WinParam {
 public:
  WinParam();

  unsigned int get_max_iters() const { return max_iters; }
  void set_max_iters(unsigned int n) { max_iters = n; }
  const double &get_alpha() const { return alpha; }
  void set_alpha(const double &d) { alpha = d; }
  const double &get_beta() const { return beta; }
  void set_beta(const double &d) { beta = d; }
  const double &get_theta_plus() const { return theta_plus; }
  void set_theta_plus(const double &d) { theta_plus = d; }
  const double &get_theta_minus() const { return theta_minus; }
  void set_theta_minus(const double &d) { theta_minus = d; }
  bool get_negative_weights() const { return negative_weights; }
  void set_negative_weights(bool b) { negative_weights = b; }
  // Whether an update scales a term's weights by Alpha or Beta raised to
  // the term's strength relative to the document's, rather than alike.
  bool get_weighted_update() const { return weighted_update; }
  void set_weighted_update(bool b) { weighted_update = b; }

  void print(std::ostream &os) const;

 private:
  unsigned int max_iters;
  double alpha;
  double beta;
  double theta_plus;
  double theta_minus;
  bool negative_weights;
  bool weighted_update;
};

class RocParam {
 public:
  RocParam();

  void set_pivoted(bool b) { pivoted = b; }
  const double &get_beta() const { return beta; }
  void set_beta(const double &d) { beta = d; }
  const double &get_gamma() const { return gamma; }
  void set_gamma(const double &d) { gamma = d; }
  bool get_negative_weights() const { return negative_weights; }
  void set_negative_weights(bool b) { negative_weights = b; }

  void print(std::ostream &os) const;

 private:
  bool pivoted;
  double beta;
  double gamma;
  bool negative_weights;
};

class SBCParam {
 public:
  SBCParam();

  unsigned long get_max_signif() const { return max_signif; }
  void set_max_signif(unsigned long n) { max_signif = n; }
  bool get_laplace() const { return laplace; }
  void set_laplace(bool b) { laplace = b; }

  void print(std::ostream &os) const;

 private:
  unsigned long max_signif;
  bool laplace;
};

class Param {
 public:
  GenParam gen;
  WinParam win;
  RocParam roc;
  SBCParam sbc;

  // AlwaysDecide as the section of a learner sets it: runs of that learner
  // take it in place of [General]'s.
  void set_learner_always_decide(AlgorithmType learner, bool b) {
    learner_always_decide[learner] = b ? 1 : 0;
  }
  // Whether the learner in force gives a document none of whose scores is
  // above its threshold its MinRanks best classes all the same.
  bool always_decide() const;

  // Logs the settings as one message with log_results at the given level.
  void log_parameters(unsigned int level) const;
  // The text that log_parameters logs.
  std::string parameters_text() const;

 private:
  // By learner: 1 on, 0 off, -1 as [General] says.
  int learner_always_decide[3] = {-1, -1, -1};
};

extern Param param;

#endif  // MIVO_BASE_PARAM_H
