#include "base/param.h"

#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

// The defaults, byte for byte, are checked through the log in cli_test.
// Here: the section after [General] belongs to the chosen algorithm alone.
TEST(Param, OnlyTheChosenAlgorithmsSectionIsPrinted) {
  Param p;
  const struct { AlgorithmType algorithm; const char *section; } cases[] = {
      {Rocchio, "[Rocchio]\nBeta              16\nGamma             4\nNegativeWeights   off\n"},
      {SBC, "[SBC]\nLaplace           on\nMaxSignif         10000\n"}};
  for (const auto &c : cases) {
    p.gen.set_algorithm(c.algorithm);
    std::string text = p.parameters_text();
    EXPECT_EQ(text.substr(text.find("\n\n") + 2), c.section);
    std::ostringstream name;
    name << "\nAlgorithm         " << c.algorithm << "\n";
    EXPECT_NE(text.find(name.str()), std::string::npos) << text;
  }
}

TEST(Param, SelectivityShowsOffWhenNothingIsSelected) {
  const struct { TermSelType sel; double selectivity; const char *line; } cases[] = {
      {NoTermSel, 0.5, "Selectivity       off\n"},
      {TfIdf, 0.0, "Selectivity       off\n"},
      {TfIdf, 0.25, "TermSelection     TfIdf\nIncremental"},
      {TfIdf, 0.25, "Selectivity       0.25\n"}};
  for (const auto &c : cases) {
    Param p;
    p.gen.set_term_sel(c.sel);
    p.gen.set_selectivity(c.selectivity);
    EXPECT_NE(p.parameters_text().find(c.line), std::string::npos) << c.line;
  }
}

// Settings added later show only when changed: logs of runs without them
// read as they always did.
TEST(Param, LaterSettingsShowOnlyWhenChanged) {
  Param p;
  std::string before = p.parameters_text();
  p.gen.set_threshold_folds(5);
  p.gen.set_gated_descent(true);
  p.gen.set_always_decide(true);
  std::string after = p.parameters_text();
  EXPECT_EQ(std::string::npos, before.find("Folds"));
  EXPECT_NE(std::string::npos,
            after.find("ThresholdFolds    5\nGatedDescent      on\nAlwaysDecide      on\n\n"));
}

TEST(Param, ModesAndNamesPrint) {
  Param p;
  p.gen.set_strength_mode(ltc_strength);
  p.gen.set_normalize(normalize_vector);
  p.gen.set_analyser("a b");
  std::string text = p.parameters_text();
  EXPECT_NE(text.find("Strength          ltc\n"), std::string::npos);
  EXPECT_NE(text.find("Normalize         vector\n"), std::string::npos);
  EXPECT_NE(text.find("Analyser          \"a b\"\n"), std::string::npos);

  std::ostringstream os;
  os << static_cast<TermSelType>(5) << "|" << static_cast<TermSelType>(6) << "|"
     << static_cast<AlgorithmType>(3) << "|" << Toggle(false);
  EXPECT_EQ(os.str(), "InformationGain|||off");
  EXPECT_STREQ(strength_mode_name(3), "");
  EXPECT_STREQ(normalize_mode_name(2), "linear");
}

}  // namespace
