// The event log: every message of the system goes through these functions. The
// verbosity chosen with -v decides what reaches the screen; "mivo.log" receives
// every result, warning and error whatever the verbosity.
#ifndef MIVO_BASE_EVENTLOG_H
#define MIVO_BASE_EVENTLOG_H

#include <fstream>
#include <string>

class EventLog {
 public:
  enum EventType { message_event, warning_event, error_event, debug_event };

  // Opens (creates or truncates) the log file and writes its header; exits
  // with status 1 when the file cannot be opened. A log that another process
  // holds open through initialise is appended to, not truncated.
  void initialise(const char *name);
  // Writes the type's prefix, the text and a newline, flushed; nothing when
  // the file is not open or has failed.
  void log(EventType type, const char *text);

 private:
  std::ofstream ofs;
  int lock_fd = -1;  // held for the run, so that a second one leaves the file alone
};

extern EventLog event_log;

// Kinds of file error; report_file_error gives each its fixed message.
enum FileErrors {
  open_for_reading,
  open_for_writing,
  read_failure,
  write_failure,
  create_directory_failure,
  directory_not_found,
  open_directory_failure,
  delete_failure,
  format_failure
};

// Longest message the formatted forms write; longer ones are cut.
const unsigned int max_message_length = 1023;

// To the screen (clog) and the file only when 0 < level <= verbosity.
void log(unsigned int level, const char *text);
// To the screen as log does, to the file always.
void log_results(unsigned int level, const char *text);
void log_formatted(unsigned int level, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
void log_formatted_results(unsigned int level, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
// "WARNING: " / "ERROR: " on cerr and in the file, whatever the verbosity.
void warning(const char *format, ...) __attribute__((format(printf, 1, 2)));
void error(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Logs "aborting..." (with the error number when it is not 0) and ends the
// process with that number as its status, or 1 when it is 0 or does not fit
// an exit status. The number is an errno, or 0 for a failure that is no
// system error.
[[noreturn]] void myabort(int number);

// Reports the fixed message of the kind through error, naming the file when
// name is not null. Does not end the run.
void report_file_error(const char *name, FileErrors kind);
void report_file_error(const std::string &name, FileErrors kind);

// Prints "file:line: failed assertion `cond'" and ends the process abnormally.
[[noreturn]] void assertion_failed(const char *file, unsigned int line,
                                   const char *condition);

#define mivo_assert(cond) \
  ((cond) ? (void)0 : assertion_failed(__FILE__, __LINE__, #cond))

#endif  // MIVO_BASE_EVENTLOG_H
