#include "driver/utils.h"

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
  char out[1100];
  get_last_dir(out, "a/b", sizeof out);
  EXPECT_STREQ(out, "b");
  get_last_dir(out, "a/b/", sizeof out);
  EXPECT_STREQ(out, "b/");
  get_last_dir(out, "abc", sizeof out);
  EXPECT_STREQ(out, "abc");
  get_last_dir(out, "/", sizeof out);
  EXPECT_STREQ(out, "/");
  get_last_dir(out, "", sizeof out);
  EXPECT_STREQ(out, "");

  char cwd[1100];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  get_last_dir(out, ".", sizeof out);
  EXPECT_STREQ(out, strrchr(cwd, '/') + 1);

  char small[4];
  get_last_dir(small, "x/abcdef", sizeof small);
  EXPECT_STREQ(small, "abc");
}

TEST(SplitString, SplitsAtTheFirstRunOfSeparators) {
  char first[32], rest[32];
  EXPECT_TRUE(split_string("doc.txt  c1 c2", ' ', first, rest, sizeof first));
  EXPECT_STREQ(first, "doc.txt");
  EXPECT_STREQ(rest, "c1 c2");

  EXPECT_FALSE(split_string("doc.txt", ' ', first, rest, sizeof first));
  EXPECT_STREQ(first, "doc.txt");
  EXPECT_STREQ(rest, "");

  EXPECT_FALSE(split_string("", ' ', first, rest, sizeof first));
  EXPECT_STREQ(first, "");
  EXPECT_STREQ(rest, "");

  // Trailing separators alone leave nothing to return.
  EXPECT_FALSE(split_string("doc   ", ' ', first, rest, sizeof first));
  EXPECT_STREQ(first, "doc");
  // A tab is no blank.
  EXPECT_FALSE(split_string("doc\tc1", ' ', first, rest, sizeof first));
  EXPECT_STREQ(first, "doc\tc1");

  char f[4], r[4];
  EXPECT_TRUE(split_string("abcdef ghijkl", ' ', f, r, sizeof f));
  EXPECT_STREQ(f, "abc");
  EXPECT_STREQ(r, "ghi");
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
  char buf[8];
  std::istringstream good("   \"a\\\"b\" tail");
  EXPECT_TRUE(read_string(buf, sizeof buf, good));
  EXPECT_STREQ(buf, "a\\\"b");

  std::istringstream no_quote("abc");
  EXPECT_FALSE(read_string(buf, sizeof buf, no_quote));
  EXPECT_EQ(no_quote.peek(), 'a');

  std::istringstream newline("\"ab\ncd\"");
  EXPECT_FALSE(read_string(buf, sizeof buf, newline));

  std::istringstream unterminated("\"abc");
  EXPECT_FALSE(read_string(buf, sizeof buf, unterminated));

  std::istringstream exact("\"1234567\"");
  EXPECT_TRUE(read_string(buf, sizeof buf, exact));
  EXPECT_STREQ(buf, "1234567");

  std::istringstream too_long("\"12345678\"");
  EXPECT_FALSE(read_string(buf, sizeof buf, too_long));
  EXPECT_LT(strlen(buf), sizeof buf);

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
