#include "base/utils.h"

#include <gtest/gtest.h>

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

}  // namespace
