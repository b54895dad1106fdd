// Long-lived storage for strings that stay until the process ends: handed out
// from pages of 65524 bytes and never freed one by one. Also the hint that
// puts a large table read at random on huge pages.
#ifndef MIVO_BASE_MEMORY_H
#define MIVO_BASE_MEMORY_H

#include <cstddef>
#include <vector>

class Memory {
 public:
  static const unsigned int page_size = 65524;

  Memory() : free_byte(nullptr), bytes_left(0) {}
  ~Memory() { free_pages(); }
  Memory(const Memory &) = delete;
  Memory &operator=(const Memory &) = delete;

  // Size bytes (rounded up to a multiple of 4) that stay valid until free_pages.
  void *alloc(unsigned int size);
  // Releases every page and every oversized block.
  void free_pages();

  unsigned long get_page_count() const { return pages.size(); }

 private:
  std::vector<char *> pages;
  std::vector<char *> large_blocks;
  char *free_byte;
  unsigned int bytes_left;
};

extern Memory memory;

// Asks the kernel to back the whole 2 MB pages within [start, start + bytes)
// with huge pages, where it allows that only on request. A table of a
// gigabyte read at random costs a page walk per read with 4 KB pages; with
// 2 MB ones the walks stay in the caches. Call it before the first write:
// pages already touched stay small. Only a hint, so a refusal is ignored.
void advise_huge_pages(void *start, size_t bytes);

#endif  // MIVO_BASE_MEMORY_H
