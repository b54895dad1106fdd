// Every fsync and rename of the test program comes here: each is recorded in
// seam_calls as "fsync <name>" or "rename <new name>" (the path's last
// component), and the next failing_fsyncs fsyncs fail with ENOSPC, as on a
// full disk. The others go on to the system.
#ifndef MIVO_TESTS_FSYNC_SEAM_H
#define MIVO_TESTS_FSYNC_SEAM_H

#include <fcntl.h>
#include <stdio.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

inline int failing_fsyncs = 0;
inline std::vector<std::string> seam_calls;

inline std::string last_component(const std::string &path) {
  return path.substr(path.rfind('/') + 1);
}

extern "C" int fsync(int fd) {
  char path[4096];
  ssize_t length = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path);
  seam_calls.push_back("fsync " + last_component(std::string(path, length > 0 ? length : 0)));
  if (failing_fsyncs > 0) {
    --failing_fsyncs;
    errno = ENOSPC;
    return -1;
  }
  return static_cast<int>(syscall(SYS_fsync, fd));
}

extern "C" int rename(const char *from, const char *to) noexcept {
  seam_calls.push_back("rename " + last_component(to));
  return static_cast<int>(syscall(SYS_renameat, AT_FDCWD, from, AT_FDCWD, to));
}

#endif  // MIVO_TESTS_FSYNC_SEAM_H
