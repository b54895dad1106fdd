#include "intake/analyser.h"

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
    param = Param();
    param.gen.set_file_directory("docs");
  }
  void TearDown() override { alarm(0); }
  static void make_document(const std::string &name, const std::string &text) {
    check_directory_exists("docs");
    std::ofstream(PathName("docs", name, ".txt").get()) << text;
  }
  // The process-wide analyser: a run that ends through exit ends its children.
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

// However many children, answers come in the order of the queue, and the
// first documents go to as many children at once. An analyser that takes one
// read() per request would hang on a second request sent before its answer
// was read. A document asked for out of turn drops the queue; one that cannot
// be sent fails in its own turn.
TEST_F(AnalyserTest, QueuedDocumentsAreAnsweredInOrderOneRequestAtATime) {
  const char *names[] = {"a", "b", "c", "d"};
  for (const char *name : names) make_document(name, name);
  for (unsigned int children : {1u, 3u}) {
    param.gen.set_analysers(children);
    analyser.initialise(std::string(getenv("MIVO_SOURCE_DIR")) + "/tests/data/one_read_analyser.pl");
    for (int i = 0; i < 12; ++i) analyser.expect(names[i % 4]);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(names[i % 4], analyser.process(names[i % 4]));
    analyser.expect("a");
    EXPECT_EQ("c", analyser.process("c"));
    analyser.initialise(stand_in("pid"));
    for (const char *name : names) analyser.expect(name);
    std::set<std::string> pids;
    for (const char *name : names) pids.insert(analyser.process(name));
    EXPECT_EQ(children, pids.size());
  }
  for (const char *name : {"a", "missing"}) analyser.expect(name);
  EXPECT_RUN_ENDS({ EXPECT_EQ("a", analyser.process("a")); analyser.process("missing"); },
                  "Cannot open file \"docs/missing.txt\"");
}

// Every way of failing ends the run naming the analyser and the document, in
// that document's turn: with two children, after the documents before it.
TEST_F(AnalyserTest, FailingAnalysersEndTheRunNamingThemAndTheDocument) {
  const char *documents[] = {"first", "second", "third"};
  for (const char *name : documents) make_document(name, "[ a ]");
  make_document("line\nbreak", "[ a ]");
  std::ofstream("not_executable") << "#!/bin/sh\n";
  const struct { unsigned int children; std::string command; const char *pattern; } cases[] = {
      {1, stand_in("die-after 1"),
       "analyser `.*test_analyser.sh die-after 1' ended before answering document `second'"},
      {2, stand_in("die-after 1"), "ended before answering document `third'"},
      {1, stand_in("close"), "analyser `.*close' ended before answering document `first'"},
      {1, stand_in("hang-after 0"), "analyser `.*test_analyser.sh hang-after 0' sent nothing "
                                    "for 1 seconds \\(AnalyserTimeout\\) while analysing "
                                    "document `first'"},
      {2, stand_in("half"), "analyser `.*half' sent nothing .* document `first'"},
      {1, "no/such/analyser -x", "cannot start analyser `no/such/analyser': No such file"},
      {1, "not_executable", "cannot start analyser `not_executable': Permission denied"},
      // Ends at once without reading: the request may meet a closed pipe.
      {1, "/bin/true", "analyser `/bin/true'.*document `first'"}};
  param.gen.set_analyser_timeout(1);
  for (const auto &c : cases) {
    param.gen.set_analysers(c.children);
    EXPECT_RUN_ENDS(
        {
          analyser.initialise(c.command);
          for (const char *name : documents) analyser.expect(name);
          for (const char *name : documents) EXPECT_EQ("[ a ]", analyser.process(name));
        },
        c.pattern);
  }
  analyser.initialise(stand_in("echo"));
  EXPECT_RUN_ENDS(analyser.process("line\nbreak"),
                  "document name `line\nbreak' holds a control character");
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
