// The analyser process: an external program, started once per run, that turns a
// document file into the head/modifier notation of analysed documents. One
// request (the document's path and a newline) gets one answer, ended by a byte
// of value 1; answers come in the order of the requests, so the next document
// may be asked for before the current answer is read, and the analyser works
// on it while this process parses. Without an analyser command a document
// file is read as it is.
#ifndef MIVO_INTAKE_ANALYSER_H
#define MIVO_INTAKE_ANALYSER_H

#include <sys/types.h>

#include <deque>
#include <string>

class Analyser {
 public:
  // Most arguments the analyser command may give after the program's path.
  static constexpr unsigned int MAX_NR_OPTIONS = 20;

  Analyser() : to_child(-1), from_child(-1), child_pid(0) {}
  ~Analyser() { stop_analyser_process(); }
  Analyser(const Analyser &) = delete;
  Analyser &operator=(const Analyser &) = delete;

  // Makes the documents directory (the parameters' file directory) if needed,
  // then starts the analyser unless command is empty.
  void initialise(const std::string &command);
  // The analysis of document name (read from name.txt in the documents
  // directory). Every failure ends the run with an error naming the document.
  std::string process(const std::string &name);
  // The document that will most likely be processed next: the next call of
  // process asks for it before reading its own answer. Only a hint; it is
  // forgotten at that call, and an answer not wanted then is read and dropped.
  void expect_next(const std::string &name) { next_hint = name; }
  // Runs the command, split at blanks, over two pipes; refuses a command with
  // more than MAX_NR_OPTIONS arguments.
  void start_analyser_process();
  // Closes both pipes; the analyser sees the end of its input and ends.
  void stop_analyser_process();

 private:
  // The path of the document's file; false when there is no such file.
  bool find_document(const std::string &name, std::string &path) const;
  void send_request(const std::string &path, const std::string &name);
  // Asks ahead for the hinted document unless it is name itself or cannot be
  // sent; a failure is left for its own turn to report.
  void send_hinted_request(const std::string &name);
  std::string read_answer(const std::string &name);
  std::string read_file(const std::string &path, const std::string &name);

  std::string command;
  std::string documents_directory;
  std::string next_hint;
  std::deque<std::string> requested;  // sent, not yet answered, in order
  std::string unread;  // bytes read past the end of the last answer
  int to_child;
  int from_child;
  pid_t child_pid;
};

extern Analyser analyser;

#endif  // MIVO_INTAKE_ANALYSER_H
