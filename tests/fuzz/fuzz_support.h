// Shared by the fuzz targets. A reader that finds damage ends the run through
// myabort; the fuzz build links myabort to run_ended instead, which throws, so
// that one process can try input after input. Any other way out of a target
// (a crash, an assertion, a sanitizer report) is a fault.
#ifndef MIVO_TESTS_FUZZ_FUZZ_SUPPORT_H
#define MIVO_TESTS_FUZZ_FUZZ_SUPPORT_H

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

struct RunEnded {};

// What calls of myabort reach once the linker wraps it (-Wl,--wrap=_Z7myaborti).
// Each target is one file, so this definition is made once per program.
extern "C" [[noreturn]] void __wrap__Z7myaborti(int) { throw RunEnded(); }

// Stops the target at once: a fault that the sanitizers do not see.
inline void expect(bool condition, const char *what) {
  if (!condition) {
    fprintf(stderr, "fuzz check failed: %s\n", what);
    abort();
  }
}

// Runs the reader; true when it returned, false when it ended the run.
template <typename Reader>
bool survives(Reader reader) {
  try {
    reader();
    return true;
  } catch (const RunEnded &) {
    return false;
  }
}

// True when read, given a stream over text, returned true without ending the run.
template <typename Read>
bool reads(const std::string &text, Read read) {
  std::istringstream is(text);
  bool result = false;
  return survives([&] { result = read(is); }) && result;
}

// For a reader that took its input: what it read writes, reads back through
// read_back and writes again as the same text.
template <typename Write, typename Read, typename WriteAgain>
void expect_round_trip(Write write, Read read_back, WriteAgain write_again, const char *what) {
  std::ostringstream first, second;
  expect(write(first) && reads(first.str(), read_back) && write_again(second) &&
             first.str() == second.str(),
         what);
}

// The path of name in a fresh directory of this process's own (under TMPDIR),
// so that the files a target writes never meet another's or the user's. The
// working directory stays: libFuzzer's corpus paths are relative to it.
inline std::string scratch(const std::string &name) {
  static std::string directory;
  if (directory.empty()) {
    directory = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : P_tmpdir) + "/mivo-fuzz-XXXXXX";
    if (mkdtemp(&directory[0]) == nullptr) abort();
  }
  return directory + "/" + name;
}

inline std::string as_string(const uint8_t *data, size_t size) {
  return std::string(reinterpret_cast<const char *>(data), size);
}

inline void write_bytes(const std::string &path, const uint8_t *data, size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << as_string(data, size);
}

#endif  // MIVO_TESTS_FUZZ_FUZZ_SUPPORT_H
