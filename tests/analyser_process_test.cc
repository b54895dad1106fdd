#include "intake/analyser.h"

#include <gtest/gtest.h>

#include "base/param.h"
#include "base/utils.h"
#include "tests/child_run.h"

namespace {

// A hang must fail, not block: the alarm's default action ends the process.
// Death-test children do not inherit the alarm, so they arm their own.
const unsigned int time_limit = 30;
#define EXPECT_RUN_ENDS(statement, pattern) \
  EXPECT_EXIT({ alarm(time_limit); statement; }, failed_run, pattern)

// The test analyser script as a command with the given arguments.
std::string stand_in(const std::string &arguments) {
  const char *source = getenv("MIVO_SOURCE_DIR");
  return std::string(source ? source : "MIVO_SOURCE_DIR-unset") +
         "/tests/data/test_analyser.sh " + arguments;
}

class AnalyserTest : public testing::Test {
 protected:
  void SetUp() override {
    alarm(time_limit);
    param.gen.set_file_directory("docs");
  }
  void TearDown() override { alarm(0); }
  static void make_document(const std::string &name, const std::string &text) {
    check_directory_exists("docs");
    std::ofstream(PathName("docs", name, ".txt").get()) << text;
  }
  Analyser analyser;
};

TEST_F(AnalyserTest, CommandIsSplitAtEveryBlankUpToTwentyArguments) {
  make_document("doc", "");
  analyser.initialise(stand_in("args -x  -y"));
  EXPECT_EQ("-x\n\n-y\n", analyser.process("doc"));
  std::string twenty = "args", expected;
  for (int i = 2; i <= 20; ++i) {
    twenty += " w" + std::to_string(i);
    expected += "w" + std::to_string(i) + "\n";
  }
  analyser.initialise(stand_in(twenty));
  EXPECT_EQ(expected, analyser.process("doc"));
  EXPECT_RUN_ENDS(analyser.initialise(stand_in(twenty + " w21")),
                  "analyser command `.*' has more than 20 arguments");
}

TEST_F(AnalyserTest, AnswersAreJoinedOverChunksUpToTheTerminatingByte) {
  std::string large, with_nul("[ a ]\0[ b ]", 11);
  while (large.size() < 1500000) large += "[ car , red | fast ] ";
  make_document("large", large);
  make_document("full_chunk", std::string(1023, 'x'));  // byte 1 opens chunk 2
  make_document("nul", with_nul);
  analyser.initialise(stand_in("echo"));
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(large, analyser.process("large"));
    EXPECT_EQ(std::string(1023, 'x'), analyser.process("full_chunk.txt"));
    EXPECT_EQ(with_nul, analyser.process("nul"));
  }
}

// A document asked for ahead is answered in its turn; an answer asked for
// but not wanted is dropped, and a hint that cannot be sent waits for its own
// turn to fail.
TEST_F(AnalyserTest, DocumentsAskedForAheadKeepTheirAnswers) {
  for (const char *name : {"a", "b", "c"}) make_document(name, std::string("text of ") + name);
  analyser.initialise(stand_in("echo"));
  analyser.expect_next("b");
  EXPECT_EQ("text of a", analyser.process("a"));
  analyser.expect_next("c");
  EXPECT_EQ("text of b", analyser.process("b"));
  EXPECT_EQ("text of c", analyser.process("c"));
  analyser.expect_next("b");
  EXPECT_EQ("text of a", analyser.process("a"));
  EXPECT_EQ("text of c", analyser.process("c"));  // b's answer dropped
  analyser.expect_next("a");
  EXPECT_EQ("text of a", analyser.process("a"));
  analyser.expect_next("missing");
  EXPECT_EQ("text of b", analyser.process("b"));
  EXPECT_RUN_ENDS(analyser.process("missing"), "Cannot open file \"docs/missing.txt\"");
}

TEST_F(AnalyserTest, FailingAnalysersEndTheRunNamingThemAndTheDocument) {
  make_document("first", "[ a ]");
  make_document("line\nbreak", "[ a ]");
  analyser.initialise(stand_in("die-after 1"));
  EXPECT_RUN_ENDS(analyser.process("line\nbreak"),
                  "document name `line\nbreak' holds a control character");
  EXPECT_EQ("[ a ]", analyser.process("first"));
  EXPECT_RUN_ENDS(analyser.process("first"),
                  "analyser `.*test_analyser.sh die-after 1' ended before "
                  "answering document `first'");
  EXPECT_RUN_ENDS({ analyser.initialise("no/such/analyser -x"); analyser.process("first"); },
                  "analyser process execution failed: No such file or directory"
                  "(.|\n)*analyser `no/such/analyser -x'.*document `first'");
  // Ends at once without reading: the request may meet a closed pipe.
  EXPECT_RUN_ENDS({ analyser.initialise("/bin/true"); for (;;) analyser.process("first"); },
                  "analyser `/bin/true'.*document `first'");
}

TEST_F(AnalyserTest, WithoutACommandTheDocumentIsReadAsItIs) {
  param.gen.set_file_directory("plain");
  analyser.initialise("");
  std::string text(200000, 'w');
  text[100] = '\0';
  std::ofstream("plain/doc.txt") << text;
  EXPECT_EQ(text, analyser.process("doc"));
  EXPECT_RUN_ENDS(analyser.process("missing"),
                  "Cannot open file \"plain/missing.txt\" for analysing stage");
  check_directory_exists("plain/folder.txt");
  analyser.initialise(stand_in("echo"));
  EXPECT_RUN_ENDS(analyser.process("folder"),
                  "Cannot open file \"plain/folder.txt\" for analysing stage");
}

}  // namespace
