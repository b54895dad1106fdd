// For tests that play a full disk: every fsync of the test program comes
// here, and the next failing_fsyncs of them fail with ENOSPC.
#ifndef MIVO_TESTS_FSYNC_SEAM_H
#define MIVO_TESTS_FSYNC_SEAM_H

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

inline int failing_fsyncs = 0;

extern "C" int fsync(int fd) {
  if (failing_fsyncs > 0) {
    --failing_fsyncs;
    errno = ENOSPC;
    return -1;
  }
  return static_cast<int>(syscall(SYS_fsync, fd));
}

#endif  // MIVO_TESTS_FSYNC_SEAM_H
