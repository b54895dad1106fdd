// The class-profile reader under each training algorithm (picked by the first
// byte): damage is refused; a profile that was read writes back and reads
// again the same.
#include "model/classprof.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  AlgorithmType algorithm = static_cast<AlgorithmType>(data[0] % 3);
  ClassProfile profile, copy;
  uint64_t sum_freq = 0, copy_sum = 0;
  if (!reads(as_string(data + 1, size - 1),
             [&](std::istream &is) { return profile.read(is, &sum_freq, algorithm); }))
    return 0;
  std::ostringstream first, second;
  expect(profile.write(first, sum_freq, algorithm), "a read profile writes");
  expect(reads(first.str(), [&](std::istream &is) { return copy.read(is, &copy_sum, algorithm); }),
         "a written profile reads");
  expect(copy.write(second, copy_sum, algorithm) && first.str() == second.str(), "profile round trip");
  return 0;
}
