// The class-profile reader under each training algorithm (picked by the first
// byte): damage is refused; a profile that was read writes back and reads
// again the same. Terms are written in hash order, so lines are compared as
// sorted lists.
#include <algorithm>
#include <sstream>
#include <vector>

#include "base/param.h"
#include "model/classprof.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

std::vector<std::string> sorted_lines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream is(text);
  for (std::string line; std::getline(is, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  param.gen.set_algorithm(static_cast<AlgorithmType>(data[0] % 3));
  std::istringstream is(as_string(data + 1, size - 1));
  ClassProfile profile;
  uint64_t sum_freq = 0;
  bool read = false;
  survives([&] { read = profile.read(is, &sum_freq); });
  if (!read) return 0;
  std::ostringstream first, second;
  expect(profile.write(first, sum_freq), "a read profile writes");
  std::istringstream again(first.str());
  ClassProfile copy;
  uint64_t copy_sum = 0;
  expect(copy.read(again, &copy_sum), "a written profile reads");
  expect(copy.write(second, copy_sum) && sorted_lines(first.str()) == sorted_lines(second.str()),
         "profile round trip");
  return 0;
}
