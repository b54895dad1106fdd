// The analyser processes: external programs, started when first needed and
// kept for the run, that turn a document file into the head/modifier notation
// of analysed documents. A child gets one request (the document's path and a
// newline) and gives its whole answer, ended by a byte of value 1, before it
// gets the next: analysers are written against that strict alternation, and
// some take one read() per request. Several children may work at once on the
// documents queued ahead while this process parses; answers are handed out in
// the order of the queue. Without an analyser command a document file is
// read as it is.
#ifndef MIVO_INTAKE_ANALYSER_H
#define MIVO_INTAKE_ANALYSER_H

#include <sys/types.h>

#include <deque>
#include <string>
#include <vector>

class Analyser {
 public:
  // Most arguments the analyser command may give after the program's path.
  static constexpr unsigned int MAX_NR_OPTIONS = 20;

  Analyser() = default;
  ~Analyser() { stop_analyser_process(); }
  Analyser(const Analyser &) = delete;
  Analyser &operator=(const Analyser &) = delete;

  // Makes the documents directory (the parameters' file directory) if needed
  // and takes the command, which may give at most MAX_NR_OPTIONS arguments;
  // how many children may work at once and how long one may owe an answer
  // come from the parameters too.
  void initialise(const std::string &command);
  // The analysis of document name (read from name.txt in the documents
  // directory). Every failure ends the run with an error naming the document;
  // a failure of the analyser names it too.
  std::string process(const std::string &name);
  // Queues a document that process will be asked for after those queued
  // before it; idle children work on it meanwhile. A document asked for out
  // of turn drops the queue; one that cannot be sent fails in its own turn.
  void expect(const std::string &name);
  // Closes every child's pipes, so that it sees the end of its input and
  // ends; one still at work on a document is killed.
  void stop_analyser_process();

 private:
  enum JobState { queued, unsendable, sent, answered, failed };
  struct Job {
    std::string name;
    JobState state = queued;
    std::string path;  // once the document has been found
    std::string answer;  // or the message of the failure
    int error_number = 0;
  };
  struct Child {
    pid_t pid = 0;
    int to = -1;
    int from = -1;
    bool busy = false;
    unsigned long long job = 0;  // serial of the job it works on
    std::string received;        // the answer so far
    long long deadline = 0;      // monotonic milliseconds
  };

  // The path of the document's file; false when there is no such file.
  bool find_document(const std::string &name, std::string &path) const;
  std::string read_file(const std::string &path, const std::string &name);
  void drop_queue();
  // Hands queued jobs, in order, to idle children while the window allows.
  void dispatch();
  // An idle child, started if need be; null when every one is at work.
  Child *idle_child();
  void start_child(Child &child);
  void send(Child &child, unsigned long long serial, const std::string &path);
  // Waits until some child sends bytes or a time-out passes, then reads.
  void wait_for_answers();
  void receive(Child &child);
  // The job the child works on; null when it was dropped.
  Job *job_of(const Child &child);
  // Fails the child's job with the message and ends the child.
  void give_up(Child &child, const std::string &message, int number);
  void end_child(Child &child);

  std::string command;
  std::vector<std::string> words;  // the command split at blanks
  std::string documents_directory;
  std::deque<Job> queue;
  unsigned long long first_serial = 0;  // of the queue's front
  unsigned long long next_unsent = 0;   // serial of the next job to hand out
  std::vector<Child> children;
  long long timeout_ms = 0;
  pid_t owner = 0;  // the process that started the children
};

extern Analyser analyser;

#endif  // MIVO_INTAKE_ANALYSER_H
