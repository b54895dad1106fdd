// The shipped analyser (analyser/analyse.pl), driven as mivo drives it: over
// its pipe protocol by Analyser, every answer read by mivo's own parser of
// analysed documents, which must find no syntax error in it. Its compiled
// form, mivo-analyse, must write what the script writes, byte for byte.

#include "base/param.h"
#include "base/utils.h"
#include "intake/analyser.h"
#include "model/atomtab.h"
#include "tests/child_run.h"
#include "text/docparser.h"

namespace {

std::string analyse_command(const std::string &options = "") {
  const char *source = getenv("MIVO_SOURCE_DIR");
  std::string command = std::string(source ? source : ".") + "/analyser/analyse.pl";
  return options.empty() ? command : command + " " + options;
}

class ShippedAnalyserTest : public testing::Test {
 protected:
  void SetUp() override {
    alarm(60);  // a hang fails the test instead of blocking it
    param.gen.set_file_directory("docs");
    check_directory_exists("docs");
  }
  void TearDown() override { alarm(0); }

  static void write(const std::string &name, const std::string &bytes) {
    std::ofstream(PathName("docs", name, ".txt").get(), std::ios::binary) << bytes;
  }

  // The answer's pairs as sorted "head|modifier" items joined by blanks; the
  // answer must parse without a syntax error.
  std::string pairs(const std::string &name) {
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

  Analyser analyser;
};

// Each row: the options, a document and the pairs of the answer ("*": any
// answer that parses). Words fold; adjacent words pair, the right one as head.
TEST_F(ShippedAnalyserTest, AnswersParseAndPairAdjacentWords) {
  std::mt19937 random(7);
  std::string binary;
  for (int i = 0; i < 65536; ++i) binary += static_cast<char>(random() & 0xff);
  const std::string phrase = "The red car stopped.\nRed CAR, blue sky of Bob's home\n";
  std::ofstream("stop") << "red # colours\nSKY\n";
  const struct { const char *options; std::string text, pairs; } cases[] = {
      {"", phrase, "blue| bob| car| car|red home| home|bob red| sky| sky|blue stopped| stopped|car"},
      {"", "green tree\r\nold house\r\n", "green| house| house|old old| tree| tree|green"},
      {"", "well-known state--of art-  -dash it's 1,000 3.14 e.g. x\n",
       "1000| 3.14| 3.14|1000 art| dash| state| state|well-known well-known|"},
      {"", binary, "*"},
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
    if (options != c.options) analyser.initialise(analyse_command(options = c.options));
    write("doc", c.text);
    std::string got = pairs("doc");
    if (c.pairs != "*") {
      EXPECT_EQ(c.pairs, got) << c.options << " " << c.text;
    }
  }
}

// What an analyser command writes for the paths in "list": standard output,
// standard error and exit status.
std::string outcome(const std::string &command) {
  int status = system((command + " <list >out 2>err").c_str());
  return file_text("out") + "\n[stderr]\n" + file_text("err") + "[status] " +
         std::to_string(WEXITSTATUS(status));
}

TEST_F(ShippedAnalyserTest, TheCompiledAnalyserWritesWhatTheScriptWrites) {
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
    write(document[0], document[1]);
    list += std::string("docs/") + document[0] + ".txt\n";
  }
  write("nul", std::string("left\0right word", 15));
  write("empty", "");
  std::ofstream("list") << list << "docs/nul.txt\ndocs/empty.txt\nmissing\ndocs\n\ndocs/ascii.txt";
  std::ofstream("stop") << "red # colours\nSKY\nCAFÉ mir\n";
  const char *options[] = {"", "-words", "-keep-stopwords  -min-length 1", "-stopwords stop -max-length 5",
                           "-max-length 99999999999999999999 +words", "-h", "-bogus + -h", "-stopwords docs", "-min-length -bogus",
                           "-min-length 0", "-min-length x", "-words=1 -stopwords", "foo -- -x",
                           "-stopwords no/such/file"};
  std::string script = "MIVO_ANALYSE_PERL=1 perl " + analyse_command();
  for (const char *option : options)
    EXPECT_EQ(outcome(program + std::string(" ") + option), outcome(script + " " + option)) << option;
}

// The script hands over to a mivo-analyse beside it (or beside the target of
// a link to it), with its arguments, unless MIVO_ANALYSE_PERL is set.
TEST_F(ShippedAnalyserTest, TheScriptHandsOverToTheProgramBesideIt) {
  std::string copy = "cp " + analyse_command() + " docs/ && ln -sf docs/analyse.pl link.pl";
  ASSERT_EQ(system(copy.c_str()), 0);
  std::ofstream("docs/mivo-analyse") << "#!/bin/sh\necho compiled \"$@\"\n";
  ASSERT_EQ(system("chmod +x docs/mivo-analyse && : >list"), 0);
  EXPECT_EQ(outcome("docs/analyse.pl -words -x"), "compiled -words -x\n\n[stderr]\n[status] 0");
  EXPECT_EQ(outcome("./link.pl -words"), "compiled -words\n\n[stderr]\n[status] 0");
  EXPECT_EQ(outcome("MIVO_ANALYSE_PERL=1 ./link.pl -words"), "\n[stderr]\n[status] 0");
}

}  // namespace
