// The analyser of documents: a command mivo starts and talks to over its pipe
// protocol, or none, when documents are read as they are. The shipped one
// (analyser/analyse.pl), driven as mivo drives it: every answer read by mivo's
// own parser of analysed documents, which must find no syntax error in it, and
// its compiled form, mivo-analyse, must write what the script writes, byte
// for byte.
#include "intake/analyser.h"

#include "base/param.h"
#include "base/utils.h"
#include "model/atomtab.h"
#include "tests/child_run.h"
#include "text/docparser.h"

namespace {

// A hang must fail, not block: the alarm's default action ends the process.
// Death-test children do not inherit the alarm, so they arm their own.
const unsigned int time_limit = 30;
#define EXPECT_RUN_ENDS(statement, pattern) \
  EXPECT_EXIT({ alarm(time_limit); statement; }, failed_run, pattern)

// A file of the source tree, given its path from the top.
std::string source(const std::string &path) {
  const char *top = getenv("MIVO_SOURCE_DIR");
  return std::string(top ? top : "MIVO_SOURCE_DIR-unset") + "/" + path;
}

// The test analyser script as a command with the given arguments.
std::string stand_in(const std::string &arguments) {
  return source("tests/data/test_analyser.sh ") + arguments;
}

// The process-wide analyser: a run that ends through exit ends its children.
class AnalyserTest : public testing::Test {
 protected:
  void SetUp() override {
    alarm(time_limit);
    param = Param();
    param.gen.set_file_directory("docs");
    check_directory_exists("docs");
  }
  void TearDown() override { alarm(0); }
  static void make_document(const std::string &name, const std::string &bytes) {
    std::ofstream(PathName("docs", name, ".txt").get(), std::ios::binary) << bytes;
  }

  // The answer's pairs as sorted "head|modifier" items joined by blanks; the
  // answer must parse without a syntax error.
  static std::string pairs(const std::string &name) {
    Doc doc;
    std::string answer = analyser.process(name);
    EXPECT_EQ(parse_document(answer, name, true, doc), 0) << name << ": " << answer;
    std::vector<std::string> items;
    for (const auto &entry : doc)
      items.push_back(atom_text(entry.first.head) + "|" +
                      (entry.first.mod == NoId ? "" : atom_text(entry.first.mod)));
    std::sort(items.begin(), items.end());
    std::string joined;
    for (const std::string &item : items) joined += (joined.empty() ? "" : " ") + item;
    return joined;
  }
};

// Each row: an analyser command and a document with the answer it gives.
// A command is split at every blank, up to twenty arguments; an answer is
// joined over chunks up to the terminating byte, also when that byte opens
// a chunk (after 1023 bytes); without a command the document is read as it is.
TEST_F(AnalyserTest, AnswersComeWholeFromTheCommandAsSplit) {
  std::string twenty = "args", arguments, large, plain(200000, 'w');
  for (int i = 2; i <= 20; ++i) {
    twenty += " w" + std::to_string(i);
    arguments += "w" + std::to_string(i) + "\n";
  }
  while (large.size() < 1500000) large += "[ car , red | fast ] ";
  plain[100] = '\0';
  const std::string with_nul("[ a ]\0[ b ]", 11), full_chunk(1023, 'x');
  const struct { std::string command, text, answer; } cases[] = {
      {stand_in("args -x  -y"), "", "-x\n\n-y\n"}, {stand_in(twenty), "", arguments},
      {stand_in("echo"), large, large},           {stand_in("echo"), full_chunk, full_chunk},
      {stand_in("echo"), with_nul, with_nul},     {stand_in("echo"), large, large},
      {stand_in("echo"), full_chunk, full_chunk}, {"", plain, plain}};
  std::string command = "none";
  for (const auto &c : cases) {
    if (command != c.command) analyser.initialise(command = c.command);
    make_document("doc", c.text);
    EXPECT_EQ(c.answer, analyser.process("doc.txt")) << c.command;  // named with its extension
  }
  EXPECT_RUN_ENDS(analyser.process("missing"),
                  "Cannot open file \"docs/missing.txt\" for analysing stage");
  EXPECT_RUN_ENDS(analyser.initialise(stand_in(twenty + " w21")),
                  "analyser command `.*' has more than 20 arguments");
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
    analyser.initialise(source("tests/data/one_read_analyser.pl"));
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

// Each row: the options, a document and the pairs of the answer, which must
// parse (random bytes are bad_input's). Words fold; adjacent words pair, the
// right one as head.
TEST_F(AnalyserTest, ShippedAnswersParseAndPairAdjacentWords) {
  const std::string phrase = "The red car stopped.\nRed CAR, blue sky of Bob's home\n";
  std::ofstream("stop") << "red # colours\nSKY\n";
  const struct { const char *options; std::string text, pairs; } cases[] = {
      {"", phrase, "blue| bob| car| car|red home| home|bob red| sky| sky|blue stopped| stopped|car"},
      {"", "green tree\r\nold house\r\n", "green| house| house|old old| tree| tree|green"},
      {"", "well-known state--of art-  -dash it's 1,000 3.14 e.g. x\n",
       "1000| 3.14| 3.14|1000 art| dash| state| state|well-known well-known|"},
      {"", std::string("left\0right word", 15), "left| right| word| word|right"},
      {"", "[ x ] {y} a|b \"quoted words\" back\\slash \\\" comma,list ]]] {{ | , \\\nend\n",
       "back| comma| end| list| quoted| slash| words| words|quoted"},
      {"", std::string(20000, 'q') + " " + std::string(40, 'k') + " " + std::string(41, 'z') + " tail\n",
       std::string(40, 'k') + "| tail|"},
      {"", "Привет мир ΚΑΛΗΜΈΡΑ नमस्ते café\xe2\x80\x99s",
       "café| café|नमस्ते καλημέρα| καλημέρα|мир мир| мир|привет привет| नमस्ते| नमस्ते|καλημέρα"},
      {"", "caf\xe9 cr\xe8me \xff\xfe br\xfbl\xe9" "e\n", "br| caf| cr|"},
      {"", "", ""},  // an empty answer, after which the analyser goes on
      {"", "left right", "left| right| right|left"},
      {"-words", phrase, "blue| bob| car| home| red| sky| stopped|"},
      // Two blanks give an empty argument, which is ignored.
      {"-keep-stopwords ", phrase, "blue| bob| bob|of car| car|red home| home|bob of| of|sky red| "
                                   "red|the sky| sky|blue stopped| stopped|car the|"},
      {"-stopwords stop -min-length 4", phrase, "blue| home| stopped|"}};
  std::string options = "none";
  for (const auto &c : cases) {
    if (options != c.options) analyser.initialise(source("analyser/analyse.pl ") + (options = c.options));
    make_document("doc", c.text);
    EXPECT_EQ(c.pairs, pairs("doc")) << c.options << " " << c.text;
  }
}

// What an analyser command writes for the paths in "list": standard output,
// standard error and exit status.
std::string outcome(const std::string &command) {
  int status = system((command + " <list >out 2>err").c_str());
  return file_text("out") + "\n[stderr]\n" + file_text("err") + "[status] " +
         std::to_string(WEXITSTATUS(status));
}

TEST_F(AnalyserTest, TheCompiledShippedAnalyserWritesWhatTheScriptWrites) {
  const char *program = getenv("MIVO_ANALYSE_PROGRAM");
  ASSERT_NE(program, nullptr);
  const char *documents[][2] = {
      {"ascii", "The red car stopped.\nRed CAR, blue sky of Bob's home\r\n\tx\there 1,000 "
                "3.14 1.2.3 e.g. x,y 1,,2 a-.b 12,5x\fnext\vone"},
      {"connectors", "well-known state--of art-  -dash edge- it's 'quoted' rock'n'roll 's x's "
                     "he's o'neil's a'-b -x- 9-"},
      {"lengths", "kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz "
                  "ééééééééééééééééééééééééééééééééééééééééé a b\xc3\xa9 ab"},
      {"letters", "Привет мир ΚΑΛΗΜΈΡΑ ΣΟΦΟΣ Straße STRAẞE İstanbul ﬁne Kelvin\xe2\x84\xaa "
                  "café\xe2\x80\x99s e\xcc\x81t\xc3\xa9 n\xcc\x83o 東京 नमस्ते co\xe2\x80\x90op "
                  "a\xc2\xa0" "b x\xe3\x80\x80y q\xcd\xbe; \xe1\x8f\xb8\xe1\x8e\xa0 \xea\xad\xb0 "
                  "\xf0\xb1\x8d\x90 \xe0\xb3\xb3x 1\xd9\xa3 \xc2\xad \xe2\x80\x8b"},
      {"malformed", "caf\xe9 cr\xe8me \xff\xfe br\xfbl\xe9" "e \xc3 \xe2\x80 \xed\xa0\x80x "
                    "\xef\xbf\xbe \xc0\xaf \x80\xc3\xa9\x80 \xf8\xe2\x80\x80 \x80\xc3\xa9 \xc0\xc3\xa9\x80 end"},
      {"controls", "left\x01right \x7f word"}};
  std::string list;
  for (const auto &document : documents) {
    make_document(document[0], document[1]);
    list += std::string("docs/") + document[0] + ".txt\n";
  }
  make_document("nul", std::string("left\0right word", 15));
  make_document("empty", "");
  std::ofstream("list") << list << "docs/nul.txt\ndocs/empty.txt\nmissing\ndocs\n\ndocs/ascii.txt";
  std::ofstream("stop") << "red # colours\nSKY\nCAFÉ mir\n";
  const char *options[] = {"", "-words", "-keep-stopwords  -min-length 1", "-stopwords stop -max-length 5",
                           "-max-length 99999999999999999999 +words", "-h", "-bogus + -h", "-stopwords docs", "-min-length -bogus",
                           "-min-length 0", "-min-length x", "-words=1 -stopwords", "foo -- -x",
                           "-stopwords no/such/file"};
  std::string script = "MIVO_ANALYSE_PERL=1 perl " + source("analyser/analyse.pl");
  for (const char *option : options)
    EXPECT_EQ(outcome(program + std::string(" ") + option), outcome(script + " " + option)) << option;
}

}  // namespace
