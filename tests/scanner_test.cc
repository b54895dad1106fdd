#include "text/scanner.h"

#include <gtest/gtest.h>

namespace {

const Scanner::ScannerType rc = Scanner::RcScanner, doc = Scanner::DocScanner;

// The tokens of input in one line: "id:", "w:", "s:", "int:", "rat:" or
// "k<code>:" before the text of the longer tokens, other characters as
// themselves (unprintable ones as <code>), "@n" where the line changes to n,
// and "$" for the end.
std::string scan(Scanner::ScannerType type, const std::string &input) {
  static const char *const names[] = {"id:", "w:", "s:", "int:", "rat:"};
  std::istringstream is(input);
  Scanner scanner(type, is, "t");
  std::string out;
  for (unsigned int line = 1;; scanner.skip_token()) {
    if (scanner.get_line() != line) out += "@" + std::to_string(line = scanner.get_line()) + " ";
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

TEST(ScannerTest, TokensOfBothModes) {
  const std::string word(100000, 'w'), quoted(50000, 'q'), name(70000, 'i');
  const struct { Scanner::ScannerType type; std::string input, tokens; } cases[] = {
      // Keywords, which ignore case, are rcparser_test's; an identifier longer
      // than the 80 characters a keyword is compared on stays whole.
      {rc, "SCALING " + std::string(200, 'x'), "k308:SCALING id:" + std::string(200, 'x') + " $"},
      {rc, "1,000 1,,2 1, .5 2.5E-3 1e5 -3 1. 1,000.25",
       "int:1,000 int:1,,2 int:1 , rat:.5 rat:2.5E-3 int:1 id:e int:5 - int:3 int:1 . "
       "rat:1,000.25 $"},
      // Comments only in resource files.
      {rc, "a # comment \"quote\n# whole line\nb\n#note", "id:a @3 id:b @4 # id:note $"},
      {doc, "#note x\n", "w:#note w:x @2 $"},
      // Strings keep backslash pairs; an unterminated one is no token.
      {rc, "\"data dir\" \"a\\\"b\" \"\" \"x\\n\" \"open", "s:data dir s:a\\\"b s: s:x\\n \" id:open $"},
      {doc, "a,b 1,000 #tag x.y c++ \xc3\xa9t\xc3\xa9 2.5 x\\ y say\\\" e-mail\nw \\\nz "
            "[car|auto{red}]\x01" "a",
       "w:a , w:b w:1,000 w:#tag w:x.y w:c++ w:\xc3\xa9t\xc3\xa9 w:2.5 w:x\\ y w:say\\\" "
       "w:e-mail @2 w:w \\ @3 w:z [ w:car | w:auto { w:red } ] <1> w:a $"},
      // A NUL byte ends the input; inside an escape or a string it ends the
      // token's text only.
      {doc, std::string("ab\0cd", 5), "w:ab $"},
      {rc, std::string("ab\0cd", 5), "id:ab $"},
      {doc, std::string("ab\\\0cd e \"x\0y\" f", 16), "w:ab\\ w:e s:x w:f $"},
      // Matches have no length limit.
      {doc, word + " \n" + std::string(100000, '\n') + "x", "w:" + word + " @100002 w:x $"},
      {rc, "# " + std::string(100000, 'c') + "\n\"" + quoted + "\" " + name,
       "@2 s:" + quoted + " id:" + name + " $"}};
  for (const auto &c : cases) EXPECT_EQ(c.tokens, scan(c.type, c.input)) << c.input.substr(0, 80);
}

}  // namespace
