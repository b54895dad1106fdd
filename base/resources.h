// The resource report written between the phases of a run: memory in use and
// the real, user and system seconds since the previous report.
#ifndef MIVO_BASE_RESOURCES_H
#define MIVO_BASE_RESOURCES_H

// Sets the baseline of the next report to now.
void start_resource_clock();
// Logs memory and the time used since the previous report (or the clock's
// start), then makes now the baseline.
void report_resources();
// Total (virtual) and resident size of process pid in kilobytes; -1 each when
// they cannot be read.
void get_memory_information(long pid, long *total, long *resident);

#endif  // MIVO_BASE_RESOURCES_H
