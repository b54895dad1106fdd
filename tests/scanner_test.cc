#include "text/scanner.h"

#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace {

struct Token {
  int code;
  std::string text;
  unsigned int line;
};

bool operator==(const Token &a, const Token &b) {
  return a.code == b.code && a.text == b.text && a.line == b.line;
}

std::ostream &operator<<(std::ostream &os, const Token &t) {
  return os << "{" << t.code << ", \"" << t.text << "\", line " << t.line
            << "}";
}

// Every token of input up to the end, the end itself included.
std::vector<Token> scan(Scanner::ScannerType type, const std::string &input) {
  std::istringstream is(input);
  Scanner scanner(type, is, "t");
  std::vector<Token> tokens;
  for (;;) {
    tokens.push_back({scanner.get_token(), scanner.text(), scanner.get_line()});
    if (scanner.eof()) return tokens;
    scanner.skip_token();
  }
}

std::vector<Token> rc(const std::string &input) {
  return scan(Scanner::RcScanner, input);
}

std::vector<Token> doc(const std::string &input) {
  return scan(Scanner::DocScanner, input);
}

const int IDENTIFIER = Scanner::IDENTIFIER;
const int WORD = Scanner::WORD;
const int STRING = Scanner::STRING;
const int INTEGER = Scanner::INTEGER;
const int RATIONAL = Scanner::RATIONAL;

TEST(ScannerTest, EmptyInputEndsAtOnce) {
  std::istringstream is("");
  Scanner scanner(Scanner::RcScanner, is, "t");
  EXPECT_TRUE(scanner.eof());
  EXPECT_STREQ("", scanner.text());
  EXPECT_EQ(1u, scanner.get_line());
  EXPECT_EQ(0u, scanner.errors());
}

TEST(ScannerTest, KeywordsIgnoreCaseButTextKeepsIt) {
  std::vector<Token> expected = {{Scanner::KEY_GENERAL, "GENERAL", 1},
                                 {Scanner::KEY_GENERAL, "General", 1},
                                 {Scanner::KEY_GENERAL, "general", 1},
                                 {INTEGER, "2", 1},
                                 {Scanner::KEY_NEGATIVEWEIGHTS, "NegativeWeights", 1},
                                 {IDENTIFIER, "abc", 1},
                                 {INTEGER, "1", 1},
                                 {IDENTIFIER, "max_ranks", 1},
                                 {Scanner::KEY_SCALING, "SCALING", 1},
                                 {0, "", 1}};
  EXPECT_EQ(expected,
            rc("GENERAL General general2 NegativeWeights abc1 max_ranks SCALING"));
  // A long identifier is no keyword even when it starts like one.
  std::string longer = "general" + std::string(200, 'x');
  EXPECT_EQ(IDENTIFIER, rc(longer)[0].code);
  EXPECT_EQ(longer, rc(longer)[0].text);
}

TEST(ScannerTest, EveryKeywordHasItsCode) {
  const char *names[] = {
      "on", "off", "general", "winnow", "sbc", "rocchio", "training",
      "maxranks", "minranks", "termselection", "none", "docfreq", "termfreq",
      "tfidf", "uncertainty", "infogain", "analyser", "datadirectory",
      "inputdirectory", "filedirectory", "alpha", "beta", "incremental",
      "save", "strength", "bool", "freq", "ltc", "sqrt", "normalize",
      "cosine", "linear", "vector"};
  int code = 261;
  for (const char *name : names) EXPECT_EQ(code++, rc(name)[0].code) << name;
  const char *later[] = {"thetaplus", "thetamin", "pivoted", "gamma",
                         "fparameter", "maxiters", "negativeweights"};
  code = 295;
  for (const char *name : later) EXPECT_EQ(code++, rc(name)[0].code) << name;
  EXPECT_EQ(303, rc("winnowfilter")[0].code);
  EXPECT_EQ(304, rc("laplace")[0].code);
  EXPECT_EQ(307, rc("selectivity")[0].code);
  EXPECT_EQ(308, rc("scaling")[0].code);
  EXPECT_EQ(IDENTIFIER, rc("maxsignif")[0].code);
}

TEST(ScannerTest, NumeralsInResourceMode) {
  std::vector<Token> expected = {
      {INTEGER, "1,000", 1}, {INTEGER, "1,,2", 1},   {INTEGER, "1", 1},
      {',', ",", 1},         {RATIONAL, ".5", 1},    {RATIONAL, "2.5E-3", 1},
      {INTEGER, "1", 1},     {IDENTIFIER, "e", 1},   {INTEGER, "5", 1},
      {'-', "-", 1},         {INTEGER, "3", 1},      {INTEGER, "1", 1},
      {'.', ".", 1},         {RATIONAL, "1,000.25", 1}, {0, "", 1}};
  EXPECT_EQ(expected, rc("1,000 1,,2 1, .5 2.5E-3 1e5 -3 1. 1,000.25"));
}

TEST(ScannerTest, ValuesStopAtTheFirstComma) {
  std::istringstream is("1,000 .5 2.5E-3 1,5.5 42");
  Scanner scanner(Scanner::RcScanner, is, "t");
  EXPECT_EQ(1, scanner.number());
  scanner.skip_token();
  EXPECT_DOUBLE_EQ(0.5, scanner.floating());
  scanner.skip_token();
  EXPECT_DOUBLE_EQ(0.0025, scanner.floating());
  scanner.skip_token();
  EXPECT_EQ(RATIONAL, scanner.get_token());
  EXPECT_DOUBLE_EQ(1.0, scanner.floating());
  scanner.skip_token();
  EXPECT_EQ(42, scanner.number());
}

TEST(ScannerTest, CommentsOnlyInResourceMode) {
  std::vector<Token> expected = {{IDENTIFIER, "a", 1},
                                 {IDENTIFIER, "b", 3},
                                 {'#', "#", 4},
                                 {IDENTIFIER, "note", 4},
                                 {0, "", 4}};
  EXPECT_EQ(expected, rc("a # comment \"quote\n# whole line\nb\n#note"));
  std::vector<Token> words = {
      {WORD, "#note", 1}, {WORD, "x", 1}, {0, "", 2}};
  EXPECT_EQ(words, doc("#note x\n"));
}

TEST(ScannerTest, StringsKeepBackslashPairs) {
  std::vector<Token> expected = {{STRING, "data dir", 1},
                                 {STRING, "a\\\"b", 1},
                                 {STRING, "", 1},
                                 {STRING, "x\\n", 1},
                                 {0, "", 1}};
  EXPECT_EQ(expected, rc("\"data dir\" \"a\\\"b\" \"\" \"x\\n\""));
  EXPECT_EQ(expected, doc("\"data dir\" \"a\\\"b\" \"\" \"x\\n\""));
}

TEST(ScannerTest, UnterminatedStringIsReportedButNotCounted) {
  std::istringstream is("a \"open\nb \"esc\\\"\n\nc");
  testing::internal::CaptureStderr();
  Scanner scanner(Scanner::RcScanner, is, "t.rc");
  std::vector<Token> tokens;
  while (!scanner.eof()) {
    tokens.push_back({scanner.get_token(), scanner.text(), scanner.get_line()});
    scanner.skip_token();
  }
  EXPECT_EQ(
      "ERROR: file t.rc: line 1: unterminated string constant\n"
      "ERROR: file t.rc: line 2: unterminated string constant\n",
      testing::internal::GetCapturedStderr());
  // Each newline is counted once, also the one that ends the string.
  std::vector<Token> expected = {
      {IDENTIFIER, "a", 1}, {IDENTIFIER, "b", 2}, {IDENTIFIER, "c", 4}};
  EXPECT_EQ(expected, tokens);
  EXPECT_EQ(4u, scanner.get_line());
  EXPECT_EQ(0u, scanner.errors());
  EXPECT_FALSE(scanner.error());
}

TEST(ScannerTest, QuoteWithoutAnEndIsACharacter) {
  std::vector<Token> expected = {
      {'"', "\"", 1}, {IDENTIFIER, "open", 1}, {0, "", 1}};
  EXPECT_EQ(expected, rc("\"open"));
  std::vector<Token> words = {{'"', "\"", 1}, {WORD, "open", 1}, {0, "", 1}};
  EXPECT_EQ(words, doc("\"open"));
}

TEST(ScannerTest, HighBytesAreNegativeCharactersInResourceMode) {
  std::vector<Token> tokens = rc("\xe9\x80");
  EXPECT_EQ(-23, tokens[0].code);
  EXPECT_EQ(-128, tokens[1].code);
  EXPECT_EQ(0, tokens[2].code);
}

TEST(ScannerTest, DocumentWords) {
  std::vector<Token> expected = {
      {WORD, "a", 1},       {',', ",", 1},         {WORD, "b", 1},
      {WORD, "1,000", 1},   {WORD, "#tag", 1},     {WORD, "x.y", 1},
      {WORD, "c++", 1},     {WORD, "\xc3\xa9t\xc3\xa9", 1},
      {WORD, "2.5", 1},     {WORD, "x\\ y", 1},    {WORD, "say\\\"", 1},
      {WORD, "e-mail", 1},  {WORD, "w", 2},        {'\\', "\\", 2},
      {WORD, "z", 3},       {0, "", 3}};
  EXPECT_EQ(expected, doc("a,b 1,000 #tag x.y c++ \xc3\xa9t\xc3\xa9 2.5 "
                          "x\\ y say\\\" e-mail\nw \\\nz"));
}

TEST(ScannerTest, DocumentBracketsAndControlCharacters) {
  std::vector<Token> expected = {
      {'[', "[", 1}, {WORD, "car", 1}, {'|', "|", 1}, {WORD, "auto", 1},
      {'{', "{", 1}, {WORD, "red", 1}, {'}', "}", 1}, {']', "]", 1},
      {1, "\x01", 1}, {WORD, "a", 1},  {0, "", 1}};
  EXPECT_EQ(expected, doc("[car|auto{red}]\x01" "a"));
}

TEST(ScannerTest, NulByteEndsTheInput) {
  std::string input("ab\0cd", 5);
  std::vector<Token> words = {{WORD, "ab", 1}, {0, "", 1}};
  EXPECT_EQ(words, doc(input));
  std::vector<Token> identifiers = {{IDENTIFIER, "ab", 1}, {0, "", 1}};
  EXPECT_EQ(identifiers, rc(input));
}

TEST(ScannerTest, MatchesHaveNoLengthLimit) {
  std::string word(100000, 'w');
  std::vector<Token> tokens = doc(word + " \n" + std::string(100000, '\n') + "x");
  ASSERT_EQ(3u, tokens.size());
  EXPECT_EQ(word, tokens[0].text);
  EXPECT_EQ((Token{WORD, "x", 100002}), tokens[1]);

  std::string quoted(50000, 'q');
  tokens = rc("# " + std::string(100000, 'c') + "\n\"" + quoted + "\" " +
              std::string(70000, 'i'));
  ASSERT_EQ(3u, tokens.size());
  EXPECT_EQ((Token{STRING, quoted, 2}), tokens[0]);
  EXPECT_EQ(std::string(70000, 'i'), tokens[1].text);
}

TEST(ScannerTest, ScannerTypeCanChange) {
  std::istringstream is("#a #b");
  Scanner scanner(Scanner::DocScanner, is, "t");
  EXPECT_EQ(WORD, scanner.get_token());
  scanner.set_scanner_type(Scanner::RcScanner);
  scanner.skip_token();
  EXPECT_EQ('#', scanner.get_token());
}

TEST(ScannerTest, LookAheadOperations) {
  std::istringstream is("[ general ]");
  Scanner scanner(Scanner::RcScanner, is, "t");
  EXPECT_TRUE(scanner.is_token('['));
  EXPECT_FALSE(scanner.was_token(']'));
  EXPECT_TRUE(scanner.is_token('['));
  EXPECT_TRUE(scanner.was_token('['));
  EXPECT_TRUE(scanner.is_token(Scanner::KEY_GENERAL));
  scanner.should_be_token(Scanner::KEY_GENERAL, "unused");
  scanner.should_be_token(']', "unused");
  EXPECT_TRUE(scanner.eof());
  EXPECT_EQ(0u, scanner.errors());
}

TEST(ScannerTest, SyntaxErrorsWaitForResynchronisation) {
  std::istringstream is("a\nb c\n] d");
  Scanner scanner(Scanner::RcScanner, is, "t.rc");
  testing::internal::CaptureStderr();
  scanner.skip_token();
  scanner.should_be_token('[', "first");
  scanner.syntax_error("suppressed");
  EXPECT_TRUE(scanner.error());
  scanner.skip_until_token(']');
  EXPECT_FALSE(scanner.error());
  EXPECT_TRUE(scanner.is_token(']'));
  scanner.syntax_error("second");
  scanner.clear_error();
  scanner.skip_token();
  scanner.skip_token();
  scanner.syntax_error("at the end");
  EXPECT_EQ(
      "ERROR: file t.rc: line 2: before `b': parse error: first\n"
      "ERROR: file t.rc: line 3: before `]': parse error: second\n"
      "ERROR: file t.rc: line 3: before `<EOF>': parse error: at the end\n",
      testing::internal::GetCapturedStderr());
  EXPECT_EQ(3u, scanner.errors());
}

TEST(ScannerTest, SkipUntilStopsAtTheEnd) {
  std::istringstream is("a b c");
  Scanner scanner(Scanner::RcScanner, is, "t");
  testing::internal::CaptureStderr();
  scanner.syntax_error("x");
  testing::internal::GetCapturedStderr();
  scanner.skip_until_token('[');
  EXPECT_TRUE(scanner.eof());
  EXPECT_FALSE(scanner.error());
}

// A stream whose reading fails outright, as a broken device would.
class FailingBuffer : public std::streambuf {
 protected:
  int_type underflow() override { throw 1; }
};

TEST(ScannerDeathTest, FailingStreamEndsTheProcess) {
  EXPECT_EXIT(
      {
        FailingBuffer buffer;
        std::istream is(&buffer);
        Scanner scanner(Scanner::DocScanner, is, "t");
      },
      testing::ExitedWithCode(2), "input in flex scanner failed");
}

}  // namespace
