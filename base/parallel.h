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

// Calls work(worker, begin, end) for stretches of items that together cover
// [0, count) once, each in one of worker_count() threads (the caller's is
// worker 0), and returns when all are done. A worker gets stretches in
// rising order, but which worker gets which is not fixed: work must not
// depend on it but for scratch room of its own, indexed by worker.
void run_in_parts(size_t count,
                  const std::function<void(unsigned int worker, size_t begin, size_t end)> &work);

#endif  // MIVO_BASE_PARALLEL_H
