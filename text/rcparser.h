// The resource file: sections "[General]", "[Winnow]", "[Rocchio]" and
// "[SBC]" of keyword-value settings, parsed straight into the parameters.
// After an error the rest of its section is skipped up to the next "[".
#ifndef MIVO_TEXT_RCPARSER_H
#define MIVO_TEXT_RCPARSER_H

#include <cstddef>
#include <istream>
#include <string>

#include "base/param.h"
#include "text/scanner.h"

// Reads the resource file into the global param and returns the number of
// syntax errors. A file that cannot be opened ends the run.
int parse_rc(const std::string &file_name);

class RcParser : public Scanner {
 public:
  // file_name names the input in messages and must outlive the parser.
  RcParser(Param &params, std::istream &is, const char *file_name);
  ~RcParser() override;

  // Parses the whole input; errors() then counts what was wrong.
  void parse();

  // Whether the look-ahead is a toggle; stores it without consuming it.
  bool is_toggle(bool &value) const;

  // Store and consume a value of the kind, or report an error and return
  // false without consuming anything.
  bool should_be_toggle(bool &value);
  bool should_be_string(std::string &value);
  // A number in the range of the setting of that section and name (see
  // number_range), else an error that names the setting and its range. A
  // rational setting may also be written as an integer.
  bool should_be_in_range(const char *section, const char *name, double &value);
  bool should_be_in_range(const char *section, const char *name, unsigned int &value);

  // "[" name "]" and the settings of that section.
  void should_be_section();
  void should_be_general_section();
  void should_be_winnow_section();
  void should_be_rocchio_section();
  void should_be_sbc_section();

 private:
  // Pairs a keyword of a named value with the value it stands for.
  struct Choice {
    int token;
    unsigned int value;
  };
  template <std::size_t N>
  bool should_be_choice(const Choice (&choices)[N], const char *message,
                        unsigned int &value);
  // Settings newer than the scanner's keywords are identifiers, matched
  // whatever their case.
  bool was_identifier(const char *lower_case_name);
  // Consumes the look-ahead when present says it holds the value, else
  // reports message.
  bool accept_value(bool present, const char *message);
  // True while the look-ahead may start another setting of the section.
  bool in_section_body() const;
  // Reports a token that starts no setting of the section.
  void invalid_setting(const char *invalid_message,
                       const char *expected_message);

  Param &params;
};

#endif  // MIVO_TEXT_RCPARSER_H
