#include "base/utils.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace {

TEST(PathName, JoinsOnlyTheGivenParts) {
  EXPECT_EQ(PathName("", "foo", ".rc").get(), "foo.rc");
  EXPECT_EQ(PathName("", "foo.rc", ".rc").get(), "foo.rc");
  EXPECT_EQ(PathName("data", "", "").get(), "data");
  EXPECT_EQ(PathName("", "", ".rc").get(), "");
  EXPECT_EQ(PathName("a", "b").get(), "a/b");
  EXPECT_EQ(PathName("data", "", ".dat").get(), "data");
  // A name that only equals the extension has none, so it gets one.
  EXPECT_EQ(PathName("", ".rc", ".rc").get(), ".rc.rc");
  EXPECT_STREQ(PathName("x", "y", ".z").path(), "x/y.z");
}

TEST(Extensions, NameEqualToExtensionHasNone) {
  EXPECT_TRUE(has_extension("doc.txt", ".txt"));
  EXPECT_FALSE(has_extension(".txt", ".txt"));
  EXPECT_FALSE(has_extension("txt", ".txt"));
  EXPECT_FALSE(has_extension("doc.txt.gz", ".txt"));

  char out[16];
  strip_extension(out, "doc.txt", ".txt", sizeof out);
  EXPECT_STREQ(out, "doc");
  strip_extension(out, ".txt", ".txt", sizeof out);
  EXPECT_STREQ(out, ".txt");
  strip_extension(out, "a-rather-long-name.txt", ".txt", 8);
  EXPECT_STREQ(out, "a-rathe");
}

TEST(LastDir, TakesTheComponentAfterTheLastInnerSlash) {
  const char *cases[][2] = {{"a/b", "b"}, {"a/b/", "b/"}, {"abc", "abc"}, {"/", "/"}, {"", ""}};
  char out[1100];
  for (const auto &c : cases) {
    get_last_dir(out, c[0], sizeof out);
    EXPECT_STREQ(out, c[1]) << c[0];
  }
  char cwd[1100];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  get_last_dir(out, ".", sizeof out);
  EXPECT_STREQ(out, strrchr(cwd, '/') + 1);

  char small[4];
  get_last_dir(small, "x/abcdef", sizeof small);
  EXPECT_STREQ(small, "abc");
}

TEST(SplitString, SplitsAtTheFirstRunOfSeparators) {
  struct { const char *src; size_t size; bool split; const char *first, *rest; } cases[] = {
      {"doc.txt  c1 c2", 32, true, "doc.txt", "c1 c2"},
      {"doc.txt", 32, false, "doc.txt", ""},
      {"", 32, false, "", ""},
      {"doc   ", 32, false, "doc", ""},       // trailing separators alone
      {"doc\tc1", 32, false, "doc\tc1", ""},  // a tab is no blank
      {"abcdef ghijkl", 4, true, "abc", "ghi"}};
  for (const auto &c : cases) {
    std::string first(c.size, 'x'), rest(c.size, 'x');
    EXPECT_EQ(c.split, split_string(c.src, ' ', &first[0], &rest[0], c.size)) << c.src;
    EXPECT_STREQ(first.c_str(), c.first) << c.src;
    EXPECT_STREQ(rest.c_str(), c.rest) << c.src;
  }
}

TEST(Copies, NeverWritePastTheLimit) {
  char out[8];
  memset(out, 'x', sizeof out);
  safe_copy(out, "abcdefghij", 5);
  EXPECT_STREQ(out, "abcde");
  EXPECT_EQ(out[6], 'x');

  char quoted[16];
  EXPECT_STREQ(unquote_copy(quoted, "\"hello\" rest", sizeof quoted), "hello");
  EXPECT_STREQ(unquote_copy(quoted, "\"a\\\"b\"", sizeof quoted), "a\\\"b");
  EXPECT_STREQ(unquote_copy(quoted, "\"ab\\", sizeof quoted), "ab");
  EXPECT_STREQ(unquote_copy(quoted, "plain", sizeof quoted), "plain");
  EXPECT_STREQ(unquote_copy(quoted, "\"abcdef\"", 4), "abc");
  // An escape pair that does not fit whole is left out.
  EXPECT_STREQ(unquote_copy(quoted, "\"ab\\\"c\"", 4), "ab");

  char lower[] = "MiXeD 1\xC4";
  EXPECT_STREQ(down_case(lower), "mixed 1\xC4");
}

TEST(ReadString, StopsAtQuoteNewlineOrSize) {
  struct { const char *input; bool read; const char *text; } cases[] = {
      {"   \"a\\\"b\" tail", true, "a\\\"b"},
      {"\"ab\ncd\"", false, nullptr},
      {"\"abc", false, nullptr},
      {"\"1234567\"", true, "1234567"},
      {"\"12345678\"", false, nullptr}};
  char buf[8];
  for (const auto &c : cases) {
    buf[0] = '\0';
    std::istringstream is(c.input);
    EXPECT_EQ(c.read, read_string(buf, sizeof buf, is)) << c.input;
    if (c.read) EXPECT_STREQ(buf, c.text);
    else EXPECT_LT(strlen(buf), sizeof buf) << c.input;
  }
  std::istringstream no_quote("abc");
  EXPECT_FALSE(read_string(buf, sizeof buf, no_quote));
  EXPECT_EQ(no_quote.peek(), 'a');

  std::istringstream chars("  x y");
  EXPECT_TRUE(read_char('x', chars));
  EXPECT_FALSE(read_char('z', chars));
  EXPECT_TRUE(read_char('y', chars));
}

TEST(OutputName, NumbersAreSharedAndIncreasing) {
  char name[16];
  set_output_name(name, sizeof name);
  EXPECT_STREQ(name, "rank0");
  set_output_name(name, sizeof name);
  EXPECT_STREQ(name, "rank1");
  char tiny[4];
  set_output_name(tiny, sizeof tiny);
  EXPECT_STREQ(tiny, "ran");
  set_output_name(name, sizeof name);
  EXPECT_STREQ(name, "rank3");
}

TEST(Files, DirectoriesAndRenames) {
  const std::string dir = "utils_files";
  system(("rm -rf " + dir).c_str());
  EXPECT_FALSE(is_directory(dir));
  check_directory_exists(dir);
  EXPECT_TRUE(is_directory(dir));
  struct stat st;
  ASSERT_EQ(stat(dir.c_str(), &st), 0);
  mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(st.st_mode & 0777, 0770 & ~mask);

  std::string file = PathName(dir, "f", ".tmp").get();
  std::ofstream out;
  open_output_file(out, file.c_str());
  out << "12345";
  out.close();
  EXPECT_TRUE(file_exists(file));
  EXPECT_FALSE(is_directory(file));
  EXPECT_EQ(get_file_size(file.c_str()), 5u);
  std::string renamed = PathName(dir, "f", ".dat").get();
  EXPECT_EQ(rename_file(file.c_str(), renamed.c_str()), 0);
  EXPECT_FALSE(file_exists(file));

  Directory listing(dir.c_str());
  ASSERT_FALSE(!listing);
  int entries = 0;
  bool found = false;
  while (const char *entry = listing.get_next_entry()) {
    ++entries;
    found = found || strcmp(entry, "f.dat") == 0;
  }
  EXPECT_EQ(entries, 3);  // ".", ".." and f.dat
  EXPECT_TRUE(found);

  EXPECT_EQ(delete_file(renamed.c_str()), 0);
  EXPECT_NE(delete_file(renamed.c_str()), 0);
  Directory missing("no-such-directory");
  EXPECT_TRUE(!missing);
  EXPECT_EQ(missing.get_next_entry(), nullptr);
}

TEST(Files, UnmakeableDirectoryEndsTheRun) {
  EXPECT_EXIT(check_directory_exists("no-such-parent/child"),
              testing::ExitedWithCode(ENOENT),
              "ERROR: could not create directory `no-such-parent/child'");
}

}  // namespace
