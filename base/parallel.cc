#include "base/parallel.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

// Items handed out at a time: small enough that neither thread waits long
// for the other at the end of a range, large enough that the shared
// counter is seldom touched.
const size_t grain = 16;

}  // namespace

unsigned int worker_count() {
  unsigned int cores = std::thread::hardware_concurrency();
  return std::max(1u, std::min(2u, cores));
}

// Stretches are taken from a shared counter rather than split in halves up
// front: documents differ in length, and a thread that drew the short ones
// would otherwise idle.
void run_in_parts(size_t count,
                  const std::function<void(unsigned int worker, size_t begin, size_t end)> &work) {
  unsigned int workers = worker_count();
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
