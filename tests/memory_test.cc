#include "base/memory.h"

#include <gtest/gtest.h>

#include "base/utils.h"

namespace {

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
  char source[] = "abcde";
  char *copy = string_copy(source);
  source[0] = 'X';
  EXPECT_STREQ("abcde", copy);
}

}  // namespace
