#include "text/rcparser.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "base/param.h"

namespace {

struct Outcome {
  Param param;
  unsigned int errors;
  std::string messages;
};

// The messages for every kind of error are checked end to end in rcfile_test.
Outcome parse(const std::string &text) {
  std::istringstream is(text);
  Outcome outcome;
  testing::internal::CaptureStderr();
  RcParser parser(outcome.param, is, "t.rc");
  parser.parse();
  outcome.messages = testing::internal::GetCapturedStderr();
  outcome.errors = parser.errors();
  return outcome;
}

TEST(RcParserTest, FilesWithoutSettingsChangeNothing) {
  for (const char *text : {"", "# only\n# comments\n", "[General][winnow]\n[SBC]"}) {
    Outcome outcome = parse(text);
    EXPECT_EQ(0u, outcome.errors) << text;
    EXPECT_EQ(Param().parameters_text(), outcome.param.parameters_text());
  }
}

TEST(RcParserTest, NamedValues) {
  struct Case {
    const char *text;
    AlgorithmType algorithm;
    TermSelType term_sel;
    unsigned int strength, normalize;
  } cases[] = {
      {"training sbc termselection none strength bool normalize linear", SBC,
       NoTermSel, 5, 2},
      {"training Rocchio training WINNOW termselection docfreq strength sqrt "
       "normalize vector",
       Winnow, DocumentFrequency, 6, 3},
      {"termselection termfreq normalize cosine normalize off", Winnow,
       TermFrequency, 4, 1},
  };
  for (const Case &c : cases) {
    Outcome outcome = parse(std::string("[General] ") + c.text);
    EXPECT_EQ(0u, outcome.errors) << c.text;
    EXPECT_EQ(c.algorithm, outcome.param.gen.get_algorithm()) << c.text;
    EXPECT_EQ(c.term_sel, outcome.param.gen.get_term_sel()) << c.text;
    EXPECT_EQ(c.strength, outcome.param.gen.get_strength_mode()) << c.text;
    EXPECT_EQ(c.normalize, outcome.param.gen.get_normalize()) << c.text;
  }
}

TEST(RcParserTest, NumbersAndRationals) {
  Outcome outcome = parse(
      "[Winnow] alpha 2 thetamin 1,5.5 maxiters 1,000\n"
      "[General] selectivity 0 fparameter 2.5E-1");
  EXPECT_EQ(0u, outcome.errors);
  EXPECT_DOUBLE_EQ(2.0, outcome.param.win.get_alpha());
  EXPECT_DOUBLE_EQ(1.0, outcome.param.win.get_theta_minus());
  EXPECT_EQ(1u, outcome.param.win.get_max_iters());
  EXPECT_DOUBLE_EQ(0.0, outcome.param.gen.get_selectivity());
  EXPECT_DOUBLE_EQ(0.25, outcome.param.gen.get_fparameter());
}

TEST(RcParserTest, DecisionSettings) {
  Outcome outcome = parse("[General] thresholdfolds 3 gateddescent on alwaysdecide on");
  EXPECT_EQ(0u, outcome.errors);
  EXPECT_EQ(3u, outcome.param.gen.get_threshold_folds());
  EXPECT_TRUE(outcome.param.gen.get_gated_descent());
  EXPECT_TRUE(outcome.param.gen.get_always_decide());
  // One fold would leave its models nothing to learn from.
  EXPECT_EQ(1u, parse("[General] ThresholdFolds 1").errors);
}

TEST(RcParserTest, AfterAnErrorTheNextSectionIsParsed) {
  Outcome outcome = parse(
      "maxranks 3\n"
      "[General] maxranks 5 maxranks 7 colour 4 minranks 3\n"
      "[Winnow] alpha 2 maxiters 2.5 beta 0.1\n"
      "[Rocchio] beta 3");
  EXPECT_EQ(3u, outcome.errors);
  // Settings before an error stay; the rest of its section is skipped.
  EXPECT_EQ(7u, outcome.param.gen.get_maxrank());
  EXPECT_EQ(1u, outcome.param.gen.get_minrank());
  EXPECT_DOUBLE_EQ(2.0, outcome.param.win.get_alpha());
  EXPECT_EQ(5u, outcome.param.win.get_max_iters());
  EXPECT_DOUBLE_EQ(0.9, outcome.param.win.get_beta());
  EXPECT_DOUBLE_EQ(3.0, outcome.param.roc.get_beta());
}

TEST(RcParserTest, UnterminatedStringCountsOnlyTheMissingValue) {
  Outcome outcome = parse("[General] datadirectory \"store\n[Winnow] alpha 3");
  EXPECT_EQ(
      "ERROR: file t.rc: line 1: unterminated string constant\n"
      "ERROR: file t.rc: line 2: before `[': parse error: "
      "quoted string expected\n",
      outcome.messages);
  EXPECT_EQ(1u, outcome.errors);
  EXPECT_EQ("data", outcome.param.gen.get_data_directory());
  EXPECT_DOUBLE_EQ(3.0, outcome.param.win.get_alpha());
}

}  // namespace
