#include "driver/eventlog.h"

#include <cerrno>
#include <iostream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "driver/options.h"
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

// Every check runs in a child process of its own, since the log file is global
// and opened once per process.
TEST(EventLog, HeaderThenEntriesAccordingToVerbosity) {
  EXPECT_EXIT(
      {
        event_log.initialize("verbosity.log");
        set_verbosity("-v");  // logs the banner at level 1
        std::string screen;
        {
          Capture clog_capture(std::clog);
          log(0, "level zero log");
          log_results(0, "level zero result");
          log(1, "level one log");
          log(2, "level two log");
          log_results(2, "level two result");
          screen = clog_capture.get();
        }
        std::string file = file_text("verbosity.log");
        bool ok = screen == "level one log\n" &&
                  file.find("this is MIVO version: 1.4\n\n") != std::string::npos &&
                  file.find("level zero log") == std::string::npos &&
                  file.find("\nlevel zero result\n") != std::string::npos &&
                  file.find("\nlevel one log\n") != std::string::npos &&
                  file.find("level two log") == std::string::npos &&
                  file.find("\nlevel two result\n") != std::string::npos;
        // ctime's line comes first.
        ok = ok && file.find('\n') == 24;
        exit(ok ? 0 : 3);
      },
      testing::ExitedWithCode(0), "");
}

TEST(EventLog, WarningsAndErrorsCarryPrefixes) {
  EXPECT_EXIT(
      {
        event_log.initialize("prefixes.log");
        warning("careful with `%s'", "x");
        error("broken %d", 7);
        report_file_error(static_cast<const char *>(nullptr), read_failure);
        report_file_error(std::string("f.dat"), format_failure);
        std::string file = file_text("prefixes.log");
        bool ok = file.find("\nWARNING: careful with `x'\nERROR: broken 7\n"
                            "ERROR: read error\n"
                            "ERROR: format error in file `f.dat'\n") !=
                  std::string::npos;
        exit(ok ? 0 : 3);
      },
      testing::ExitedWithCode(0),
      "WARNING: careful with `x'\nERROR: broken 7\nERROR: read error\n");
}

TEST(EventLog, LongMessagesAreCutAt1023Characters) {
  EXPECT_EXIT(
      {
        event_log.initialize("long.log");
        std::string huge(5000, 'y');
        error("%s", huge.c_str());
        log_formatted_results(0, "%s%s", huge.c_str(), "tail");
        std::string file = file_text("long.log");
        std::string cut(1023, 'y');
        bool ok = file.find("ERROR: " + cut + "\n") != std::string::npos &&
                  file.find("\n" + cut + "\n") != std::string::npos &&
                  file.find(cut + "y") == std::string::npos;
        exit(ok ? 0 : 3);
      },
      testing::ExitedWithCode(0), "");
}

TEST(EventLog, AbortExitsWithErrno) {
  EXPECT_EXIT(
      {
        event_log.initialize("abort.log");
        errno = 2;
        myabort();
      },
      testing::ExitedWithCode(2), "^aborting\\.\\.\\. \\(errno = 2\\)\n$");
  EXPECT_EQ(file_text("abort.log").find("ERROR: aborting... (errno = 2)\n") !=
                std::string::npos,
            true);

  EXPECT_EXIT(
      {
        event_log.initialize("abort0.log");
        errno = 0;
        myabort();
      },
      testing::ExitedWithCode(1), "^aborting\\.\\.\\.\n$");
  std::string file = file_text("abort0.log");
  EXPECT_NE(file.find("\naborting...\n"), std::string::npos);
  EXPECT_EQ(file.find("ERROR"), std::string::npos);
}

TEST(EventLog, ErrnoBeyondAnExitStatusStillFails) {
  EXPECT_EXIT(
      {
        errno = 256;
        myabort();
      },
      testing::ExitedWithCode(1), "aborting\\.\\.\\. \\(errno = 256\\)");
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
