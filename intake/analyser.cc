#include "intake/analyser.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include "base/eventlog.h"
#include "base/param.h"
#include "base/utils.h"

namespace {

// The words of command between single blanks; two blanks in a row give an
// empty word.
std::vector<std::string> split_command(const std::string &command) {
  std::vector<std::string> words;
  std::string::size_type start = 0;
  for (;;) {
    std::string::size_type blank = command.find(' ', start);
    words.push_back(command.substr(start, blank - start));
    if (blank == std::string::npos) return words;
    start = blank + 1;
  }
}

// Runs in the forked child: never returns into the parent's code, whose
// end-of-run work (destructors, buffered output) belongs to the parent alone.
[[noreturn]] void run_analyser(const int requests[2], const int answers[2],
                               char *const argv[]) {
  signal(SIGPIPE, SIG_DFL);
  dup2(requests[0], STDIN_FILENO);
  dup2(answers[1], STDOUT_FILENO);
  for (int fd : {requests[0], requests[1], answers[0], answers[1]})
    if (fd != STDIN_FILENO && fd != STDOUT_FILENO) close(fd);
  execv(argv[0], argv);
  error("analyser process execution failed: %s", strerror(errno));
  _exit(127);
}

ssize_t read_some(int fd, char *buffer, size_t size) {
  ssize_t got;
  do
    got = read(fd, buffer, size);
  while (got < 0 && errno == EINTR);
  return got;
}

// Completes partial writes; false with errno set on failure.
bool write_all(int fd, const std::string &data) {
  std::string::size_type done = 0;
  while (done < data.size()) {
    ssize_t put = write(fd, data.data() + done, data.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return false;
    done += static_cast<std::string::size_type>(put);
  }
  return true;
}

// A control character (a newline above all) would split the request and pair
// every later answer with the wrong document.
bool has_control_character(const std::string &text) {
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7f) return true;
  return false;
}

}  // namespace

void Analyser::initialise(const std::string &command_line) {
  documents_directory = param.gen.get_file_directory();
  check_directory_exists(documents_directory);
  command = command_line;
  if (!command.empty()) start_analyser_process();
}

void Analyser::start_analyser_process() {
  stop_analyser_process();
  std::vector<std::string> words = split_command(command);
  if (words.size() > MAX_NR_OPTIONS + 1) {
    error("analyser command `%s' has more than %u arguments", command.c_str(),
          MAX_NR_OPTIONS);
    errno = 0;
    myabort();
  }
  std::vector<char *> argv;
  for (std::string &word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);

  int requests[2], answers[2];
  if (pipe(requests) != 0 || pipe(answers) != 0) {
    error("start_analyser_process: %s", strerror(errno));
    myabort();
  }
  // An analyser that has gone must show as a failed write, not end mivo
  // silently.
  signal(SIGPIPE, SIG_IGN);
  pid_t pid = fork();
  if (pid < 0) {
    error("cannot fork analyser: %s", strerror(errno));
    myabort();
  }
  if (pid == 0) run_analyser(requests, answers, argv.data());
  close(requests[0]);
  close(answers[1]);
  to_child = requests[1];
  from_child = answers[0];
  // A later child must not hold the analyser's input open past our close.
  fcntl(to_child, F_SETFD, FD_CLOEXEC);
  fcntl(from_child, F_SETFD, FD_CLOEXEC);
  child_pid = pid;
}

void Analyser::stop_analyser_process() {
  requested.clear();
  unread.clear();
  next_hint.clear();
  if (to_child >= 0) close(to_child);
  if (from_child >= 0) close(from_child);
  to_child = -1;
  from_child = -1;
  child_pid = 0;
}

bool Analyser::find_document(const std::string &name, std::string &path) const {
  path = PathName(documents_directory, name, ".txt").get();
  return file_exists(path) && !is_directory(path);
}

std::string Analyser::process(const std::string &name) {
  std::string path;
  // The analyser answers a document it cannot read with nothing, and that
  // empty profile would be stored for good: a directory is refused here.
  if (!find_document(name, path)) {
    error("Cannot open file \"%s\" for analysing stage", path.c_str());
    myabort();
  }
  if (command.empty()) return read_file(path, name);
  // Answers asked for ahead but not wanted now keep their order: they are
  // read and dropped before this one.
  while (!requested.empty() && requested.front() != name) {
    read_answer(requested.front());
    requested.pop_front();
  }
  if (requested.empty()) {
    send_request(path, name);
    requested.push_back(name);
  }
  send_hinted_request(name);
  requested.pop_front();
  return read_answer(name);
}

void Analyser::send_hinted_request(const std::string &name) {
  std::string hint;
  hint.swap(next_hint);
  std::string path;
  if (hint.empty() || hint == name || requested.size() > 1) return;
  if (!find_document(hint, path) || has_control_character(path)) return;
  if (!write_all(to_child, path + "\n")) return;
  requested.push_back(hint);
}

void Analyser::send_request(const std::string &path, const std::string &name) {
  mivo_assert(to_child >= 0);
  if (has_control_character(path)) {
    error("document name `%s' holds a control character; not sent to analyser "
          "`%s'", name.c_str(), command.c_str());
    errno = 0;
    myabort();
  }
  if (!write_all(to_child, path + "\n")) {
    error("analyser `%s' did not take the request for document `%s': %s",
          command.c_str(), name.c_str(), strerror(errno));
    myabort();
  }
}

std::string Analyser::read_answer(const std::string &name) {
  std::string answer;
  std::vector<char> chunk(65536);
  for (;;) {
    // The answer may hold NUL bytes: search only the bytes read.
    std::string::size_type end = unread.find('\1');
    if (end != std::string::npos) {
      answer.append(unread, 0, end);
      unread.erase(0, end + 1);
      return answer;
    }
    answer += unread;
    unread.clear();
    ssize_t got = read_some(from_child, chunk.data(), chunk.size());
    if (got == 0) {
      error("analyser `%s' ended before answering document `%s'",
            command.c_str(), name.c_str());
      errno = 0;
      myabort();
    }
    if (got < 0) {
      error("cannot read the answer of analyser `%s' for document `%s': %s",
            command.c_str(), name.c_str(), strerror(errno));
      myabort();
    }
    unread.assign(chunk.data(), static_cast<size_t>(got));
  }
}

std::string Analyser::read_file(const std::string &path,
                                const std::string &name) {
  unsigned long size = get_file_size(path.c_str());
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) {
    error("%s: %s", name.c_str(), strerror(errno));
    myabort();
  }
  std::string text;
  text.reserve(size);
  char buffer[65536];
  ssize_t got;
  while ((got = read_some(fd, buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<size_t>(got));
  if (got < 0) {
    error("%s: %s", name.c_str(), strerror(errno));
    myabort();
  }
  close(fd);
  if (text.size() < size)
    warning("Analyser::process: read %ld bytes, file size is %ld bytes from %s",
            static_cast<long>(text.size()), static_cast<long>(size),
            name.c_str());
  return text;
}
