#include "text/rcparser.h"

#include <gtest/gtest.h>

namespace {

// The messages for every kind of error, one a section, and their line
// numbers are checked end to end in cli_test.
unsigned int parse(const std::string &text, Param &param) {
  std::istringstream is(text);
  RcParser parser(param, is, "t.rc");
  parser.parse();
  return parser.errors();
}

// SBC's own AlwaysDecide holds under SBC, the general one under the others.
TEST(RcParserTest, NamedValues) {
  const struct { const char *text; AlgorithmType algorithm; TermSelType term_sel;
                 unsigned int strength, normalize; bool always_decide; } cases[] = {
      {"training sbc termselection none strength bool normalize linear alwaysdecide on "
       "[SBC] alwaysdecide off", SBC, NoTermSel, 5, 2, false},
      {"training Rocchio training WINNOW termselection docfreq strength sqrt normalize vector",
       Winnow, DocumentFrequency, 6, 3, false},
      {"termselection termfreq normalize cosine normalize off alwaysdecide on [SBC] alwaysdecide off",
       Winnow, TermFrequency, 4, 1, true},
      {"termselection infogain normalize cosine", Winnow, InformationGain, 4, 3, false}};
  for (const auto &c : cases) {
    Param param;
    EXPECT_EQ(0u, parse(std::string("[General] ") + c.text, param)) << c.text;
    EXPECT_EQ(c.algorithm, param.gen.get_algorithm()) << c.text;
    EXPECT_EQ(c.term_sel, param.gen.get_term_sel()) << c.text;
    EXPECT_EQ(c.strength, param.gen.get_strength_mode()) << c.text;
    EXPECT_EQ(c.normalize, param.gen.get_normalize()) << c.text;
    EXPECT_EQ(c.always_decide, param.always_decide()) << c.text;
  }
}

TEST(RcParserTest, NumbersAndRationals) {
  Param param;
  EXPECT_EQ(0u, parse("[Winnow] alpha 2 thetamin 1,5.5 maxiters 1,000\n"
                      "[General] selectivity 0 fparameter 2.5E-1", param));
  EXPECT_DOUBLE_EQ(2.0, param.win.get_alpha());
  EXPECT_DOUBLE_EQ(1.0, param.win.get_theta_minus());
  EXPECT_EQ(1u, param.win.get_max_iters());
  EXPECT_DOUBLE_EQ(0.25, param.gen.get_fparameter());
  // A selectivity of 0 selects every term, and says so.
  EXPECT_NE(std::string::npos, param.parameters_text().find("\nSelectivity       off\n"));
}

}  // namespace
