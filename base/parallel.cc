#include "base/parallel.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

unsigned int worker_count() {
  unsigned int cores = std::thread::hardware_concurrency();
  return std::max(1u, std::min(2u, cores));
}

// Taken from a shared counter rather than split in halves up front:
// documents differ in length, and a thread that drew the short ones would
// otherwise wait for the other.
void run_in_parts(size_t count, size_t grain,
                  const std::function<void(unsigned int worker, size_t begin, size_t end)> &work) {
  unsigned int workers = worker_count();
  grain = std::max<size_t>(1, grain);
  if (workers == 1 || count <= grain) {
    if (count != 0) work(0, 0, count);
    return;
  }
  std::atomic<size_t> next{0};
  auto run = [&](unsigned int worker) {
    for (;;) {
      size_t begin = next.fetch_add(grain, std::memory_order_relaxed);
      if (begin >= count) return;
      work(worker, begin, std::min(count, begin + grain));
    }
  };
  std::vector<std::thread> threads;
  for (unsigned int worker = 1; worker < workers; ++worker) threads.emplace_back(run, worker);
  run(0);
  for (std::thread &thread : threads) thread.join();
}
