#include "driver/options.h"

#include <iostream>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

namespace {

Options parsed(std::vector<const char *> args) {
  args.insert(args.begin(), "mivo");
  args.push_back(nullptr);
  Options o;
  o.parse(static_cast<int>(args.size()) - 1, args.data());
  return o;
}

void parse_only(std::vector<const char *> args) { parsed(std::move(args)); }

TEST(Options, VerbosityCountsEveryV) {
  EXPECT_EQ(parsed({"-vvv", "ex"}).get_verbosity_level(), 3u);
  EXPECT_EQ(parsed({"-v", "-v", "--verbose", "ex"}).get_verbosity_level(), 3u);
  // A bad letter is reported, the v letters before it still count.
  EXPECT_EQ(parsed({"-vvx", "ex"}).get_verbosity_level(), 2u);
  EXPECT_EQ(parsed({"-version", "ex"}).get_verbosity_level(), 1u);
}

TEST(Options, ValuesAndFlags) {
  Options o = parsed({"-d", "d1", "--data", "d2", "-i", "in", "-r", "my",
                      "-xl", "--xtesting", "ex"});
  EXPECT_EQ(o.get_data_directory(), "d2");
  EXPECT_EQ(o.get_input_directory(), "in");
  EXPECT_EQ(o.get_rc_file(), "my");
  EXPECT_EQ(o.get_examples_directory(), "ex");
  EXPECT_TRUE(o.skip_train());
  EXPECT_TRUE(o.skip_test());
  EXPECT_FALSE(o.poll());
  EXPECT_FALSE(o.algorithm_given());
  EXPECT_EQ(o.training_algorithm(), Winnow);
}

TEST(Options, AlgorithmByFirstLetter) {
  Options rocchio = parsed({"-a", "Rocchio", "ex"});
  EXPECT_EQ(rocchio.training_algorithm(), Rocchio);
  EXPECT_TRUE(rocchio.algorithm_given());
  EXPECT_EQ(parsed({"--algorithm", "S", "ex"}).training_algorithm(), SBC);
  Options winnow = parsed({"-a", "S", "-a", "W", "ex"});
  EXPECT_EQ(winnow.training_algorithm(), Winnow);
  EXPECT_TRUE(winnow.algorithm_given());
}

TEST(Options, NoExamplesDirectoryMeansPolling) {
  Options o = parsed({"-v"});
  EXPECT_TRUE(o.poll());
  EXPECT_EQ(o.get_examples_directory(), "");
  EXPECT_TRUE(parsed({"-p", "ex"}).poll());
}

TEST(Options, BadCommandLinesExitWithStatusOne) {
  EXPECT_EXIT(parse_only({"-a", "r"}), testing::ExitedWithCode(1),
              "ERROR: valid arguments to -a are W, R or S\nuse `mivo -h' for help\n");
  EXPECT_EXIT(parse_only({"-d", "-p"}), testing::ExitedWithCode(1),
              "ERROR: option `-d' needs an argument\nuse `mivo -h' for help\n");
  EXPECT_EXIT(parse_only({"--data"}), testing::ExitedWithCode(1),
              "option `-d' needs an argument");
  EXPECT_EXIT(parse_only({"--input"}), testing::ExitedWithCode(1),
              "option `-i' needs an argument");
  EXPECT_EXIT(parse_only({"--resource", "-x"}), testing::ExitedWithCode(1),
              "option `-r' needs an argument");
  EXPECT_EXIT(parse_only({"--algorithm"}), testing::ExitedWithCode(1),
              "option `-a' needs an argument");
  EXPECT_EXIT(parse_only({"-q", "-h"}), testing::ExitedWithCode(1),
              "^ERROR: unknown option `-q'\nuse `mivo -h' for help\n$");
  EXPECT_EXIT(parse_only({"x", "y"}), testing::ExitedWithCode(1),
              "^ERROR: duplicate examples directory specified\n$");
}

TEST(Options, HelpVersionAndEmptyCommandLineExitZero) {
  EXPECT_EXIT(parse_only({"-h", "-q"}), testing::ExitedWithCode(0), "Options are:");
  EXPECT_EXIT(parse_only({"-vvx", "--help"}), testing::ExitedWithCode(0),
              "ERROR: invalid option `-vvx'\nUsage: mivo");
  EXPECT_EXIT(parse_only({"--Version"}), testing::ExitedWithCode(0), "^mivo");
  EXPECT_EXIT(parse_only({}), testing::ExitedWithCode(0),
              "^Usage: mivo .*\n.*\n           \\[ -r <rc-file> \\] "
              "\\[ <examples-directory> \\]\n$");
}

TEST(Options, HelpTextEndsWithAnEmptyLine) {
  std::stringstream captured;
  std::streambuf *old = std::cerr.rdbuf(captured.rdbuf());
  show_help();
  hint_help();
  std::cerr.rdbuf(old);
  std::string text = captured.str();
  EXPECT_EQ(text.find(std::string(usage_text) + "\nOptions are:\n"), 0u);
  EXPECT_NE(text.find("    -xt   --xtesting       exclude testing phase\n\n"
                      "Arguments are:\n"),
            std::string::npos);
  EXPECT_NE(text.find("    <rc-file>              file with resource definitions\n"
                      "\nuse `mivo -h' for help\n"),
            std::string::npos);
}

}  // namespace
