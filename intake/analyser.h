// The analyser process: an external program, started once per run, that turns a
// document file into the head/modifier notation of analysed documents. One
// request (the document's path and a newline) gets one answer, ended by a byte
// of value 1. Without an analyser command a document file is read as it is.
#ifndef MIVO_INTAKE_ANALYSER_H
#define MIVO_INTAKE_ANALYSER_H

#include <sys/types.h>

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
  // Runs the command, split at blanks, over two pipes; refuses a command with
  // more than MAX_NR_OPTIONS arguments.
  void start_analyser_process();
  // Closes both pipes; the analyser sees the end of its input and ends.
  void stop_analyser_process();

 private:
  void send_request(const std::string &path, const std::string &name);
  std::string read_answer(const std::string &name);
  std::string read_file(const std::string &path, const std::string &name);

  std::string command;
  std::string documents_directory;
  int to_child;
  int from_child;
  pid_t child_pid;
};

extern Analyser analyser;

#endif  // MIVO_INTAKE_ANALYSER_H
