#include "model/atomtab.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "driver/eventlog.h"

void VocabularyFile::set_name(const std::string &path) {
  name = path;
  saved = 0;
  bytes = 0;
}

void VocabularyFile::read_lines(
    const std::function<bool(const std::string &)> &take) {
  FILE *in = fopen(name.c_str(), "r");
  if (in == nullptr) {
    report_file_error(name, open_for_reading);
    myabort();
  }
  char *buffer = nullptr;
  size_t capacity = 0;
  ssize_t length;
  bool well_formed = true;
  bool torn = false;
  unsigned long lines = 0;
  unsigned long complete = 0;
  // getline takes lines of any length, so long phrases keep their line number.
  while ((length = getline(&buffer, &capacity, in)) > 0) {
    if (buffer[length - 1] != '\n') {
      torn = true;
      break;
    }
    if (!take(std::string(buffer, static_cast<size_t>(length) - 1))) {
      well_formed = false;
      break;
    }
    ++lines;
    complete += static_cast<unsigned long>(length);
  }
  bool failed = ferror(in) != 0;
  free(buffer);
  fclose(in);
  if (failed) {
    report_file_error(name, read_failure);
    myabort();
  }
  if (!well_formed) format_error();
  saved = lines;
  bytes = complete;
  if (torn) cut_torn_line();
}

// A crash during an append leaves a line without its newline; nothing refers
// to it yet, and appending behind it would merge two entries into one line.
void VocabularyFile::cut_torn_line() {
  warning("dropping incomplete last line of file `%s'", name.c_str());
  if (truncate(name.c_str(), static_cast<off_t>(bytes)) != 0) {
    report_file_error(name, write_failure);
    myabort();
  }
}

void VocabularyFile::append_lines(
    unsigned long total, const char *noun,
    const std::function<std::string(unsigned long)> &line_of) {
  mivo_assert(!name.empty());
  int fd = open(name.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0664);
  FILE *out = fd < 0 ? nullptr : fdopen(fd, "a");
  if (out == nullptr) {
    report_file_error(name, open_for_writing);
    myabort();
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || static_cast<unsigned long>(st.st_size) != bytes) {
    error("file `%s' is not as this run read it; not appending to it",
          name.c_str());
    errno = 0;
    myabort();
  }
  if (saved < total) {
    if (saved != 0)
      log_formatted_results(1, "updating %s from %lu to %lu %s", name.c_str(),
                            saved, total, noun);
    else
      log_formatted_results(1, "creating %s with %lu %s", name.c_str(), total,
                            noun);
  }
  for (; saved < total; ++saved) {
    std::string line = line_of(saved);
    line += '\n';
    if (fwrite(line.data(), 1, line.size(), out) != line.size()) break;
    bytes += line.size();
  }
  if (fclose(out) != 0 || saved < total) {
    report_file_error(name, write_failure);
    myabort();
  }
}

void VocabularyFile::format_error() const {
  report_file_error(name, format_failure);
  errno = 0;
  myabort();
}

bool AtomTable::sizes_agree() const {
  return std::unordered_map<std::string, unsigned long>::size() == next_id &&
         index.size() == next_id;
}

unsigned long AtomTable::add(const std::string &str) {
  mivo_assert(next_id != EmptyAtom);
  index.push_back(&emplace(str, next_id).first->first);
  ++next_id;
  mivo_assert(sizes_agree());
  return next_id - 1;
}

unsigned long AtomTable::enter(const std::string &str) {
  // A newline in an atom would split its line in the file and shift every
  // later id by one.
  mivo_assert(!str.empty() && str.find('\n') == std::string::npos);
  mivo_assert(sizes_agree());
  const_iterator found = std::unordered_map<std::string, unsigned long>::find(str);
  if (found != end()) return found->second;
  return add(str);
}

bool AtomTable::find(const std::string &str, unsigned long &id) const {
  const_iterator found = std::unordered_map<std::string, unsigned long>::find(str);
  id = found != end() ? found->second : EmptyAtom;
  return found != end();
}

const std::string &AtomTable::text(unsigned long id) const {
  mivo_assert(id < index.size());
  return *index[id];
}

void AtomTable::read() {
  mivo_assert(!file.get_name().empty());
  mivo_assert(empty() && index.empty());
  file.read_lines([this](const std::string &line) {
    if (line.empty() || count(line) != 0) return false;
    add(line);
    return true;
  });
}

void AtomTable::write() {
  file.append_lines(next_id, "atoms",
                    [this](unsigned long id) { return text(id); });
}

unsigned long enter_atom(const std::string &str) {
  return atom_table.enter(str);
}

const std::string &atom_text(unsigned long id) { return atom_table.text(id); }
