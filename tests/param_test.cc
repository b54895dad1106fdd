#include "driver/param.h"

#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

const char *const default_general =
    "[General]\n"
    "Analyser          \"analyse.pl\"\n"
    "DataDirectory     \"data\"\n"
    "InputDirectory    \"input\"\n"
    "FileDirectory     \"files\"\n"
    "FParameter        1\n"
    "MaxRanks          1\n"
    "MinRanks          1\n"
    "Algorithm         Winnow\n"
    "TermSelection     Uncertainty\n"
    "Incremental       off\n"
    "Save              off\n"
    "Scaling           on\n"
    "Selectivity       0.16\n"
    "Strength          freq\n"
    "Normalize         off\n"
    "\n";

TEST(Param, DefaultsPrintExactly) {
  Param p;
  EXPECT_EQ(p.parameters_text(),
            std::string(default_general) +
                "[Winnow]\n"
                "Alpha             1.1\n"
                "Beta              0.9\n"
                "ThetaPlus         1\n"
                "ThetaMin          1\n"
                "MaxIters          5\n"
                "NegativeWeights  on\n");
}

TEST(Param, OnlyTheChosenAlgorithmsSectionIsPrinted) {
  Param p;
  p.gen.set_algorithm(Rocchio);
  EXPECT_EQ(p.parameters_text(),
            std::string(default_general).replace(
                std::string(default_general).find("Winnow"), 6, "Rocchio") +
                "[Rocchio]\n"
                "Beta              16\n"
                "Gamma             4\n"
                "NegativeWeights   off\n");
  p.gen.set_algorithm(SBC);
  std::string text = p.parameters_text();
  EXPECT_EQ(text.find("[Winnow]"), std::string::npos);
  EXPECT_NE(text.find("\n[SBC]\nLaplace           on\nMaxSignif         10000\n"),
            std::string::npos);
}

TEST(Param, SelectivityShowsOffWhenNothingIsSelected) {
  Param p;
  p.gen.set_term_sel(NoTermSel);
  p.gen.set_selectivity(0.5);
  EXPECT_NE(p.parameters_text().find("Selectivity       off\n"), std::string::npos);
  p.gen.set_term_sel(TfIdf);
  p.gen.set_selectivity(0.0);
  EXPECT_NE(p.parameters_text().find("Selectivity       off\n"), std::string::npos);
  p.gen.set_selectivity(0.25);
  EXPECT_NE(p.parameters_text().find("TermSelection     TfIdf\n"), std::string::npos);
  EXPECT_NE(p.parameters_text().find("Selectivity       0.25\n"), std::string::npos);
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
