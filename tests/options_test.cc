#include "base/options.h"

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

// The exact texts and the other exits are checked end to end in cli_test.
TEST(Options, EveryValueOptionNeedsAnArgumentNamedByItsShortForm) {
  EXPECT_EXIT(parse_only({"--input"}), testing::ExitedWithCode(1),
              "option `-i' needs an argument");
  EXPECT_EXIT(parse_only({"--resource", "-x"}), testing::ExitedWithCode(1),
              "option `-r' needs an argument");
  EXPECT_EXIT(parse_only({"--algorithm"}), testing::ExitedWithCode(1),
              "option `-a' needs an argument");
  EXPECT_EXIT(parse_only({"-h", "-q"}), testing::ExitedWithCode(0), "Options are:");
}

}  // namespace
