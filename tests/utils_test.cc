#include "base/utils.h"

#include <gtest/gtest.h>

#include "base/memory.h"

namespace {

// What fill leaves in a buffer of size bytes, which must not write past it.
std::string in_buffer(unsigned int size, const std::function<void(char *)> &fill) {
  std::string buffer(size + 1, '#');
  fill(&buffer[0]);
  EXPECT_EQ('#', buffer[size]) << "written past the buffer";
  return buffer.c_str();
}

TEST(Utils, CopiesFitTheirBuffers) {
  char rest[4];
  const struct { std::string got, want; } cases[] = {
      {in_buffer(8, [](char *b) { strip_extension(b, "doc.txt", ".txt", 8); }), "doc"},
      {in_buffer(8, [](char *b) { strip_extension(b, ".txt", ".txt", 8); }), ".txt"},
      {in_buffer(8, [](char *b) { strip_extension(b, "a-rather-long.txt", ".txt", 8); }), "a-rathe"},
      {in_buffer(4, [](char *b) { get_last_dir(b, "x/abcdef", 4); }), "abc"},
      {in_buffer(8, [](char *b) { get_last_dir(b, "a/b/", 8); }), "b/"},
      {in_buffer(4, [&](char *b) { split_string("abcdef ghijkl", ' ', b, rest, 4); }), "abc"},
      {rest, "ghi"},
      // An escape pair is copied whole or not at all.
      {in_buffer(4, [](char *b) { unquote_copy(b, "\"ab\\\"c\"", 4); }), "ab"},
      {in_buffer(8, [](char *b) { unquote_copy(b, "\"a\\\"b\" rest", 8); }), "a\\\"b"},
      {PathName("", ".rc", ".rc").get(), ".rc.rc"},  // a bare extension is no extension
      {PathName("", "x.rc", ".rc").get(), "x.rc"}};
  for (const auto &c : cases) EXPECT_EQ(c.want, c.got);
  EXPECT_FALSE(has_extension(".txt", ".txt") || has_extension("a.txt.gz", ".txt"));
  EXPECT_TRUE(split_string("doc  c1 c2", ' ', rest, rest, 4));
  EXPECT_FALSE(split_string("doc   ", ' ', rest, rest, 4));
}

TEST(Utils, QuotedStringsFitOrFail) {
  const struct { const char *input; bool read; } cases[] = {
      {"   \"a\\\"b\" tail", true}, {"\"ab\ncd\"", false}, {"\"abc", false},
      {"\"1234567\"", true}, {"\"12345678\"", false}, {"abc", false}};
  for (const auto &c : cases) {
    char buf[8] = "";
    std::istringstream is(c.input);
    EXPECT_EQ(c.read, read_string(buf, sizeof buf, is)) << c.input;
    EXPECT_LT(strlen(buf), sizeof buf);
  }
}

TEST(Utils, UnmakeableDirectoryEndsTheRun) {
  EXPECT_EXIT(check_directory_exists("no-such-parent/child"),
              testing::ExitedWithCode(ENOENT),
              "ERROR: could not create directory `no-such-parent/child'");
}

// Blocks of odd sizes, one larger than a page, filled one after another:
// none overlaps another, and each is aligned to four bytes.
TEST(Memory, BlocksNeverOverlap) {
  Memory pool;
  const unsigned int sizes[] = {1, 5, 3, 0, 70000, 4, 65000, 600};
  std::vector<unsigned char *> blocks;
  for (unsigned int size : sizes) {
    blocks.push_back(static_cast<unsigned char *>(pool.alloc(size)));
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(blocks.back()) % 4);
    memset(blocks.back(), static_cast<int>(blocks.size()), size);
  }
  for (size_t i = 0; i < blocks.size(); ++i)
    for (unsigned int byte = 0; byte < sizes[i]; ++byte)
      ASSERT_EQ(i + 1, blocks[i][byte]) << "block " << i << " byte " << byte;
}

}  // namespace
