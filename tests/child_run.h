// Test helpers for whole runs: the vocabulary tables are process-wide and
// cannot be emptied, so each run of the data base happens in its own process.
#ifndef MIVO_TESTS_CHILD_RUN_H
#define MIVO_TESTS_CHILD_RUN_H

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
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

#endif  // MIVO_TESTS_CHILD_RUN_H
