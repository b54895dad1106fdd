// Work over a range of independent items shared between the cores: the
// phases that score many documents against tables that no longer change
// hand each thread its own stretches of documents (or of classes).
#ifndef MIVO_BASE_PARALLEL_H
#define MIVO_BASE_PARALLEL_H

#include <cstddef>
#include <functional>

// How many threads run_in_parts uses: one per core, at most two (the
// scoring waits for memory, and two is what the machines have).
unsigned int worker_count();

// Calls work(worker, begin, end) for stretches of at most grain items that
// together cover [0, count) once, each in one of worker_count() threads
// (the caller's is worker 0), and returns when all are done. The threads
// take the stretches in rising order as they come free, so which worker
// gets which is not fixed: work must not depend on it but for scratch room
// of its own, indexed by worker. A grain of count / worker_count(), rounded
// up, gives each thread one stretch.
void run_in_parts(size_t count, size_t grain,
                  const std::function<void(unsigned int worker, size_t begin, size_t end)> &work);

#endif  // MIVO_BASE_PARALLEL_H
