#include "text/rcparser.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "driver/param.h"

namespace {

struct Outcome {
  Param param;
  unsigned int errors;
  std::string messages;
};

Outcome parse(std::istream &is, const char *name) {
  Outcome outcome;
  testing::internal::CaptureStderr();
  RcParser parser(outcome.param, is, name);
  parser.parse();
  outcome.messages = testing::internal::GetCapturedStderr();
  outcome.errors = parser.errors();
  return outcome;
}

Outcome parse(const std::string &text) {
  std::istringstream is(text);
  return parse(is, "t.rc");
}

std::string fixture(const char *name) {
  const char *source = getenv("MIVO_SOURCE_DIR");
  return std::string(source ? source : ".") + "/tests/data/rc/" + name;
}

std::string defaults_text() { return Param().parameters_text(); }

TEST(RcParserTest, FilesWithoutSettingsChangeNothing) {
  for (const char *text : {"", "# only\n# comments\n", "[General][winnow]\n[SBC]"}) {
    Outcome outcome = parse(text);
    EXPECT_EQ(0u, outcome.errors) << text;
    EXPECT_EQ("", outcome.messages);
    EXPECT_EQ(defaults_text(), outcome.param.parameters_text());
  }
}

TEST(RcParserTest, GoodFileSetsWhatItNames) {
  param = Param();
  ASSERT_EQ(0, parse_rc(fixture("good.rc")));
  const GenParam &gen = param.gen;
  EXPECT_EQ(Rocchio, gen.get_algorithm());
  EXPECT_EQ(TfIdf, gen.get_term_sel());
  EXPECT_EQ(7u, gen.get_maxrank());
  EXPECT_EQ(2u, gen.get_minrank());
  EXPECT_DOUBLE_EQ(0.25, gen.get_selectivity());
  EXPECT_DOUBLE_EQ(2.0, gen.get_fparameter());
  EXPECT_EQ("store", gen.get_data_directory());
  EXPECT_EQ("in box", gen.get_input_directory());
  EXPECT_EQ("docs", gen.get_file_directory());
  EXPECT_EQ("", gen.get_analyser());
  EXPECT_TRUE(gen.incremental());
  EXPECT_TRUE(gen.save());
  EXPECT_FALSE(gen.scaling());
  EXPECT_TRUE(gen.multiclass());
  EXPECT_EQ(7u, gen.get_strength_mode());
  EXPECT_EQ(3u, gen.get_normalize());
  EXPECT_DOUBLE_EQ(2.0, param.win.get_alpha());
  EXPECT_DOUBLE_EQ(0.5, param.win.get_beta());
  EXPECT_DOUBLE_EQ(1.5, param.win.get_theta_plus());
  EXPECT_DOUBLE_EQ(0.8, param.win.get_theta_minus());
  EXPECT_EQ(10u, param.win.get_max_iters());
  EXPECT_FALSE(param.win.get_negative_weights());
  EXPECT_DOUBLE_EQ(8.0, param.roc.get_beta());
  EXPECT_DOUBLE_EQ(2.5, param.roc.get_gamma());
  EXPECT_TRUE(param.roc.get_negative_weights());
  EXPECT_FALSE(param.sbc.get_laplace());
  EXPECT_EQ(10000u, param.sbc.get_max_signif());
  param = Param();
}

TEST(RcParserTest, NamedValues) {
  struct Case {
    const char *setting;
    unsigned int algorithm, term_sel, strength, normalize;
  };
  const Case cases[] = {
      {"training sbc", SBC, Uncertainty, 4, 1},
      {"training WINNOW", Winnow, Uncertainty, 4, 1},
      {"termselection none", Winnow, NoTermSel, 4, 1},
      {"termselection uncertainty", Winnow, Uncertainty, 4, 1},
      {"termselection termfreq", Winnow, TermFrequency, 4, 1},
      {"termselection docfreq", Winnow, DocumentFrequency, 4, 1},
      {"termselection infogain", Winnow, InformationGain, 4, 1},
      {"strength bool", Winnow, Uncertainty, 5, 1},
      {"strength sqrt", Winnow, Uncertainty, 6, 1},
      {"strength ltc strength freq", Winnow, Uncertainty, 4, 1},
      {"normalize linear", Winnow, Uncertainty, 4, 2},
      {"normalize vector", Winnow, Uncertainty, 4, 3},
      {"normalize Cosine", Winnow, Uncertainty, 4, 3},
      {"normalize vector normalize off", Winnow, Uncertainty, 4, 1}};
  for (const Case &c : cases) {
    Outcome outcome = parse(std::string("[General] ") + c.setting);
    EXPECT_EQ(0u, outcome.errors) << c.setting;
    const GenParam &gen = outcome.param.gen;
    EXPECT_EQ(c.algorithm, static_cast<unsigned int>(gen.get_algorithm()));
    EXPECT_EQ(c.term_sel, static_cast<unsigned int>(gen.get_term_sel()));
    EXPECT_EQ(c.strength, gen.get_strength_mode()) << c.setting;
    EXPECT_EQ(c.normalize, gen.get_normalize()) << c.setting;
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

  outcome = parse("[Winnow]\nmaxiters 2.5");
  EXPECT_EQ("ERROR: file t.rc: line 2: before `2.5': parse error: "
            "number expected\n",
            outcome.messages);
  EXPECT_EQ(5u, outcome.param.win.get_max_iters());
}

TEST(RcParserTest, ValueTestsDoNotConsume) {
  std::istringstream is("on 3 2.5");
  Param target;
  RcParser parser(target, is, "t.rc");
  bool toggle = false;
  unsigned int n = 0;
  double d = 0;
  EXPECT_TRUE(parser.is_toggle(toggle));
  EXPECT_TRUE(toggle);
  EXPECT_FALSE(parser.is_number(n));
  EXPECT_TRUE(parser.should_be_toggle(toggle));
  EXPECT_TRUE(parser.is_number(n) && parser.is_float(d));
  EXPECT_EQ(3u, n);
  EXPECT_DOUBLE_EQ(3.0, d);
  parser.skip_token();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(parser.should_be_number(n));
  testing::internal::GetCapturedStderr();
  EXPECT_TRUE(parser.is_token(Scanner::RATIONAL));
  EXPECT_EQ(3u, n);
}

TEST(RcParserTest, AfterAnErrorTheNextSectionIsParsed) {
  Outcome outcome = parse(
      "maxranks 3\n"
      "[General] maxranks 5 maxranks 7 colour 4 minranks 3\n"
      "[Winnow] alpha 2 gain 3 beta 0.1\n"
      "[Rocchio] beta 3");
  EXPECT_EQ(3u, outcome.errors);
  // Settings before an error stay; the rest of its section is skipped.
  EXPECT_EQ(7u, outcome.param.gen.get_maxrank());
  EXPECT_EQ(1u, outcome.param.gen.get_minrank());
  EXPECT_DOUBLE_EQ(2.0, outcome.param.win.get_alpha());
  EXPECT_DOUBLE_EQ(0.9, outcome.param.win.get_beta());
  EXPECT_DOUBLE_EQ(3.0, outcome.param.roc.get_beta());
}

TEST(RcParserTest, KeywordsOfOtherSectionsAreRejected) {
  const char *sections[][2] = {{"General", "general"},
                               {"Winnow", "Winnow"},
                               {"Rocchio", "Rocchio"},
                               {"SBC", "SBC"}};
  for (const auto &section : sections) {
    Outcome outcome =
        parse(std::string("[") + section[0] + "] winnowfilter on");
    EXPECT_EQ(std::string("ERROR: file t.rc: line 1: before `winnowfilter': "
                          "parse error: ") +
                  section[1] + " parameter expected\n",
              outcome.messages);
  }
  EXPECT_NE(std::string::npos,
            parse("[General] alpha 1.5").messages.find(
                "general parameter expected"));
  EXPECT_NE(std::string::npos,
            parse("[SBC] maxsignif 3").messages.find("invalid SBC parameter"));
}

TEST(RcParserTest, UnterminatedStringCountsOnlyTheMissingValue) {
  Outcome outcome = parse("[General] datadirectory \"data\n[Winnow] alpha 3");
  EXPECT_EQ(
      "ERROR: file t.rc: line 1: unterminated string constant\n"
      "ERROR: file t.rc: line 2: before `[': parse error: "
      "quoted string expected\n",
      outcome.messages);
  EXPECT_EQ(1u, outcome.errors);
  EXPECT_EQ("data", outcome.param.gen.get_data_directory());
  EXPECT_DOUBLE_EQ(3.0, outcome.param.win.get_alpha());
}

TEST(RcParserTest, EveryKindOfErrorHasItsMessage) {
  std::ifstream rc(fixture("errors.rc"));
  std::ifstream expected(fixture("errors.expected"));
  ASSERT_TRUE(rc && expected);
  std::ostringstream messages;
  messages << expected.rdbuf();
  Outcome outcome = parse(rc, "errors.rc");
  EXPECT_EQ(messages.str(), outcome.messages);
  EXPECT_EQ(21u, outcome.errors);
  EXPECT_EQ(defaults_text(), outcome.param.parameters_text());
}

TEST(RcParserDeathTest, MissingFileEndsTheRun) {
  EXPECT_EXIT(parse_rc("no-such-file.rc"),
              [](int status) {
                return WIFEXITED(status) && WEXITSTATUS(status) != 0;
              },
              "ERROR: cannot open file `no-such-file.rc' for reading\n"
              "aborting");
}

}  // namespace
