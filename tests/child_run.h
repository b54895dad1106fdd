// Test helpers for whole runs: the vocabulary tables are process-wide and
// cannot be emptied, so each run of the data base happens in its own process.
#ifndef MIVO_TESTS_CHILD_RUN_H
#define MIVO_TESTS_CHILD_RUN_H

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

// Runs body in a child process that then ends through exit, as a run does, so
// that the data base is closed on the way out. The child's assertion failures
// are printed as they happen and make it exit with 1. Returns the exit status,
// or -1 when the child did not exit.
inline int run_in_child(const std::function<void()> &body) {
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    body();
    exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// For EXPECT_EXIT: the run ended with an error status.
inline bool failed_run(int status) { return WIFEXITED(status) && WEXITSTATUS(status) != 0; }

inline std::string file_text(const std::string &path) {
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

// A fresh, empty directory of this name in the working directory.
inline void fresh_directory(const std::string &name) {
  std::string command = "rm -rf '" + name + "' && mkdir '" + name + "'";
  if (system(command.c_str()) != 0) ADD_FAILURE() << command;
}

// Runs writer in a child that reports each step it finishes to report_done,
// kills it after a random pause of up to 20 ms and returns the last step
// reported, or none when there was none.
inline int64_t kill_after_random_pause(std::mt19937 &random, int64_t none,
                                       const std::function<void(int)> &writer) {
  int done[2];
  if (pipe(done) != 0) {
    ADD_FAILURE() << "pipe";
    return none;
  }
  pid_t pid = fork();
  if (pid == 0) {
    close(done[0]);
    writer(done[1]);
    _exit(2);
  }
  close(done[1]);
  usleep(random() % 20000);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  int64_t step, last = none;
  while (read(done[0], &step, sizeof step) == sizeof step) last = step;
  close(done[0]);
  return last;
}

inline void report_done(int fd, int64_t step) {
  if (write(fd, &step, sizeof step) != sizeof step) _exit(2);
}

#endif  // MIVO_TESTS_CHILD_RUN_H
