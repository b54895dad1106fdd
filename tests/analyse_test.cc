// The shipped analyser (analyser/analyse.pl), driven as mivo drives it: over
// its pipe protocol by Analyser, every answer read by mivo's own parser of
// analysed documents, which must find no syntax error in it.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/param.h"
#include "base/utils.h"
#include "intake/analyser.h"
#include "model/atomtab.h"
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
                      (entry.first.mod == EmptyAtom ? "" : atom_text(entry.first.mod)));
    std::sort(items.begin(), items.end());
    std::string joined;
    for (const std::string &item : items) joined += (joined.empty() ? "" : " ") + item;
    return joined;
  }

  Analyser analyser;
};

TEST_F(ShippedAnalyserTest, WordsFoldAndAdjacentWordsPairWithTheRightWordAsHead) {
  write("phrase", "The red car stopped.\nRed CAR, blue sky of Bob's home\n");
  write("crlf", "green tree\r\nold house\r\n");
  write("connectors", "well-known state--of art-  -dash it's 1,000 3.14 e.g. x\n");
  analyser.initialise(analyse_command());
  EXPECT_EQ(pairs("phrase"),
            "blue| bob| car| car|red home| home|bob red| sky| sky|blue stopped| "
            "stopped|car");
  EXPECT_EQ(pairs("phrase"), pairs("phrase"));
  EXPECT_EQ(pairs("crlf"), "green| house| house|old old| tree| tree|green");
  EXPECT_EQ(pairs("connectors"),
            "1000| 3.14| 3.14|1000 art| dash| state| state|well-known well-known|");
}

TEST_F(ShippedAnalyserTest, AnyBytesGiveAnAnswerThatParses) {
  std::mt19937 random(7);
  std::string binary;
  for (int i = 0; i < 65536; ++i) binary += static_cast<char>(random() & 0xff);
  write("binary", binary);
  write("nul", std::string("left\0right word", 15));
  write("notation", "[ x ] {y} a|b \"quoted words\" back\\slash \\\" comma,list ]]] {{ | , \\\nend\n");
  write("long", std::string(20000, 'q') + " " + std::string(40, 'k') + " " +
                    std::string(41, 'z') + " tail\n");
  write("scripts", "Привет мир ΚΑΛΗΜΈΡΑ κόσμε 東京 नमस्ते दुनिया café\xe2\x80\x99s");
  write("latin1", "caf\xe9 cr\xe8me \xff\xfe br\xfbl\xe9" "e\n");
  write("empty", "");
  analyser.initialise(analyse_command());

  pairs("binary");
  EXPECT_EQ(pairs("nul"), "left| right| word| word|right");
  EXPECT_EQ(pairs("notation"), "back| comma| end| list| quoted| slash| words| words|quoted");
  EXPECT_EQ(pairs("long"), std::string(40, 'k') + "| tail|");
  std::string scripts = pairs("scripts");
  EXPECT_NE(scripts.find("мир|привет"), std::string::npos) << scripts;
  EXPECT_NE(scripts.find("καλημέρα|"), std::string::npos) << scripts;
  EXPECT_NE(scripts.find("दुनिया|नमस्ते"), std::string::npos) << scripts;
  EXPECT_NE(scripts.find("café|"), std::string::npos) << scripts;
  EXPECT_EQ(pairs("latin1"), "br| caf| cr|");
  // An empty document gets an empty answer, and the analyser goes on. (mivo
  // itself refuses a path that is a directory before asking the analyser.)
  EXPECT_EQ(pairs("empty"), "");
  EXPECT_EQ(pairs("nul"), "left| right| word| word|right");
}

TEST_F(ShippedAnalyserTest, OptionsChooseWordsAndStopWords) {
  write("phrase", "The red car stopped.\nRed CAR, blue sky of Bob's home\n");
  std::ofstream("stop") << "red # colours\nSKY\n";

  analyser.initialise(analyse_command("-words"));
  EXPECT_EQ(pairs("phrase"), "blue| bob| car| home| red| sky| stopped|");
  // Two blanks in the command give an empty argument, which is ignored.
  analyser.initialise(analyse_command("-keep-stopwords "));
  EXPECT_NE(pairs("phrase").find("red|the"), std::string::npos);
  analyser.initialise(analyse_command("-stopwords stop -min-length 4"));
  EXPECT_EQ(pairs("phrase"), "blue| home| stopped|");
}

TEST_F(ShippedAnalyserTest, AnUnknownOptionIsRefused) {
  std::string command = "perl " + analyse_command("-bogus") + " </dev/null 2>/dev/null";
  EXPECT_NE(system(command.c_str()), 0);
}

}  // namespace
