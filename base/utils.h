// Small helpers for paths, files, directories and C strings, and the numbering
// of result files. None of them reports anything except check_directory_exists.
#ifndef MIVO_BASE_UTILS_H
#define MIVO_BASE_UTILS_H

#include <dirent.h>

#include <fstream>
#include <istream>
#include <string>

// A path joined from a directory, a name and an extension.
class PathName {
 public:
  // Joins "dir/name" + ext; the "/" only when both are given, the extension only
  // when there is a name that does not already end in it.
  PathName(const std::string &dir, const std::string &name,
           const std::string &ext = "");
  const char *path() const { return joined.c_str(); }
  std::string get() const { return joined; }

 private:
  std::string joined;
};

// The entries of one directory, "." and ".." included.
class Directory {
 public:
  explicit Directory(const char *name);
  ~Directory();
  Directory(const Directory &) = delete;
  Directory &operator=(const Directory &) = delete;

  // True when the directory could not be opened.
  bool operator!() const { return stream == nullptr; }
  // The next entry's name, valid until the next call; null at the end.
  const char *get_next_entry();

 private:
  DIR *stream;
};

bool file_exists(const char *path);
bool file_exists(const std::string &path);
bool is_directory(const char *path);
bool is_directory(const std::string &path);
// One look at the file system: the path names something other than a directory.
bool exists_but_not_directory(const std::string &path);
// mkdir with the given permission bits; 0 on success.
int create_directory(const char *path, unsigned long mode);
int create_directory(const std::string &path, unsigned long mode);
// Makes the directory (0770) unless it exists; ends the run when that fails.
void check_directory_exists(const std::string &path);
int delete_file(const char *path);
int rename_file(const char *from, const char *to);
// Opens ofs for writing (created or truncated) as if with permission bits 0664.
void open_output_file(std::ofstream &ofs, const char *path);
// Size in bytes; check file_exists first, the result is undefined otherwise.
unsigned long get_file_size(const char *path);

// True when name is longer than ext and ends with it.
bool has_extension(const char *name, const char *ext);
// Copies src into dest (of size bytes) without the extension ext, if it has it.
void strip_extension(char *dest, const char *src, const char *ext,
                     unsigned int size);
// Copies the last component of path into dest (of size bytes); "." stands for
// the working directory. A trailing "/" stays with the last component.
void get_last_dir(char *dest, const char *path, unsigned int size);
// Splits src at the first run of sep into first and rest (each of size bytes);
// true when something follows the separators.
bool split_string(const char *src, char sep, char *first, char *rest,
                  unsigned int size);
// Copies at most n characters and terminates dest at position n or earlier.
char *safe_copy(char *dest, const char *src, unsigned int n);
// Copies a double-quoted text without its quotes, at most n - 1 characters;
// backslash pairs are kept as they are.
char *unquote_copy(char *dest, const char *src, unsigned int n);
// Lower-cases ASCII letters in place.
char *down_case(char *s);
// A copy that lives until the process ends (from the page allocator).
char *string_copy(const char *s);
// A copy the caller releases with delete[].
char *new_string(const char *s);

// Skips white space and consumes c when it comes next.
bool read_char(int c, std::istream &is);
// Reads a double-quoted string into buf (of size bytes); false when the string
// is missing, ends early or does not fit.
bool read_string(char *buf, unsigned int size, std::istream &is);

// Writes "rank" and the next number of a process-wide counter into buf.
void set_output_name(char *buf, unsigned int size);

#endif  // MIVO_BASE_UTILS_H
