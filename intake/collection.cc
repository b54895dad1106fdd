#include "intake/collection.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/eventlog.h"
#include "base/fileio.h"
#include "base/progress.h"
#include "base/param.h"
#include "base/utils.h"
#include "intake/profiling.h"
#include "model/classtab.h"
#include "store/database.h"

namespace {

const char *const document_extension = ".txt";
const uint32_t root_id = 0;

// System calls need a name for the working directory.
std::string io_name(const std::string &directory) {
  return directory.empty() ? "." : directory;
}

[[noreturn]] void format_error(const std::string &list) {
  fail_on_file(list, format_failure, 0);
}

// A document named with a ".." component would be read from outside the
// documents directory.
bool leaves_directory(const std::string &document) {
  for (std::string::size_type start = 0;; ) {
    std::string::size_type slash = document.find('/', start);
    if (document.compare(start, slash == std::string::npos ? std::string::npos : slash - start,
                         "..") == 0)
      return true;
    if (slash == std::string::npos) return false;
    start = slash + 1;
  }
}

std::string last_component(const std::string &path) {
  // "." is replaced by the working directory, whose path may be long.
  std::vector<char> buffer(path.size() + 4096);
  get_last_dir(buffer.data(), path.c_str(), static_cast<unsigned>(buffer.size()));
  return buffer.data();
}

// The root is named after the examples directory, so a data directory serves
// one examples directory only. Without an examples directory a stored class
// table is taken as it is: polling needs nothing but its classes.
void check_root(const std::string &examples) {
  if (examples.empty() && !class_table.empty()) return;
  std::string root = last_component(examples);
  if (class_table.empty()) {
    uint32_t id = class_table.enter_class(root, 0);
    mivo_assert(id == root_id);
    return;
  }
  if (class_table.get_name(root_id) != root) {
    error("Cannot profile \"%s\" with the same data as \"%s\"", root.c_str(),
          class_table.get_name(root_id).c_str());
    myabort(0);
  }
}

// A class is named up to its first ':' (a score may follow), without one
// leading '?'.
std::string clean_class(std::string name) {
  std::string::size_type colon = name.find(':');
  if (colon != std::string::npos) name.erase(colon);
  if (!name.empty() && name[0] == '?') name.erase(0, 1);
  return name;
}

void enter_document(const std::string &document, const std::string &class_name,
                    bool training) {
  uint32_t id = class_table.enter_on_full_name(clean_class(class_name), root_id);
  profile_document(document);
  if (training) {
    class_table.enter_train_example(id, document);
    log_formatted(3, "collected training document `%s'", document.c_str());
  } else {
    class_table.enter_test_example(id, document);
    log_formatted(3, "collected testing document `%s'", document.c_str());
  }
}

// The document of a line "name[.txt] class..." and the rest after the blank;
// false when the line has no blank.
bool split_document(const std::string &line, std::string &document, std::string &field) {
  unsigned size = static_cast<unsigned>(line.size() + 1);
  std::vector<char> first(size), rest(size), name(size);
  if (!split_string(line.c_str(), ' ', first.data(), rest.data(), size)) return false;
  strip_extension(name.data(), first.data(), document_extension, size);
  document = name.data();
  field = rest.data();
  return true;
}

// "name[.txt] class..." with blanks (not tabs) between the fields.
void collect_line(const std::string &line, const std::string &list, unsigned number,
                  bool training) {
  unsigned size = static_cast<unsigned>(line.size() + 1);
  std::vector<char> first(size), rest(size);
  std::string document, field;
  if (!split_document(line, document, field)) format_error(list);
  if (leaves_directory(document)) {
    error("document `%s' in line %u of `%s' lies outside the documents directory",
          document.c_str(), number, list.c_str());
    myabort(0);
  }
  if (!param.gen.multiclass()) {
    if (split_string(field.c_str(), ' ', first.data(), rest.data(), size))
      format_error(list);
    // The whole field is the class, blanks that end it included.
    enter_document(document, field, training);
    return;
  }
  for (bool more = true; more; field = rest.data()) {
    more = split_string(field.c_str(), ' ', first.data(), rest.data(), size);
    enter_document(document, first.data(), training);
  }
}

// Lines of any length; lists written on other systems end lines in "\r\n".
bool read_list_line(std::istream &is, std::string &line) {
  if (!std::getline(is, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

// The lines of the list; false when it does not exist.
bool read_list(const std::string &list, std::vector<std::string> &lines) {
  std::ifstream is(list);
  if (!is) {
    if (file_exists(list)) fail_on_file(list, open_for_reading, errno);
    return false;
  }
  for (std::string line; read_list_line(is, line);) lines.push_back(line);
  if (is.bad()) fail_on_file(list, read_failure, errno);
  return true;
}

void collect_list(const std::string &list, const std::vector<std::string> &lines, bool training,
                  std::unordered_set<std::string> &expected, Progress &progress) {
  // Every document is asked for before any is stored, so that the analysers
  // work ahead while this process parses and stores in list order. A line
  // that is wrong fails in its turn, after the lines before it are stored.
  std::string document, field;
  for (const std::string &line : lines)
    if (split_document(line, document, field) && expected.insert(document).second)
      expect_document(document);
  for (unsigned number = 0; number < lines.size(); ++number) {
    collect_line(lines[number], list, number + 1, training);
    progress.advance();
  }
}

}  // namespace

void collect_all_documents(const char *examples_name) {
  std::string examples = examples_name;
  std::string files = PathName(examples, "files").get();
  if (!is_directory(files)) fail_on_file(files, directory_not_found, errno);
  check_root(examples);
  if (!Directory(io_name(examples).c_str()))
    fail_on_file(io_name(examples), open_directory_failure, errno);
  std::string train = PathName(examples, "train").get(), test = PathName(examples, "test").get();
  std::vector<std::string> train_lines, test_lines;
  bool have_train = read_list(train, train_lines);
  bool have_test = read_list(test, test_lines);
  // Without an examples directory (polling) there are no lists to miss.
  if (!examples.empty() && !have_train && !have_test) {
    error("examples directory `%s' holds neither a `train' nor a `test' list", examples.c_str());
    myabort(0);
  }
  if (!examples.empty() && !have_train)
    warning("no training list `%s': nothing is trained", train.c_str());
  Progress progress("profiling", train_lines.size() + test_lines.size());
  std::unordered_set<std::string> expected;
  collect_list(train, train_lines, true, expected, progress);
  collect_list(test, test_lines, false, expected, progress);
  finish_profiling();
}
