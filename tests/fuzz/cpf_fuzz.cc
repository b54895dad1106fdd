// The readers of a class-profile file and of its weights file, under the
// training algorithm picked by the first byte; the rest is the profile file,
// then, after a NUL byte, the weights file. Damage is refused; what was read
// writes back and reads again the same.
#include "model/classprof.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool read_profile(const std::string &text, AlgorithmType algorithm, ClassProfile &profile,
                  uint64_t &sum_freq) {
  return reads(text, [&](std::istream &is) { return profile.read(is, &sum_freq, algorithm); });
}

bool read_weights(const std::string &text, ClassProfile &profile) {
  return reads(text, [&](std::istream &is) { return profile.read_weights(is); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  AlgorithmType algorithm = static_cast<AlgorithmType>(data[0] % 3);
  std::string rest = as_string(data + 1, size - 1);
  std::string::size_type nul = rest.find('\0');
  std::string profile_text = rest.substr(0, nul);
  ClassProfile profile, copy;
  uint64_t sum_freq = 0, copy_sum = 0;
  if (!read_profile(profile_text, algorithm, profile, sum_freq)) return 0;
  std::ostringstream first, second;
  expect(profile.write(first, sum_freq, algorithm), "a read profile writes");
  expect(read_profile(first.str(), algorithm, copy, copy_sum), "a written profile reads");
  expect(copy.write(second, copy_sum, algorithm) && first.str() == second.str(),
         "profile round trip");
  if (nul == std::string::npos || !read_weights(rest.substr(nul + 1), profile)) return 0;
  std::ostringstream weights, again;
  expect(profile.write_weights(weights), "read weights write");
  expect(read_weights(weights.str(), copy), "written weights read");
  expect(copy.write_weights(again) && weights.str() == again.str(), "weights round trip");
  return 0;
}
