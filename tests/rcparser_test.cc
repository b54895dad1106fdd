#include "text/rcparser.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "driver/param.h"

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
  Outcome outcome = parse(
      "[General] training sbc termselection none strength bool "
      "normalize linear");
  EXPECT_EQ(SBC, outcome.param.gen.get_algorithm());
  EXPECT_EQ(NoTermSel, outcome.param.gen.get_term_sel());
  EXPECT_EQ(5u, outcome.param.gen.get_strength_mode());
  EXPECT_EQ(2u, outcome.param.gen.get_normalize());
  outcome = parse(
      "[General] training Rocchio training WINNOW termselection docfreq "
      "strength sqrt normalize vector");
  EXPECT_EQ(Winnow, outcome.param.gen.get_algorithm());
  EXPECT_EQ(DocumentFrequency, outcome.param.gen.get_term_sel());
  EXPECT_EQ(6u, outcome.param.gen.get_strength_mode());
  EXPECT_EQ(3u, outcome.param.gen.get_normalize());
  outcome = parse("[General] termselection termfreq normalize cosine normalize off");
  EXPECT_EQ(TermFrequency, outcome.param.gen.get_term_sel());
  EXPECT_EQ(1u, outcome.param.gen.get_normalize());
  EXPECT_EQ(0u, outcome.errors);
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
