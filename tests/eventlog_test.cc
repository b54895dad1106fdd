#include "base/eventlog.h"

#include "tests/child_run.h"

namespace {

// Which messages reach the screen and the log at each verbosity is checked
// end to end in cli_test, and so is the log's header.
TEST(EventLog, WarningsAndErrorsCarryPrefixesAndLongOnesAreCut) {
  EXPECT_EXIT(
      {
        event_log.initialise("prefixes.log");
        warning("careful with `%s'", "x");
        error("broken %d", 7);
        report_file_error(static_cast<const char *>(nullptr), read_failure);
        report_file_error(std::string("f.dat"), format_failure);
        // The longest message keeps its 1023 characters, not one more.
        std::string huge(5000, 'y');
        std::string cut(1023, 'y');
        error("%s", huge.c_str());
        log_formatted_results(0, "%s%s", huge.c_str(), "tail");
        exit(file_text("prefixes.log").find(
                 "\nWARNING: careful with `x'\nERROR: broken 7\nERROR: read error\n"
                 "ERROR: format error in file `f.dat'\nERROR: " + cut + "\n" + cut + "\n") !=
                     std::string::npos ? 0 : 3);
      },
      testing::ExitedWithCode(0),
      "WARNING: careful with `x'\nERROR: broken 7\nERROR: read error\n");
}

// The number is the exit status, or 1 when it is 0 or does not fit in one.
TEST(EventLog, AbortExitsWithItsNumber) {
  const struct { int err, status; const char *screen, *logged; } cases[] = {
      {2, 2, "^aborting\\.\\.\\. \\(errno = 2\\)\n$", "\nERROR: aborting... (errno = 2)\n"},
      {0, 1, "^aborting\\.\\.\\.\n$", "\naborting...\n"},
      {255, 255, "errno = 255", "\nERROR: aborting... (errno = 255)\n"},
      {256, 1, "errno = 256", "\nERROR: aborting... (errno = 256)\n"}};
  for (const auto &c : cases) {
    EXPECT_EXIT((event_log.initialise("abort.log"), myabort(c.err)),
                testing::ExitedWithCode(c.status), c.screen);
    EXPECT_NE(std::string::npos, file_text("abort.log").find(c.logged)) << c.err;
  }
}

TEST(EventLog, UnopenableLogFileAndFailedAssertionsEndTheRun) {
  EXPECT_EXIT(event_log.initialise("no-such-dir/mivo.log"), testing::ExitedWithCode(1),
              "ERROR: cannot open log file no-such-dir/mivo.log\naborting\\.\\.\\.");
  EXPECT_DEATH(mivo_assert(1 + 1 == 3),
               "^eventlog_test:[0-9]+: failed assertion `1 \\+ 1 == 3'\n");
}

}  // namespace
