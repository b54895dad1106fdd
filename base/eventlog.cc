#include "base/eventlog.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>

#include "base/options.h"
#include "base/utils.h"

namespace {

const double mivo_version = 1.4;

const char *const prefixes[] = {"", "WARNING: ", "ERROR: ", "DEBUG: "};

const char *const named_messages[] = {
    "cannot open file `%s' for reading", "cannot open file `%s' for writing",
    "error reading file `%s'",           "error writing file `%s'",
    "could not create directory `%s'",   "cannot find directory `%s'",
    "cannot open directory `%s'",        "error deleting file `%s'",
    "format error in file `%s'"};

const char *const plain_messages[] = {
    "open failure",        "open failure",          "read error",
    "write error",         "could not create directory", "directory not found",
    "cannot open directory", "delete error",        "format error"};

bool on_screen(unsigned int level) {
  return level != 0 && level <= options.get_verbosity_level();
}

// Expands the variable arguments after format into buffer; vsnprintf never
// writes past the buffer and cuts the text at max_message_length characters.
#define FORMAT_MESSAGE(buffer, format)              \
  char buffer[max_message_length + 1];              \
  do {                                              \
    va_list args;                                   \
    va_start(args, format);                         \
    vsnprintf(buffer, sizeof buffer, format, args); \
    va_end(args);                                   \
  } while (0)

void report(EventLog::EventType type, const char *text) {
  std::cerr << prefixes[type] << text << std::endl;
  event_log.log(type, text);
}

}  // namespace

void EventLog::initialise(const char *name) {
  if (ofs.is_open()) ofs.close();
  if (lock_fd >= 0) close(lock_fd);
  // Another mivo that runs in this working directory, and that a second run
  // will be refused beside, writes this log: it is not truncated under it,
  // this run's lines go after its own.
  lock_fd = open(name, O_WRONLY | O_CREAT | O_CLOEXEC, 0664);
  bool own = lock_fd >= 0 && flock(lock_fd, LOCK_EX | LOCK_NB) == 0;
  if (lock_fd >= 0) ofs.open(name, own ? std::ios::out | std::ios::trunc : std::ios::app);
  if (!ofs.is_open() || !ofs) {
    std::cerr << "ERROR: cannot open log file " << name << std::endl;
    std::cerr << "aborting..." << std::endl;
    exit(1);
  }
  time_t now = time(nullptr);
  ofs << ctime(&now) << "this is MIVO version: " << mivo_version << "\n\n";
  ofs.flush();
}

void EventLog::log(EventType type, const char *text) {
  if (!ofs.good()) return;
  ofs << prefixes[type] << text << std::endl;
}

void log(unsigned int level, const char *text) {
  if (!on_screen(level)) return;
  std::clog << text << std::endl;
  event_log.log(EventLog::message_event, text);
}

void log_results(unsigned int level, const char *text) {
  if (on_screen(level)) std::clog << text << std::endl;
  event_log.log(EventLog::message_event, text);
}

void log_formatted(unsigned int level, const char *format, ...) {
  // Training and profiling ask for a message per document: one that is not
  // shown is not formatted.
  if (!on_screen(level)) return;
  FORMAT_MESSAGE(buffer, format);
  log(level, buffer);
}

void log_formatted_results(unsigned int level, const char *format, ...) {
  FORMAT_MESSAGE(buffer, format);
  log_results(level, buffer);
}

void warning(const char *format, ...) {
  FORMAT_MESSAGE(buffer, format);
  report(EventLog::warning_event, buffer);
}

void error(const char *format, ...) {
  FORMAT_MESSAGE(buffer, format);
  report(EventLog::error_event, buffer);
}

void myabort(int number) {
  char text[64];
  if (number != 0) {
    snprintf(text, sizeof text, "aborting... (errno = %d)", number);
    event_log.log(EventLog::error_event, text);
  } else {
    snprintf(text, sizeof text, "aborting...");
    event_log.log(EventLog::message_event, text);
  }
  std::cerr << text << std::endl;
  // An exit status keeps 8 bits: an errno above 255 could read as success.
  exit(number > 0 && number <= 255 ? number : 1);
}

void report_file_error(const char *name, FileErrors kind) {
  if (name != nullptr)
    error(named_messages[kind], name);
  else
    error("%s", plain_messages[kind]);
}

void report_file_error(const std::string &name, FileErrors kind) {
  report_file_error(name.c_str(), kind);
}

void assertion_failed(const char *file, unsigned int line,
                      const char *condition) {
  // Name the module, not the build's path to it: "driver/eventlog.cc" -> "eventlog".
  const char *base = strrchr(file, '/');
  base = base ? base + 1 : file;
  std::string module(base);
  std::string::size_type dot = module.rfind('.');
  if (dot != std::string::npos && dot > 0) module.erase(dot);
  fprintf(stderr, "%s:%u: failed assertion `%s'\n", module.c_str(), line,
          condition);
  abort();
}
