#include "model/atomtab.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "base/eventlog.h"
#include "base/fileio.h"
#include "base/utils.h"

namespace {

const char *const record_header = "mivo vocabulary checksum 1";
const mode_t vocabulary_file_mode = 0664;
const size_t read_block = 1 << 20;

// Hands the first bytes of the open file (at most limit) to take, a block
// at a time; returns how many, or -1 on a read error, with errno set. It
// touches nothing shared, so that a thread of its own may call it.
long long read_blocks(int fd, unsigned long limit,
                      const std::function<void(const char *, size_t)> &take) {
  std::vector<char> block(read_block);
  unsigned long done = 0;
  while (done < limit) {
    ssize_t got = read(fd, block.data(), std::min<unsigned long>(limit - done, block.size()));
    if (got < 0) return -1;
    if (got == 0) break;
    take(block.data(), static_cast<size_t>(got));
    done += static_cast<unsigned long>(got);
  }
  return static_cast<long long>(done);
}

// Whether the file's first bytes have the MD5 digest; false also when they
// cannot be read.
bool has_digest(const std::string &path, unsigned long bytes, const std::string &expected) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::unique_ptr<GChecksum, void (*)(GChecksum *)> sum(g_checksum_new(G_CHECKSUM_MD5),
                                                        g_checksum_free);
  long long got = read_blocks(fd, bytes, [&sum](const char *data, size_t length) {
    g_checksum_update(sum.get(), reinterpret_cast<const guchar *>(data),
                      static_cast<gssize>(length));
  });
  close(fd);
  return got == static_cast<long long>(bytes) && g_checksum_get_string(sum.get()) == expected;
}

}  // namespace

void VocabularyFile::set_name(const std::string &path, const std::string &checksum_path) {
  name = path;
  record_name = checksum_path;
  saved = 0;
  bytes = 0;
  g_checksum_reset(sum.get());
  have_record = false;
}

std::string VocabularyFile::digest() const {
  GChecksum *copy = g_checksum_copy(sum.get());
  std::string result = g_checksum_get_string(copy);
  g_checksum_free(copy);
  return result;
}

void VocabularyFile::read_record() {
  have_record = false;
  if (record_name.empty() || !file_exists(record_name)) return;
  gchar *contents = nullptr;
  gsize len = 0;
  if (!g_file_get_contents(record_name.c_str(), &contents, &len, nullptr))
    fail_on_file(record_name, open_for_reading, errno);
  std::string text(contents, len);
  g_free(contents);
  std::istringstream is(text);
  std::string header;
  // Read back as written, byte for byte: any change to the record is damage.
  if (!std::getline(is, header) || !(is >> recorded_bytes >> recorded_sum) ||
      text != record_text())
    fail_on_file(record_name, format_failure, 0);
  have_record = true;
}

std::string VocabularyFile::record_text() const {
  return std::string(record_header) + '\n' + std::to_string(recorded_bytes) + '\t' +
         recorded_sum + '\n';
}

void VocabularyFile::damaged() const {
  error("file `%s' is damaged: its first %lu bytes do not match the checksum in `%s'",
        name.c_str(), recorded_bytes, record_name.c_str());
  fail_on_file(name, format_failure, 0);
}

void VocabularyFile::read_lines(const std::function<bool(std::string_view)> &take) {
  // Reading whole checks the bytes again.
  if (check.valid()) check.wait();
  check = std::future<bool>();
  read_record();
  // The file is read from its start, also when a table freed for a while
  // reads it back.
  g_checksum_reset(sum.get());
  int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    report_file_error(name, open_for_reading);
    myabort(errno);
  }
  // Lines are taken in place from blocks; a line longer than a block grows it.
  std::vector<char> block(read_block);
  size_t held = 0;  // the start of an unfinished line, moved to the block's front
  unsigned long lines = 0;
  unsigned long complete = 0;
  bool well_formed = true;
  bool verified = !have_record || (recorded_bytes == 0 && digest() == recorded_sum);
  ssize_t got;
  while (well_formed && (got = read(fd, block.data() + held, block.size() - held)) > 0) {
    const char *data = block.data();
    size_t end = held + static_cast<size_t>(got), start = 0, hashed = 0;
    while (const char *newline =
               static_cast<const char *>(memchr(data + start, '\n', end - start))) {
      size_t length = static_cast<size_t>(newline - (data + start));
      if (!take(std::string_view(data + start, length))) {
        well_formed = false;
        break;
      }
      ++lines;
      start += length + 1;
      complete += length + 1;
      // The record vouches for a prefix that ends with a line.
      if (complete == recorded_bytes && have_record) {
        g_checksum_update(sum.get(), reinterpret_cast<const guchar *>(data + hashed),
                          static_cast<gssize>(start - hashed));
        hashed = start;
        verified = digest() == recorded_sum;
      }
    }
    g_checksum_update(sum.get(), reinterpret_cast<const guchar *>(data + hashed),
                      static_cast<gssize>(start - hashed));
    held = end - start;
    memmove(block.data(), data + start, held);
    if (held == block.size()) block.resize(2 * block.size());
  }
  int number = errno;
  bool failed = well_formed && got < 0;
  close(fd);
  if (failed) {
    report_file_error(name, read_failure);
    myabort(number);
  }
  if (!well_formed) format_error();
  // The recorded bytes were durable before their record: a file shorter
  // than the record, torn inside them, is damaged too.
  if (!verified) damaged();
  saved = lines;
  bytes = complete;
  summed = true;
  if (held != 0) cut_torn_line();
}

bool VocabularyFile::count_lines() {
  read_record();
  if (!have_record) return false;
  int fd = open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    report_file_error(name, open_for_reading);
    myabort(errno);
  }
  unsigned long lines = 0, length = 0, complete = 0;
  long long got = read_blocks(fd, ULONG_MAX, [&](const char *data, size_t size) {
    lines += static_cast<unsigned long>(std::count(data, data + size, '\n'));
    const char *last = static_cast<const char *>(memrchr(data, '\n', size));
    if (last != nullptr) complete = length + static_cast<unsigned long>(last - data) + 1;
    length += size;
  });
  int number = errno;
  close(fd);
  if (got < 0) {
    report_file_error(name, read_failure);
    myabort(number);
  }
  if (complete < recorded_bytes) damaged();
  if (complete != recorded_bytes || length != complete) return false;
  saved = lines;
  bytes = complete;
  g_checksum_reset(sum.get());
  summed = false;
  check = std::async(std::launch::async, has_digest, name, recorded_bytes, recorded_sum);
  return true;
}

void VocabularyFile::finish_check() {
  if (!check.valid()) return;
  if (!check.get()) damaged();
}

// A crash during an append leaves a line without its newline; nothing refers
// to it yet, and appending behind it would merge two entries into one line.
void VocabularyFile::cut_torn_line() {
  warning("dropping incomplete last line of file `%s'", name.c_str());
  if (truncate(name.c_str(), static_cast<off_t>(bytes)) != 0) {
    report_file_error(name, write_failure);
    myabort(errno);
  }
}

void VocabularyFile::append_lines(
    unsigned long total, const char *noun,
    const std::function<void(unsigned long, std::string &)> &append_line) {
  mivo_assert(!name.empty());
  finish_check();
  // Lines are appended only to a file read whole, whose checksum runs.
  mivo_assert(summed || saved == total);
  int fd = open(name.c_str(), O_WRONLY | O_APPEND | O_CREAT, vocabulary_file_mode);
  FILE *out = fd < 0 ? nullptr : fdopen(fd, "a");
  if (out == nullptr) {
    report_file_error(name, open_for_writing);
    myabort(errno);
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || static_cast<unsigned long>(st.st_size) != bytes) {
    error("file `%s' is not as this run read it; not appending to it",
          name.c_str());
    myabort(0);
  }
  if (saved < total) {
    if (saved != 0)
      log_formatted_results(1, "updating %s from %lu to %lu %s", name.c_str(),
                            saved, total, noun);
    else
      log_formatted_results(1, "creating %s with %lu %s", name.c_str(), total,
                            noun);
  }
  // A hundred million lines go out a block at a time: one write and one
  // update of the checksum a megabyte.
  const size_t block_bytes = 1 << 20;
  std::string block;
  unsigned long lines = 0;
  auto write_block = [&]() {
    if (fwrite(block.data(), 1, block.size(), out) != block.size()) return false;
    g_checksum_update(sum.get(), reinterpret_cast<const guchar *>(block.data()),
                      static_cast<gssize>(block.size()));
    bytes += block.size();
    saved += lines;
    lines = 0;
    block.clear();
    return true;
  };
  bool appended = true;
  for (unsigned long id = saved; appended && id < total; ++id) {
    append_line(id, block);
    block += '\n';
    ++lines;
    if (block.size() >= block_bytes) appended = write_block();
  }
  if (appended && !block.empty()) appended = write_block();
  // The record may vouch only for lines that are on the disk.
  bool written = appended && saved == total && fflush(out) == 0 && sync_file(fd);
  if (fclose(out) != 0 || !written) {
    report_file_error(name, write_failure);
    myabort(errno);
  }
  if (!record_name.empty() && (!have_record || recorded_bytes != bytes)) write_record();
}

// Also written when nothing was appended but the record is missing or
// behind, so that a directory of an older version gets its checksums.
void VocabularyFile::write_record() {
  recorded_bytes = bytes;
  recorded_sum = digest();
  replace_file(record_name, record_text(), vocabulary_file_mode);
  have_record = true;
}

void VocabularyFile::format_error() const {
  report_file_error(name, format_failure);
  myabort(0);
}

namespace {

const size_t MinSlots = 64;

// Eight bytes a step; atoms are mostly short words.
uint32_t text_hash(std::string_view str) {
  const char *bytes = str.data();
  size_t left = str.size();
  uint64_t hash = 0x9e3779b97f4a7c15ULL ^ left;
  for (; left >= 8; bytes += 8, left -= 8) {
    uint64_t word;
    memcpy(&word, bytes, 8);
    hash = (hash ^ word) * 0xbf58476d1ce4e5b9ULL;
    hash ^= hash >> 31;
  }
  uint64_t tail = 0;
  memcpy(&tail, bytes, left);
  hash = (hash ^ tail) * 0x94d049bb133111ebULL;
  hash ^= hash >> 29;
  hash *= 0xbf58476d1ce4e5b9ULL;
  return static_cast<uint32_t>(hash >> 32);
}

}  // namespace

AtomTable::AtomTable() : slots(MinSlots, Slot{NoId, 0}) {}

// The slot holding str, or the free slot where it belongs.
size_t AtomTable::slot_of(std::string_view str, uint32_t hash) const {
  size_t mask = slots.size() - 1;
  for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const Slot &probe = slots[slot];
    if (probe.id == NoId || (probe.hash == hash && texts[probe.id] == str))
      return slot;
  }
}

void AtomTable::grow() {
  std::vector<Slot> old(slots.size() * 2, Slot{NoId, 0});
  old.swap(slots);
  size_t mask = slots.size() - 1;
  for (const Slot &entry : old) {
    if (entry.id == NoId) continue;
    size_t slot = entry.hash & mask;
    while (slots[slot].id != NoId) slot = (slot + 1) & mask;
    slots[slot] = entry;
  }
}

unsigned long AtomTable::add(std::string_view str, uint32_t hash) {
  // A newline in an atom would split its line in the file and shift every
  // later id by one.
  mivo_assert(!str.empty() && str.find('\n') == std::string_view::npos);
  mivo_assert(texts.size() < NoId);
  if ((texts.size() + 1) * 2 > slots.size()) grow();
  uint32_t id = static_cast<uint32_t>(texts.size());
  texts.emplace_back(str);
  slots[slot_of(str, hash)] = Slot{id, hash};
  return id;
}

uint32_t AtomTable::enter(std::string_view str) {
  uint32_t hash = text_hash(str);
  const Slot &found = slots[slot_of(str, hash)];
  return found.id != NoId ? found.id : add(str, hash);
}

bool AtomTable::find(std::string_view str, uint32_t &id) const {
  const Slot &found = slots[slot_of(str, text_hash(str))];
  id = found.id;
  return found.id != NoId;
}

const std::string &AtomTable::text(uint32_t id) const {
  mivo_assert(id < texts.size());
  return texts[id];
}

void AtomTable::read() {
  mivo_assert(!file.get_name().empty());
  mivo_assert(texts.empty());
  file.read_lines([this](std::string_view line) {
    uint32_t hash = text_hash(line);
    if (line.empty() || slots[slot_of(line, hash)].id != NoId) return false;
    add(line, hash);
    return true;
  });
}

void AtomTable::write() {
  file.append_lines(texts.size(), "atoms",
                    [this](unsigned long id, std::string &line) { line += text(id); });
}

uint32_t enter_atom(std::string_view str) { return atom_table.enter(str); }

const std::string &atom_text(uint32_t id) { return atom_table.text(id); }
