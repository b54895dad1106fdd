#include "text/scanner.h"

#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>

namespace {

// The tokens of input in one line: "id:", "w:", "s:", "int:", "rat:" or
// "k<code>:" before the text of the longer tokens, other characters as
// themselves (unprintable ones as <code>), "@n" where the line changes to n,
// and "$" for the end.
std::string scan(Scanner::ScannerType type, const std::string &input) {
  static const char *const names[] = {"id:", "w:", "s:", "int:", "rat:"};
  std::istringstream is(input);
  Scanner scanner(type, is, "t");
  std::string out;
  unsigned int line = 1;
  for (;; scanner.skip_token()) {
    if (scanner.get_line() != line) {
      line = scanner.get_line();
      out += "@" + std::to_string(line) + " ";
    }
    int code = scanner.get_token();
    // The view is the text up to its first NUL byte, however it was scanned.
    EXPECT_EQ(scanner.text_view(), std::string_view(scanner.text())) << input;
    if (code == 0) return out + "$";
    if (code >= Scanner::IDENTIFIER && code <= Scanner::RATIONAL)
      out += names[code - Scanner::IDENTIFIER] + std::string(scanner.text());
    else if (code > Scanner::RATIONAL)
      out += "k" + std::to_string(code) + ":" + scanner.text();
    else if (code < ' ' || code > '~')
      out += "<" + std::to_string(code) + ">";
    else
      out += scanner.text();
    out += " ";
  }
}

std::string rc(const std::string &input) {
  return scan(Scanner::RcScanner, input);
}

std::string doc(const std::string &input) {
  return scan(Scanner::DocScanner, input);
}

TEST(ScannerTest, KeywordsIgnoreCaseButTextKeepsIt) {
  EXPECT_EQ("$", rc(""));
  EXPECT_EQ("k263:GENERAL k263:General k263:general int:2 k301:NegativeWeights "
            "id:abc int:1 id:max_ranks k308:SCALING id:maxsignif $",
            rc("GENERAL General general2 NegativeWeights abc1 max_ranks "
               "SCALING maxsignif"));
  // Keywords are compared on the first 80 characters only.
  EXPECT_EQ("id:" + std::string(200, 'x') + " $", rc(std::string(200, 'x')));
}

TEST(ScannerTest, NumeralsInResourceMode) {
  EXPECT_EQ("int:1,000 int:1,,2 int:1 , rat:.5 rat:2.5E-3 int:1 id:e int:5 - "
            "int:3 int:1 . rat:1,000.25 $",
            rc("1,000 1,,2 1, .5 2.5E-3 1e5 -3 1. 1,000.25"));
  std::istringstream is("1,000 2.5E-3 1,5.5");
  Scanner scanner(Scanner::RcScanner, is, "t");
  EXPECT_EQ(1, scanner.number());
  scanner.skip_token();
  EXPECT_DOUBLE_EQ(0.0025, scanner.floating());
  scanner.skip_token();
  EXPECT_DOUBLE_EQ(1.0, scanner.floating());
}

TEST(ScannerTest, CommentsOnlyInResourceMode) {
  EXPECT_EQ("id:a @3 id:b @4 # id:note $",
            rc("a # comment \"quote\n# whole line\nb\n#note"));
  EXPECT_EQ("w:#note w:x @2 $", doc("#note x\n"));
}

TEST(ScannerTest, StringsKeepBackslashPairs) {
  const char *input = "\"data dir\" \"a\\\"b\" \"\" \"x\\n\" \"open";
  EXPECT_EQ("s:data dir s:a\\\"b s: s:x\\n \" id:open $", rc(input));
  EXPECT_EQ("s:data dir s:a\\\"b s: s:x\\n \" w:open $", doc(input));
}

TEST(ScannerTest, UnterminatedStringIsReportedButNotCounted) {
  std::istringstream is("a \"open\nb \"esc\\\"\n\nc");
  testing::internal::CaptureStderr();
  Scanner scanner(Scanner::RcScanner, is, "t.rc");
  scanner.skip_until_token(Scanner::END_OF_INPUT);
  EXPECT_EQ(
      "ERROR: file t.rc: line 1: unterminated string constant\n"
      "ERROR: file t.rc: line 2: unterminated string constant\n",
      testing::internal::GetCapturedStderr());
  EXPECT_EQ(0u, scanner.errors());
  // The newline that ends a string is counted once, when scanned again.
  EXPECT_EQ(4u, scanner.get_line());
}

TEST(ScannerTest, DocumentWords) {
  EXPECT_EQ("w:a , w:b w:1,000 w:#tag w:x.y w:c++ w:\xc3\xa9t\xc3\xa9 w:2.5 "
            "w:x\\ y w:say\\\" w:e-mail @2 w:w \\ @3 w:z [ w:car | w:auto { "
            "w:red } ] <1> w:a $",
            doc("a,b 1,000 #tag x.y c++ \xc3\xa9t\xc3\xa9 2.5 x\\ y say\\\" "
                "e-mail\nw \\\nz [car|auto{red}]\x01" "a"));
  EXPECT_EQ("<-23> <-128> $", rc("\xe9\x80"));
}

TEST(ScannerTest, NulByteEndsTheInput) {
  std::string input("ab\0cd", 5);
  EXPECT_EQ("w:ab $", doc(input));
  EXPECT_EQ("id:ab $", rc(input));
  // Inside an escape or a string a NUL byte ends the token's text only.
  const char inside[] = "ab\\\0cd e \"x\0y\" f";
  EXPECT_EQ("w:ab\\ w:e s:x w:f $", doc(std::string(inside, sizeof inside - 1)));
}

TEST(ScannerTest, MatchesHaveNoLengthLimit) {
  std::string word(100000, 'w');
  EXPECT_EQ("w:" + word + " @100002 w:x $",
            doc(word + " \n" + std::string(100000, '\n') + "x"));
  std::string quoted(50000, 'q'), name(70000, 'i');
  EXPECT_EQ("@2 s:" + quoted + " id:" + name + " $",
            rc("# " + std::string(100000, 'c') + "\n\"" + quoted + "\" " + name));
}

TEST(ScannerTest, SyntaxErrorsWaitForResynchronisation) {
  std::istringstream is("a\nb c\n] d");
  Scanner scanner(Scanner::RcScanner, is, "t.rc");
  testing::internal::CaptureStderr();
  scanner.skip_token();
  scanner.should_be_token('[', "first");
  scanner.syntax_error("suppressed");
  scanner.skip_until_token(']');
  EXPECT_FALSE(scanner.error());
  scanner.syntax_error("second");
  scanner.clear_error();
  scanner.skip_until_token('[');
  scanner.syntax_error("at the end");
  EXPECT_EQ(
      "ERROR: file t.rc: line 2: before `b': parse error: first\n"
      "ERROR: file t.rc: line 3: before `]': parse error: second\n"
      "ERROR: file t.rc: line 3: before `<EOF>': parse error: at the end\n",
      testing::internal::GetCapturedStderr());
  EXPECT_EQ(3u, scanner.errors());
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
