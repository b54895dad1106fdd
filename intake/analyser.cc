#include "intake/analyser.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstring>
#include <ctime>

#include "base/eventlog.h"
#include "base/param.h"
#include "base/utils.h"

namespace {

const size_t chunk_size = 65536;

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

long long now_ms() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

std::string formatted(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string formatted(const char *format, ...) {
  char text[max_message_length + 1];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  return text;
}

// Runs in the forked child: never returns into the parent's code, whose
// end-of-run work (destructors, buffered output) belongs to the parent alone.
// A failed execv sends its errno back through the status pipe, which a
// successful one closes.
[[noreturn]] void run_analyser(int request, int answer, int status,
                               char *const argv[]) {
  signal(SIGPIPE, SIG_DFL);
  // Above the standard descriptors first: with those closed in mivo, a pipe
  // may have got one of them, and dup2 would close it.
  int in = fcntl(request, F_DUPFD, 3);
  int out = fcntl(answer, F_DUPFD, 3);
  int report = fcntl(status, F_DUPFD_CLOEXEC, 3);
  if (in < 0 || out < 0 || report < 0 || dup2(in, STDIN_FILENO) < 0 ||
      dup2(out, STDOUT_FILENO) < 0)
    _exit(127);
  close(in);
  close(out);
  execv(argv[0], argv);
  int number = errno;
  if (write(report, &number, sizeof number) != sizeof number) _exit(126);
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
  stop_analyser_process();
  documents_directory = param.gen.get_file_directory();
  check_directory_exists(documents_directory);
  command = command_line;
  words.clear();
  if (command.empty()) return;
  words = split_command(command);
  if (words.size() > MAX_NR_OPTIONS + 1) {
    error("analyser command `%s' has more than %u arguments", command.c_str(),
          MAX_NR_OPTIONS);
    myabort(0);
  }
  children.assign(std::max(1u, param.gen.get_analysers()), Child());
  timeout_ms = 1000LL * param.gen.get_analyser_timeout();
  owner = getpid();
}

void Analyser::stop_analyser_process() {
  drop_queue();
  for (Child &child : children) end_child(child);
}

void Analyser::end_child(Child &child) {
  if (child.to >= 0) close(child.to);
  if (child.from >= 0) close(child.from);
  // A forked copy of this process (a test's child) owns no analyser.
  if (child.pid > 0 && getpid() == owner) {
    if (child.busy) kill(child.pid, SIGKILL);
    waitpid(child.pid, nullptr, child.busy ? 0 : WNOHANG);
  }
  child = Child();
}

void Analyser::start_child(Child &child) {
  std::vector<char *> argv;
  for (std::string &word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  int requests[2], answers[2], status[2];
  // Close-on-exec: no later child may hold another one's pipes open.
  if (pipe2(requests, O_CLOEXEC) != 0 || pipe2(answers, O_CLOEXEC) != 0 ||
      pipe2(status, O_CLOEXEC) != 0) {
    int number = errno;
    error("cannot make pipes for analyser `%s': %s", command.c_str(), strerror(number));
    myabort(number);
  }
  // An analyser that has gone must show as a failed write, not end mivo
  // silently.
  signal(SIGPIPE, SIG_IGN);
  pid_t pid = fork();
  if (pid < 0) {
    int number = errno;
    error("cannot fork analyser `%s': %s", command.c_str(), strerror(number));
    myabort(number);
  }
  if (pid == 0) run_analyser(requests[0], answers[1], status[1], argv.data());
  close(requests[0]);
  close(answers[1]);
  close(status[1]);
  int number = 0;
  ssize_t got;
  do
    got = read(status[0], &number, sizeof number);
  while (got < 0 && errno == EINTR);
  close(status[0]);
  child.pid = pid;
  child.to = requests[1];
  child.from = answers[0];
  if (got == sizeof number) {
    end_child(child);
    error("cannot start analyser `%s': %s", words[0].c_str(), strerror(number));
    myabort(number);
  }
}

bool Analyser::find_document(const std::string &name, std::string &path) const {
  path = PathName(documents_directory, name, ".txt").get();
  return exists_but_not_directory(path);
}

void Analyser::expect(const std::string &name) {
  if (command.empty()) return;
  Job job;
  job.name = name;
  queue.push_back(std::move(job));
  dispatch();
}

void Analyser::drop_queue() {
  first_serial += queue.size();
  next_unsent = first_serial;
  queue.clear();
}

std::string Analyser::process(const std::string &name) {
  std::string path;
  // The analyser answers a document it cannot read with nothing, and that
  // empty profile would be stored for good: a directory is refused here.
  if (!find_document(name, path)) {
    int number = errno;
    error("Cannot open file \"%s\" for analysing stage", path.c_str());
    myabort(number);
  }
  if (command.empty()) return read_file(path, name);
  if (has_control_character(path)) {
    error("document name `%s' holds a control character; not sent to analyser "
          "`%s'", name.c_str(), command.c_str());
    myabort(0);
  }
  if (queue.empty() || queue.front().name != name || queue.front().state == unsendable) {
    drop_queue();
    expect(name);
  }
  Job &job = queue.front();
  for (dispatch(); job.state != answered; dispatch()) {
    if (job.state == failed) {
      error("%s", job.answer.c_str());
      myabort(job.error_number);
    }
    if (job.state == unsendable) {  // gone since the check above
      error("Cannot open file \"%s\" for analysing stage", path.c_str());
      myabort(0);
    }
    wait_for_answers();
  }
  std::string answer;
  answer.swap(job.answer);
  queue.pop_front();
  ++first_serial;
  // The children work on while this document is parsed and stored.
  dispatch();
  return answer;
}

void Analyser::dispatch() {
  // Answers that came early wait in memory: at most two a child.
  unsigned long long window = 2 * children.size();
  while (next_unsent < first_serial + std::min<unsigned long long>(queue.size(), window)) {
    Job &job = queue[next_unsent - first_serial];
    // Found once: a job may wait here for a child through many calls.
    if (job.path.empty() &&
        (!find_document(job.name, job.path) || has_control_character(job.path))) {
      job.state = unsendable;
      ++next_unsent;
      continue;
    }
    Child *child = idle_child();
    if (child == nullptr) return;
    send(*child, next_unsent++, job.path);
  }
}

Analyser::Child *Analyser::idle_child() {
  Child *free_slot = nullptr;
  for (Child &child : children) {
    if (child.pid > 0 && !child.busy) return &child;
    if (child.pid == 0 && free_slot == nullptr) free_slot = &child;
  }
  if (free_slot != nullptr) start_child(*free_slot);
  return free_slot;
}

void Analyser::send(Child &child, unsigned long long serial, const std::string &path) {
  Job &job = queue[serial - first_serial];
  job.state = sent;
  child.job = serial;
  child.busy = true;
  child.deadline = now_ms() + timeout_ms;
  if (write_all(child.to, path + "\n")) return;
  int number = errno;
  give_up(child,
          formatted("analyser `%s' did not take the request for document `%s': %s",
                    command.c_str(), job.name.c_str(), strerror(number)),
          number);
}

Analyser::Job *Analyser::job_of(const Child &child) {
  if (!child.busy || child.job < first_serial || child.job >= first_serial + queue.size())
    return nullptr;
  return &queue[child.job - first_serial];
}

void Analyser::give_up(Child &child, const std::string &message, int number) {
  if (Job *job = job_of(child)) {
    job->state = failed;
    job->answer = message;
    job->error_number = number;
  }
  end_child(child);
}

void Analyser::wait_for_answers() {
  std::vector<pollfd> fds;
  std::vector<Child *> waited_for;
  long long now = now_ms(), wait = -1;
  for (Child &child : children) {
    if (!child.busy) continue;
    fds.push_back(pollfd{child.from, POLLIN, 0});
    waited_for.push_back(&child);
    long long left = std::max(0LL, child.deadline - now);
    wait = wait < 0 ? left : std::min(wait, left);
  }
  mivo_assert(!fds.empty());
  int ready = poll(fds.data(), fds.size(), static_cast<int>(std::min(wait, 1LL << 30)));
  if (ready < 0 && errno != EINTR) {
    int number = errno;
    error("cannot wait for analyser `%s': %s", command.c_str(), strerror(number));
    myabort(number);
  }
  if (ready == 0) {
    now = now_ms();
    for (Child *child : waited_for) {
      if (child->deadline > now) continue;
      Job *job = job_of(*child);
      give_up(*child,
              formatted("analyser `%s' sent nothing for %u seconds (AnalyserTimeout) "
                        "while analysing document `%s'",
                        command.c_str(), static_cast<unsigned>(timeout_ms / 1000),
                        job ? job->name.c_str() : ""),
              0);
    }
  }
  for (size_t i = 0; ready > 0 && i < fds.size(); ++i)
    if (fds[i].revents != 0) receive(*waited_for[i]);
}

void Analyser::receive(Child &child) {
  std::string &received = child.received;
  size_t old = received.size();
  received.resize(old + chunk_size);
  ssize_t got = read_some(child.from, &received[old], chunk_size);
  received.resize(old + static_cast<size_t>(std::max<ssize_t>(got, 0)));
  if (got <= 0) {
    int number = got == 0 ? 0 : errno;
    Job *job = job_of(child);
    std::string name = job ? job->name : "";
    give_up(child,
            got == 0 ? formatted("analyser `%s' ended before answering document `%s'",
                                 command.c_str(), name.c_str())
                     : formatted("cannot read the answer of analyser `%s' for document "
                                 "`%s': %s",
                                 command.c_str(), name.c_str(), strerror(number)),
            number);
    return;
  }
  child.deadline = now_ms() + timeout_ms;
  // The answer may hold NUL bytes: search only the bytes read.
  std::string::size_type end = received.find('\1', old);
  if (end == std::string::npos) return;
  Job *job = job_of(child);
  child.busy = false;
  if (job == nullptr) {  // dropped: the answer goes too
    received.erase(0, end + 1);
    return;
  }
  job->state = answered;
  if (end + 1 == received.size()) {
    received.pop_back();
    job->answer.swap(received);
    received.clear();
  } else {
    // Bytes past the end are kept for the next answer, as a stream would.
    job->answer.assign(received, 0, end);
    received.erase(0, end + 1);
  }
}

std::string Analyser::read_file(const std::string &path,
                                const std::string &name) {
  unsigned long size = get_file_size(path.c_str());
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) {
    int number = errno;
    error("%s: %s", name.c_str(), strerror(number));
    myabort(number);
  }
  std::string text;
  text.reserve(size);
  char buffer[65536];
  ssize_t got;
  while ((got = read_some(fd, buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<size_t>(got));
  if (got < 0) {
    int number = errno;
    error("%s: %s", name.c_str(), strerror(number));
    myabort(number);
  }
  close(fd);
  if (text.size() < size)
    warning("Analyser::process: read %ld bytes, file size is %ld bytes from %s",
            static_cast<long>(text.size()), static_cast<long>(size),
            name.c_str());
  return text;
}
