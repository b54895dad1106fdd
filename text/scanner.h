// The scanner shared by the two parsers of the system: resource files
// (RcScanner rules) and the analyser's output (DocScanner rules). It keeps one
// token of look-ahead, counts lines and reports syntax errors uniformly.
#ifndef MIVO_TEXT_SCANNER_H
#define MIVO_TEXT_SCANNER_H

// The generated scanner has included FlexLexer.h already; a second inclusion
// there would declare yyFlexLexer twice.
#ifndef yyFlexLexerOnce
#include <FlexLexer.h>
#endif

#include <istream>
#include <cstddef>
#include <string>
#include <string_view>

class Scanner : public yyFlexLexer {
 public:
  enum ScannerType { RcScanner = 0, DocScanner = 1 };

  // Token codes. 0 is the end of input (a NUL byte reads the same); any other
  // character that no rule takes is its own code, a byte above 127 as the
  // negative value of a signed char. Codes 261-308 are resource-mode keywords.
  enum TokenCode {
    END_OF_INPUT = 0,
    IDENTIFIER = 256,  // letters and underscores, no keyword (resource mode)
    WORD = 257,        // a term word or digit group (document mode)
    STRING = 258,      // a quoted string; its text is unquoted
    INTEGER = 259,     // a digit group such as 12 or 1,000 (resource mode)
    RATIONAL = 260,    // a numeral with a point such as .5 or 2.5E-3
    KEY_ON = 261,
    KEY_OFF = 262,
    KEY_GENERAL = 263,
    KEY_WINNOW = 264,
    KEY_SBC = 265,
    KEY_ROCCHIO = 266,
    KEY_TRAINING = 267,
    KEY_MAXRANKS = 268,
    KEY_MINRANKS = 269,
    KEY_TERMSELECTION = 270,
    KEY_NONE = 271,
    KEY_DOCFREQ = 272,
    KEY_TERMFREQ = 273,
    KEY_TFIDF = 274,
    KEY_UNCERTAINTY = 275,
    KEY_INFOGAIN = 276,
    KEY_ANALYSER = 277,
    KEY_DATADIRECTORY = 278,
    KEY_INPUTDIRECTORY = 279,
    KEY_FILEDIRECTORY = 280,
    KEY_ALPHA = 281,
    KEY_BETA = 282,
    KEY_INCREMENTAL = 283,
    KEY_SAVE = 284,
    KEY_STRENGTH = 285,
    KEY_BOOL = 286,
    KEY_FREQ = 287,
    KEY_LTC = 288,
    KEY_SQRT = 289,
    KEY_NORMALIZE = 290,
    KEY_COSINE = 291,
    KEY_LINEAR = 292,
    KEY_VECTOR = 293,
    KEY_THETAPLUS = 295,
    KEY_THETAMIN = 296,
    KEY_PIVOTED = 297,
    KEY_GAMMA = 298,
    KEY_FPARAMETER = 299,
    KEY_MAXITERS = 300,
    KEY_NEGATIVEWEIGHTS = 301,
    KEY_WINNOWFILTER = 303,
    KEY_LAPLACE = 304,
    KEY_SELECTIVITY = 307,
    KEY_SCALING = 308,
    KEY_THRESHOLDFOLDS = 309,
    KEY_GATEDDESCENT = 310,
    KEY_ALWAYSDECIDE = 311
  };

  // Reads from is with the rules of type and scans the first token at once.
  // file_name names the input in messages; it is not copied, so it must
  // outlive the scanner.
  Scanner(ScannerType type, std::istream &is, const char *file_name);
  ~Scanner() override;
  Scanner(const Scanner &) = delete;
  Scanner &operator=(const Scanner &) = delete;

  void set_scanner_type(ScannerType type);
  // The next token code from the input; the parsers use the operations below.
  int yylex() override;

  bool is_token(int t) const { return token == t; }
  // Consumes the look-ahead when it is t.
  bool was_token(int t);
  // Consumes the look-ahead when it is t, else reports message as an error.
  void should_be_token(int t, const char *message);
  void skip_token();
  // Consumes tokens up to (not including) t or the end of input, then leaves
  // the error state: the parser has resynchronised.
  void skip_until_token(int t);

  bool eof() const { return token == END_OF_INPUT; }
  int get_token() const { return token; }
  // The look-ahead's text, valid until it is consumed ("" at end of input).
  // It is the lexer's own buffer, not a copy: the lexer leaves it alone until
  // it is asked for the next token.
  const char *text() const { return token_text; }
  std::string_view text_view() const {
    return std::string_view(token_text, token_length);
  }
  // The look-ahead's value by atoi and atof, which stop at a comma.
  int number() const;
  double floating() const;
  // The line on which the look-ahead ends.
  unsigned int get_line() const { return static_cast<unsigned int>(lineno()); }

  // True after a syntax error until clear_error or skip_until_token.
  bool error() const { return in_error; }
  void clear_error() { in_error = false; }
  unsigned int errors() const { return nr_errors; }

  // Reports "file F: line L: before `T': parse error: message" and counts it,
  // unless an earlier error has not been resynchronised yet.
  void syntax_error(const char *message);
  // Reports "file F: line L: message"; neither counted nor an error state.
  void lex_error(const char *message) const;

 private:
  // The token code of an identifier: its keyword's, whatever its case, or
  // IDENTIFIER.
  int keyword_or_identifier() const;

  int token;
  const char *token_text;
  // Up to the first NUL byte, which a string or an escaped character may hold.
  std::size_t token_length;
  bool in_error;
  unsigned int nr_errors;
  const char *file_name;
};

#endif  // MIVO_TEXT_SCANNER_H
