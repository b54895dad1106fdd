// The weights-file reader: the input is a class-profile file and a weights
// file, split at the first NUL byte, under the algorithm picked by the first
// byte. Damage is refused; weights that were read write back and read again
// the same.
#include "model/classprof.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool read_both(const std::string &profile_text, const std::string &weights,
               AlgorithmType algorithm, ClassProfile &profile) {
  uint64_t sum_freq = 0;
  return reads(profile_text, [&](std::istream &is) { return profile.read(is, &sum_freq, algorithm); }) &&
         reads(weights, [&](std::istream &is) { return profile.read_weights(is); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  AlgorithmType algorithm = static_cast<AlgorithmType>(data[0] % 3);
  std::string rest = as_string(data + 1, size - 1);
  std::string::size_type nul = rest.find('\0');
  if (nul == std::string::npos) return 0;
  std::string profile_text = rest.substr(0, nul);
  ClassProfile profile, copy;
  if (!read_both(profile_text, rest.substr(nul + 1), algorithm, profile)) return 0;
  std::ostringstream first, second;
  expect(profile.write_weights(first), "read weights write");
  expect(read_both(profile_text, first.str(), algorithm, copy), "written weights read");
  expect(copy.write_weights(second) && first.str() == second.str(), "weights round trip");
  return 0;
}
