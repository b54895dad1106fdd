#include "base/memory.h"

#include <cstdint>
#include <cstring>

#include <gtest/gtest.h>

#include "base/utils.h"

namespace {

TEST(Memory, RoundsRequestsToFourBytes) {
  Memory pool;
  char *a = static_cast<char *>(pool.alloc(1));
  char *b = static_cast<char *>(pool.alloc(5));
  char *c = static_cast<char *>(pool.alloc(4));
  EXPECT_EQ(b - a, 4);
  EXPECT_EQ(c - b, 8);
  EXPECT_EQ(pool.get_page_count(), 1u);
}

TEST(Memory, PageHoldsExactly16381Words) {
  Memory pool;
  EXPECT_EQ(pool.get_page_count(), 0u);
  char *first = static_cast<char *>(pool.alloc(4));
  EXPECT_EQ(pool.get_page_count(), 1u);
  char *last = first;
  for (int i = 1; i < 16381; ++i) last = static_cast<char *>(pool.alloc(4));
  EXPECT_EQ(pool.get_page_count(), 1u);
  EXPECT_EQ(last - first, 65520);
  pool.alloc(4);
  EXPECT_EQ(pool.get_page_count(), 2u);
}

TEST(Memory, RestOfAPageIsSkippedForARequestThatDoesNotFit) {
  Memory pool;
  pool.alloc(65000);
  char *next = static_cast<char *>(pool.alloc(600));
  EXPECT_EQ(pool.get_page_count(), 2u);
  // The new page is whole: its last byte is usable.
  memset(next, 1, 600);
  char *after = static_cast<char *>(pool.alloc(64924));
  EXPECT_EQ(after - next, 600);
  EXPECT_EQ(pool.get_page_count(), 2u);
}

TEST(Memory, OversizedBlocksStandAlone) {
  Memory pool;
  char *small = static_cast<char *>(pool.alloc(8));
  char *big = static_cast<char *>(pool.alloc(100000));
  memset(big, 7, 100000);
  char *next = static_cast<char *>(pool.alloc(8));
  EXPECT_EQ(next - small, 8);  // the page goes on being used
  EXPECT_EQ(pool.get_page_count(), 1u);
  pool.free_pages();
  EXPECT_EQ(pool.get_page_count(), 0u);
  EXPECT_NE(pool.alloc(0), nullptr);
}

TEST(Memory, StringCopiesOutliveTheirSource) {
  char source[] = "long-lived";
  char *copy = string_copy(source);
  source[0] = 'X';
  EXPECT_STREQ(copy, "long-lived");
  EXPECT_EQ(reinterpret_cast<uintptr_t>(copy) % 4, 0u);
  char *own = new_string("own");
  EXPECT_STREQ(own, "own");
  delete[] own;
}

}  // namespace
