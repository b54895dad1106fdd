#include "base/param.h"

#include <cstring>
#include <sstream>

#include "base/eventlog.h"

namespace {

const NumberRange number_ranges[] = {
    {"General", "Analysers", 1, max_analysers, true},
    {"General", "AnalyserTimeout", 1, 1000000, true},
    {"General", "FParameter", 0, 1000, false},
    {"General", "MaxRanks", 0, 1000000, true},
    {"General", "MinRanks", 0, 1000000, true},
    {"General", "Selectivity", 0, 1000000, false},
    // Each fold costs a training; 1 leaves its models nothing to learn from
    // and is refused apart.
    {"General", "ThresholdFolds", 0, 1000, true},
    {"General", "Explain", 0, max_explain_terms, true},
    // Winnow promotes by Alpha and demotes by Beta; swapped, it unlearns.
    {"Winnow", "Alpha", 1, 1000, false},
    {"Winnow", "Beta", 0, 1, false},
    {"Winnow", "ThetaPlus", 0, 1000000, false},
    {"Winnow", "ThetaMin", 0, 1000000, false},
    {"Winnow", "MaxIters", 1, 1000000, true},
    {"Rocchio", "Beta", 0, 1000000, false},
    {"Rocchio", "Gamma", 0, 1000000, false},
};

}  // namespace

const NumberRange &number_range(const char *section, const char *name) {
  for (const NumberRange &range : number_ranges)
    if (strcmp(range.section, section) == 0 && strcmp(range.name, name) == 0) return range;
  assertion_failed(__FILE__, __LINE__, "a numeric setting without a range");
}

const char *strength_mode_name(unsigned int mode) {
  switch (mode) {
    case freq_strength: return "freq";
    case bool_strength: return "bool";
    case sqrt_strength: return "sqrt";
    case ltc_strength: return "ltc";
    default: return "";
  }
}

const char *normalize_mode_name(unsigned int mode) {
  switch (mode) {
    case normalize_off: return "off";
    case normalize_linear: return "linear";
    case normalize_vector: return "vector";
    default: return "";
  }
}

std::ostream &operator<<(std::ostream &os, Toggle t) {
  return os << (t.value ? "on" : "off");
}

std::ostream &operator<<(std::ostream &os, const Quote &q) {
  return os << '"' << q.text << '"';
}

std::ostream &operator<<(std::ostream &os, AlgorithmType a) {
  switch (a) {
    case Winnow: return os << "Winnow";
    case Rocchio: return os << "Rocchio";
    case SBC: return os << "SBC";
  }
  return os;
}

std::ostream &operator<<(std::ostream &os, TermSelType t) {
  static const char *const names[] = {"none",          "Uncertainty",
                                      "TermFrequency", "DocumentFrequency",
                                      "TfIdf",         "InformationGain"};
  unsigned int index = static_cast<unsigned int>(t);
  if (index < sizeof names / sizeof names[0]) os << names[index];
  return os;
}

GenParam::GenParam()
    : data_directory("data"),
      input_directory("input"),
      file_directory("files"),
      analyser("analyse.pl"),
      analysers(1),
      analyser_timeout(default_analyser_timeout),
      fparameter(1.0),
      selectivity(0.16),
      algorithm(Winnow),
      term_sel(Uncertainty),
      incremental_mode(false),
      save_mode(false),
      scaling_mode(true),
      multiclass_mode(true),
      maxrank(1),
      minrank(1),
      normalize(normalize_off),
      strength_mode(freq_strength),
      threshold_folds(0),
      gated_descent(false),
      always_decide(false),
      path_mean(false),
      explain_terms(0) {}

void GenParam::print(std::ostream &os) const {
  os << "[General]\n"
     << "Analyser          " << Quote(analyser) << "\n";
  // Logs written before these settings existed stay as they were.
  if (analysers != 1) os << "Analysers         " << analysers << "\n";
  if (analyser_timeout != default_analyser_timeout)
    os << "AnalyserTimeout   " << analyser_timeout << "\n";
  os << "DataDirectory     " << Quote(data_directory) << "\n"
     << "InputDirectory    " << Quote(input_directory) << "\n"
     << "FileDirectory     " << Quote(file_directory) << "\n"
     << "FParameter        " << fparameter << "\n"
     << "MaxRanks          " << maxrank << "\n"
     << "MinRanks          " << minrank << "\n"
     << "Algorithm         " << algorithm << "\n"
     << "TermSelection     " << term_sel << "\n"
     << "Incremental       " << Toggle(incremental_mode) << "\n"
     << "Save              " << Toggle(save_mode) << "\n"
     << "Scaling           " << Toggle(scaling_mode) << "\n"
     << "Selectivity       ";
  if (selectivity > 0 && term_sel != NoTermSel)
    os << selectivity;
  else
    os << "off";
  os << "\n"
     << "Strength          " << strength_mode_name(strength_mode) << "\n"
     << "Normalize         " << normalize_mode_name(normalize) << "\n";
  // Later settings show only when changed, so that logs of runs without
  // them read as they always did.
  if (threshold_folds != 0) os << "ThresholdFolds    " << threshold_folds << "\n";
  if (gated_descent) os << "GatedDescent      " << Toggle(gated_descent) << "\n";
  if (always_decide) os << "AlwaysDecide      " << Toggle(always_decide) << "\n";
  if (path_mean) os << "PathMean          " << Toggle(path_mean) << "\n";
  if (explain_terms != 0) os << "Explain           " << explain_terms << "\n";
}

WinParam::WinParam()
    : max_iters(5),
      alpha(1.1),
      beta(0.9),
      theta_plus(1.0),
      theta_minus(1.0),
      negative_weights(true),
      weighted_update(false) {}

void WinParam::print(std::ostream &os) const {
  // The NegativeWeights label is one blank shorter than the others; stored logs
  // and the tools that read them expect it that way.
  os << "[Winnow]\n"
     << "Alpha             " << alpha << "\n"
     << "Beta              " << beta << "\n"
     << "ThetaPlus         " << theta_plus << "\n"
     << "ThetaMin          " << theta_minus << "\n"
     << "MaxIters          " << max_iters << "\n"
     << "NegativeWeights  " << Toggle(negative_weights) << "\n";
  // Shown only when on, as the later settings of [General] are.
  if (weighted_update) os << "WeightedUpdate    " << Toggle(weighted_update) << "\n";
}

RocParam::RocParam()
    : pivoted(false), beta(16.0), gamma(4.0), negative_weights(false) {}

void RocParam::print(std::ostream &os) const {
  os << "[Rocchio]\n"
     << "Beta              " << beta << "\n"
     << "Gamma             " << gamma << "\n"
     << "NegativeWeights   " << Toggle(negative_weights) << "\n";
}

SBCParam::SBCParam() : max_signif(10000), laplace(true) {}

void SBCParam::print(std::ostream &os) const {
  os << "[SBC]\n"
     << "Laplace           " << Toggle(laplace) << "\n"
     << "MaxSignif         " << max_signif << "\n";
}

bool Param::always_decide() const {
  int own = learner_always_decide[gen.get_algorithm()];
  return own < 0 ? gen.get_always_decide() : own != 0;
}

std::string Param::parameters_text() const {
  std::ostringstream os;
  gen.print(os);
  os << "\n";
  switch (gen.get_algorithm()) {
    case Winnow: win.print(os); break;
    case Rocchio: roc.print(os); break;
    case SBC: sbc.print(os); break;
  }
  if (learner_always_decide[gen.get_algorithm()] >= 0)
    os << "AlwaysDecide      " << Toggle(always_decide()) << "\n";
  return os.str();
}

void Param::log_parameters(unsigned int level) const {
  log_results(level, parameters_text().c_str());
}
