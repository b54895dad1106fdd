#include "base/resources.h"

#include <sys/resource.h>
#include <sys/times.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/eventlog.h"

namespace {

// Baseline of the resource report: the moment of the previous report.
time_t previous_time = 0;
struct tms previous_times = {};

}  // namespace

void start_resource_clock() {
  previous_time = time(nullptr);
  times(&previous_times);
}

void get_memory_information(long pid, long *total, long *resident) {
  *total = -1;
  *resident = -1;
  char name[64];
  snprintf(name, sizeof name, "/proc/%ld/stat", pid);
  FILE *file = fopen(name, "r");
  if (file == nullptr) return;
  char line[4096];
  bool have_line = fgets(line, sizeof line, file) != nullptr;
  fclose(file);
  if (!have_line) return;
  // The command name in field 2 may hold blanks; counting resumes after its ')'.
  const char *p = strrchr(line, ')');
  if (p == nullptr) return;
  unsigned long vsize = 0;
  long rss_pages = 0;
  if (sscanf(p + 1,
             " %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s"
             " %*s %*s %*s %*s %lu %ld",
             &vsize, &rss_pages) == 2) {
    *total = static_cast<long>(vsize / 1024);
    *resident = rss_pages * 4;
  }
}

void report_resources() {
  long total, resident;
  get_memory_information(static_cast<long>(getpid()), &total, &resident);
  char memory_text[128];
  // The figures above are of this moment; what sizes a machine is the most
  // the process has held in RAM so far.
  struct rusage usage;
  long peak = getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : -1;
  snprintf(memory_text, sizeof memory_text,
           "memory: %ldMB total, %ldMB in RAM, resident peak %ld MB", total / 1024,
           resident / 1024, peak < 0 ? -1 : peak / 1024);

  time_t now = time(nullptr);
  struct tms now_times;
  times(&now_times);
  unsigned long ticks = static_cast<unsigned long>(sysconf(_SC_CLK_TCK));
  if (ticks == 0) ticks = 100;
  char time_text[128];
  snprintf(time_text, sizeof time_text, "time: real:%lu, user:%lu, system:%lu",
           static_cast<unsigned long>(now - previous_time),
           static_cast<unsigned long>(now_times.tms_utime - previous_times.tms_utime) / ticks,
           static_cast<unsigned long>(now_times.tms_stime - previous_times.tms_stime) / ticks);
  log_formatted_results(2, "%s   %s", memory_text, time_text);
  previous_time = now;
  previous_times = now_times;
}
