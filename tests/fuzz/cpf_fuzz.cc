// The readers of a class-profile file and of its weights file, under the
// training algorithm picked by the first byte; the rest is the profile file,
// then, after a NUL byte, the weights file. Damage is refused; what was read
// writes back and reads again the same.
#include "model/classprof.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  AlgorithmType algorithm = static_cast<AlgorithmType>(data[0] % 3);
  std::string rest = as_string(data + 1, size - 1);
  std::string::size_type nul = rest.find('\0');
  ClassProfile profile, copy;
  uint64_t sum_freq = 0, copy_sum = 0;
  if (!reads(rest.substr(0, nul),
             [&](std::istream &is) { return profile.read(is, &sum_freq, algorithm); }))
    return 0;
  expect_round_trip([&](std::ostream &os) { return profile.write(os, sum_freq, algorithm); },
                    [&](std::istream &is) { return copy.read(is, &copy_sum, algorithm); },
                    [&](std::ostream &os) { return copy.write(os, copy_sum, algorithm); },
                    "profile round trip");
  if (nul == std::string::npos ||
      !reads(rest.substr(nul + 1), [&](std::istream &is) { return profile.read_weights(is); }))
    return 0;
  expect_round_trip([&](std::ostream &os) { return profile.write_weights(os); },
                    [&](std::istream &is) { return copy.read_weights(is); },
                    [&](std::ostream &os) { return copy.write_weights(os); }, "weights round trip");
  return 0;
}
