#include "base/fileio.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

bool write_all(int fd, const void *data, size_t len, off_t offset) {
  const char *pos = static_cast<const char *>(data);
  while (len > 0) {
    ssize_t done = offset < 0 ? ::write(fd, pos, len) : pwrite(fd, pos, len, offset);
    if (done < 0 && errno == EINTR) continue;
    if (done < 0) return false;
    if (done == 0) {
      errno = ENOSPC;
      return false;
    }
    pos += done;
    if (offset >= 0) offset += done;
    len -= static_cast<size_t>(done);
  }
  return true;
}

bool sync_file(int fd) { return fsync(fd) == 0; }

bool sync_path(const std::string &path, bool directory) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | (directory ? O_DIRECTORY : 0));
  if (fd < 0) return false;
  bool synced = sync_file(fd) || (directory && errno == EINVAL);
  int number = errno;
  close(fd);
  errno = number;
  return synced;
}

int create_fresh(const std::string &path, mode_t mode) {
  if (unlink(path.c_str()) != 0 && errno != ENOENT) return -1;
  return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
}

namespace {

std::string directory_of(const std::string &path) {
  std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

void write_fresh_file(const std::string &temporary, const std::string &path,
                      const std::string &text, mode_t mode) {
  int fd = create_fresh(temporary, mode);
  if (fd < 0) fail_on_file(path, open_for_writing, errno);
  bool written = write_all(fd, text.data(), text.size()) && sync_file(fd);
  int number = errno;
  if (close(fd) != 0 && written) {
    written = false;
    number = errno;
  }
  if (!written) {
    unlink(temporary.c_str());
    fail_on_file(path, write_failure, number);
  }
}

void replace_file(const std::string &path, const std::string &text, mode_t mode,
                  const std::string &temporary_name) {
  std::string temporary = temporary_name.empty() ? path + ".tmp" : temporary_name;
  write_fresh_file(temporary, path, text, mode);
  if (rename(temporary.c_str(), path.c_str()) != 0) {
    int number = errno;
    unlink(temporary.c_str());
    fail_on_file(path, write_failure, number);
  }
  std::string directory = directory_of(path);
  if (!sync_path(directory, true)) fail_on_file(directory, write_failure, errno);
}

void fail_on_file(const std::string &path, FileErrors kind, int number) {
  report_file_error(path, kind);
  myabort(number);
}
