// File output that must not fail in silence: writing a whole buffer, making
// it durable, and replacing a file by rename so that a crash leaves the old
// version or the new one. Every write of a data or result file goes here.
#ifndef MIVO_BASE_FILEIO_H
#define MIVO_BASE_FILEIO_H

#include <sys/types.h>

#include <string>

#include "base/eventlog.h"

// Writes all len bytes, completing short counts; at offset with pwrite when
// offset is not negative. False on failure with errno set (ENOSPC when the
// system wrote nothing).
bool write_all(int fd, const void *data, size_t len, off_t offset = -1);
// fsync; false with errno set on failure.
bool sync_file(int fd);
// fsync of a file or directory by name. Some file systems cannot flush a
// directory (EINVAL); that counts as done.
bool sync_path(const std::string &path, bool directory);
// Creates path for writing, never through a link or file left at that name:
// a stale one is removed first. The descriptor, or -1 with errno set.
int create_fresh(const std::string &path, mode_t mode);
// Writes text durably to temporary, a file created afresh; on failure
// removes it, reports the error naming path (the file it stands for) and
// ends the run.
void write_fresh_file(const std::string &temporary, const std::string &path,
                      const std::string &text, mode_t mode);
// Puts text in place of path: written to path + ".tmp", made durable, renamed
// over path, and the directory synced. On failure the temporary file is
// removed, the error reported naming path, and the run ends.
// The temporary file is the one named, when one is.
void replace_file(const std::string &path, const std::string &text, mode_t mode,
                  const std::string &temporary_name = std::string());

// Reports the fixed message of kind for path and ends the run with number
// (an errno, or 0 for a failure that is no system error).
[[noreturn]] void fail_on_file(const std::string &path, FileErrors kind, int number);

#endif  // MIVO_BASE_FILEIO_H
