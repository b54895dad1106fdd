#include "base/utils.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "base/eventlog.h"
#include "base/memory.h"

PathName::PathName(const std::string &dir, const std::string &name,
                   const std::string &ext) {
  joined = dir;
  if (!name.empty()) {
    if (!dir.empty()) joined += "/";
    joined += name;
    if (!ext.empty() && !has_extension(name.c_str(), ext.c_str())) joined += ext;
  }
}

Directory::Directory(const char *name) : stream(opendir(name)) {}

Directory::~Directory() {
  if (stream != nullptr) closedir(stream);
}

const char *Directory::get_next_entry() {
  if (stream == nullptr) return nullptr;
  struct dirent *entry = readdir(stream);
  return entry != nullptr ? entry->d_name : nullptr;
}

bool file_exists(const char *path) {
  struct stat st;
  return stat(path, &st) == 0;
}

bool file_exists(const std::string &path) { return file_exists(path.c_str()); }

bool is_directory(const char *path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool is_directory(const std::string &path) { return is_directory(path.c_str()); }

bool exists_but_not_directory(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

int create_directory(const char *path, unsigned long mode) {
  return mkdir(path, static_cast<mode_t>(mode));
}

int create_directory(const std::string &path, unsigned long mode) {
  return create_directory(path.c_str(), mode);
}

void check_directory_exists(const std::string &path) {
  if (is_directory(path)) return;
  if (create_directory(path, 0770) != 0) {
    report_file_error(path, create_directory_failure);
    myabort(errno);
  }
}

void open_output_file(std::ofstream &ofs, const char *path) {
  // Streams create files 0666 under the umask; adding the world-write bit to
  // the umask gives what open(path, 0664) would.
  mode_t old_mask = umask(0);
  umask(old_mask | 0002);
  ofs.open(path, std::ios::out | std::ios::trunc);
  umask(old_mask);
}

int delete_file(const char *path) { return unlink(path); }

int rename_file(const char *from, const char *to) { return rename(from, to); }

unsigned long get_file_size(const char *path) {
  struct stat st;
  if (stat(path, &st) != 0) return 0;
  return static_cast<unsigned long>(st.st_size);
}

bool has_extension(const char *name, const char *ext) {
  size_t name_length = strlen(name);
  size_t ext_length = strlen(ext);
  return name_length > ext_length &&
         strcmp(name + name_length - ext_length, ext) == 0;
}

void strip_extension(char *dest, const char *src, const char *ext,
                     unsigned int size) {
  if (size == 0) return;
  size_t length = strlen(src);
  if (has_extension(src, ext)) length -= strlen(ext);
  if (length > size - 1) length = size - 1;
  memcpy(dest, src, length);
  dest[length] = '\0';
}

void get_last_dir(char *dest, const char *path, unsigned int size) {
  if (size == 0) return;
  char cwd[1025];
  if (strcmp(path, ".") == 0) {
    if (getcwd(cwd, sizeof cwd) == nullptr) cwd[0] = '\0';
    path = cwd;
  }
  // The last "/" that still has something after it starts the component.
  const char *start = path;
  for (const char *p = path; *p != '\0'; ++p)
    if (*p == '/' && p[1] != '\0') start = p + 1;
  safe_copy(dest, start, size - 1);
}

bool split_string(const char *src, char sep, char *first, char *rest,
                  unsigned int size) {
  if (size == 0) return false;
  const char *p = src;
  while (*p != '\0' && *p != sep) ++p;
  size_t length = static_cast<size_t>(p - src);
  if (length > size - 1) length = size - 1;
  memcpy(first, src, length);
  first[length] = '\0';
  while (*p != '\0' && *p == sep) ++p;
  safe_copy(rest, p, size - 1);
  return *p != '\0';
}

char *safe_copy(char *dest, const char *src, unsigned int n) {
  unsigned int i = 0;
  for (; i < n && src[i] != '\0'; ++i) dest[i] = src[i];
  dest[i] = '\0';
  return dest;
}

char *unquote_copy(char *dest, const char *src, unsigned int n) {
  if (n == 0) return dest;
  unsigned int stored = 0;
  if (*src == '"') ++src;
  while (*src != '\0' && *src != '"' && stored + 1 < n) {
    if (*src == '\\') {
      // An escape pair is copied whole or not at all.
      if (src[1] == '\0' || stored + 2 >= n) break;
      dest[stored++] = *src++;
    }
    dest[stored++] = *src++;
  }
  dest[stored] = '\0';
  return dest;
}

char *down_case(char *s) {
  for (char *p = s; *p != '\0'; ++p)
    if (*p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p - 'A' + 'a');
  return s;
}

char *string_copy(const char *s) {
  size_t length = strlen(s);
  char *copy = static_cast<char *>(memory.alloc(length + 1));
  memcpy(copy, s, length + 1);
  return copy;
}

char *new_string(const char *s) {
  size_t length = strlen(s);
  char *copy = new char[length + 1];
  memcpy(copy, s, length + 1);
  return copy;
}

bool read_char(int c, std::istream &is) {
  is >> std::ws;
  if (is.peek() != c) return false;
  is.get();
  return true;
}

bool read_string(char *buf, unsigned int size, std::istream &is) {
  if (size == 0 || !read_char('"', is)) return false;
  unsigned int stored = 0;
  for (;;) {
    int c = is.get();
    if (c == '"') {
      buf[stored] = '\0';
      return true;
    }
    if (c == EOF || c == '\0' || c == '\n') break;
    if (c == '\\') {
      int next = is.get();
      if (next == EOF || next == '\0' || stored + 2 > size - 1) break;
      buf[stored++] = static_cast<char>(c);
      buf[stored++] = static_cast<char>(next);
      continue;
    }
    if (stored + 1 > size - 1) break;
    buf[stored++] = static_cast<char>(c);
  }
  buf[stored] = '\0';
  return false;
}

namespace {
unsigned int output_counter = 0;
}

void set_output_name(char *buf, unsigned int size) {
  snprintf(buf, size, "rank%u", output_counter++);
}
