#include "base/memory.h"

#include <sys/mman.h>

#include <cstdint>

void *Memory::alloc(unsigned int size) {
  unsigned long rounded = (static_cast<unsigned long>(size) + 3) & ~3UL;
  if (rounded == 0) rounded = 4;  // every caller gets a distinct, usable address
  if (rounded > bytes_left) {
    if (rounded > page_size) {
      // Too big for any page: a block of its own, so the current page's rest
      // is not wasted.
      char *block = new char[rounded];
      large_blocks.push_back(block);
      return block;
    }
    char *page = new char[page_size];
    pages.push_back(page);
    free_byte = page;
    bytes_left = page_size;
  }
  char *result = free_byte;
  free_byte += rounded;
  bytes_left -= rounded;
  return result;
}

void Memory::free_pages() {
  while (!pages.empty()) {
    delete[] pages.back();
    pages.pop_back();
  }
  for (char *block : large_blocks) delete[] block;
  large_blocks.clear();
  free_byte = nullptr;
  bytes_left = 0;
}

void advise_huge_pages(void *start, size_t bytes) {
  const uintptr_t huge = uintptr_t{1} << 21;
  uintptr_t first = (reinterpret_cast<uintptr_t>(start) + huge - 1) & ~(huge - 1);
  uintptr_t end = (reinterpret_cast<uintptr_t>(start) + bytes) & ~(huge - 1);
  if (end <= first) return;
  madvise(reinterpret_cast<void *>(first), end - first, MADV_HUGEPAGE);
}
