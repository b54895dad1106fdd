#include "base/eventlog.h"

#include <cerrno>
#include <iostream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "base/options.h"
#include "tests/child_run.h"

namespace {

void set_verbosity(const char *flag) {
  options = Options();
  const char *argv[] = {"mivo", flag, "examples", nullptr};
  options.parse(3, argv);
}

// Captures what one stream receives while it lives.
class Capture {
 public:
  explicit Capture(std::ostream &os) : stream(os), old(os.rdbuf(text.rdbuf())) {}
  ~Capture() { stream.rdbuf(old); }
  std::string get() const { return text.str(); }

 private:
  std::ostream &stream;
  std::stringstream text;
  std::streambuf *old;
};

bool has(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

// Every check runs in a child process of its own, since the log file is global
// and opened once per process. The log's header is checked in cli_test.
TEST(EventLog, EntriesAccordingToVerbosity) {
  EXPECT_EQ(0, run_in_child([] {
    event_log.initialize("verbosity.log");
    set_verbosity("-v");
    Capture clog_capture(std::clog);
    log(0, "level zero log");
    log_results(0, "level zero result");
    log(1, "level one log");
    log(2, "level two log");
    log_results(2, "level two result");
    EXPECT_EQ("level one log\n", clog_capture.get());
    std::string file = file_text("verbosity.log");
    EXPECT_FALSE(has(file, "level zero log") || has(file, "level two log")) << file;
    for (const char *line : {"\nlevel zero result\n", "\nlevel one log\n", "\nlevel two result\n"})
      EXPECT_TRUE(has(file, line)) << line;
  }));
}

TEST(EventLog, WarningsAndErrorsCarryPrefixes) {
  EXPECT_EXIT(
      {
        event_log.initialize("prefixes.log");
        warning("careful with `%s'", "x");
        error("broken %d", 7);
        report_file_error(static_cast<const char *>(nullptr), read_failure);
        report_file_error(std::string("f.dat"), format_failure);
        exit(has(file_text("prefixes.log"),
                 "\nWARNING: careful with `x'\nERROR: broken 7\nERROR: read error\n"
                 "ERROR: format error in file `f.dat'\n") ? 0 : 3);
      },
      testing::ExitedWithCode(0),
      "WARNING: careful with `x'\nERROR: broken 7\nERROR: read error\n");
}

TEST(EventLog, LongMessagesAreCutAt1023Characters) {
  EXPECT_EQ(0, run_in_child([] {
    event_log.initialize("long.log");
    std::string huge(5000, 'y'), cut(1023, 'y');
    error("%s", huge.c_str());
    log_formatted_results(0, "%s%s", huge.c_str(), "tail");
    std::string file = file_text("long.log");
    EXPECT_TRUE(has(file, "ERROR: " + cut + "\n") && has(file, "\n" + cut + "\n"));
    EXPECT_FALSE(has(file, cut + "y"));
  }));
}

// errno is the exit status, or 1 when it is 0 or does not fit in one.
TEST(EventLog, AbortExitsWithErrno) {
  const struct { int err, status; const char *screen, *logged; } cases[] = {
      {2, 2, "^aborting\\.\\.\\. \\(errno = 2\\)\n$", "\nERROR: aborting... (errno = 2)\n"},
      {0, 1, "^aborting\\.\\.\\.\n$", "\naborting...\n"},
      {256, 1, "^aborting\\.\\.\\. \\(errno = 256\\)\n$", "\nERROR: aborting... (errno = 256)\n"}};
  for (const auto &c : cases) {
    EXPECT_EXIT(
        {
          event_log.initialize("abort.log");
          errno = c.err;
          myabort();
        },
        testing::ExitedWithCode(c.status), c.screen);
    std::string file = file_text("abort.log");
    EXPECT_TRUE(has(file, c.logged)) << file;
    EXPECT_EQ(c.err != 0, has(file, "ERROR")) << file;
  }
}

TEST(EventLog, UnopenableLogFileEndsTheRun) {
  EXPECT_EXIT(event_log.initialize("no-such-dir/mivo.log"),
              testing::ExitedWithCode(1),
              "ERROR: cannot open log file no-such-dir/mivo.log\naborting\\.\\.\\.");
}

TEST(EventLog, AssertionNamesModuleLineAndCondition) {
  EXPECT_DEATH(mivo_assert(1 + 1 == 3),
               "^eventlog_test:[0-9]+: failed assertion `1 \\+ 1 == 3'\n");
}

}  // namespace
