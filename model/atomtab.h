// The atom table: interns every word and phrase of the analysed documents as a
// dense atom id, stable for the life of the data directory ("atoms.dat", one
// atom a line, only ever appended to). Also the append-only line file that the
// atom and term tables share.
#ifndef MIVO_MODEL_ATOMTAB_H
#define MIVO_MODEL_ATOMTAB_H

#include <glib.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/ids.h"

// A vocabulary file: one entry a line in id order, only ever appended to, with
// the number of entries already in it. Other tools read its lines, so its
// checksum is kept beside it, in a side record that names how many bytes of
// the file the last append left and their checksum; it is replaced whole
// after every append, once the lines are durable. Lines beyond the recorded
// bytes are the appends of a run stopped before it recorded them, or of a
// version that kept no record: they are read unchecked, as a file without a
// side record is, and the next append records them. Cutting them off instead
// would be safe for this version, which records the lines before any stored
// profile may name them, but not for a directory an older version also used.
class VocabularyFile {
 public:
  // MD5 guards against damage, not forgery, and hashes twice as fast as
  // SHA-256 a file that a large collection makes a gigabyte long.
  VocabularyFile() : sum(g_checksum_new(G_CHECKSUM_MD5), g_checksum_free) {}

  // Names the file and its side record (none when checksum_path is empty);
  // nothing of the table is in the file yet.
  void set_name(const std::string &path, const std::string &checksum_path);
  const std::string &get_name() const { return name; }
  unsigned long get_saved() const { return saved; }

  // Hands every complete line (without its newline) to take, in order; a
  // false answer ends the run with a format error. A torn last line is dropped
  // with a warning and cut off the file. Afterwards every line counts as saved.
  // Bytes that differ from the side record's checksum, or a file shorter
  // than the record says, end the run naming the file.
  void read_lines(const std::function<bool(std::string_view)> &take);
  // Counts the complete lines, as saved, without handing them on, and
  // checks the bytes against the side record in a thread of its own while
  // the run goes on; finish_check waits for that. True when the record
  // vouches for exactly the complete lines; otherwise (no record, lines
  // beyond it, a torn last line) nothing is counted, and read_lines must
  // read the file whole. A file shorter than the record ends the run.
  bool count_lines();
  // Ends the run, naming the file, when the check that count_lines started
  // finds the bytes changed; nothing to do when none was started.
  void finish_check();
  // Appends the lines of entries saved .. total - 1 (append_line adds an
  // entry's line, without newline, to a string) durably, logging
  // "creating"/"updating" with the noun, then brings the side record up to
  // date.
  void append_lines(unsigned long total, const char *noun,
                    const std::function<void(unsigned long, std::string &)> &append_line);
  [[noreturn]] void format_error() const;

 private:
  void cut_torn_line();
  // Loads the side record when there is one.
  void read_record();
  void write_record();
  // The record's text for recorded_bytes and recorded_sum.
  std::string record_text() const;
  // The checksum of the bytes counted so far.
  std::string digest() const;
  [[noreturn]] void damaged() const;

  std::string name;
  std::string record_name;
  unsigned long saved = 0;
  // Bytes the file holds as this table last read or wrote it: appending to a
  // file that has changed since would shift every later id.
  unsigned long bytes = 0;
  // Running over those bytes, so that an append need not read them again.
  std::unique_ptr<GChecksum, void (*)(GChecksum *)> sum;
  // False when count_lines left the running checksum behind the bytes.
  bool summed = true;
  // Whether the bytes match the record, from the thread count_lines started.
  std::future<bool> check;
  // What the side record vouches for; none when have_record is false.
  bool have_record = false;
  unsigned long recorded_bytes = 0;
  std::string recorded_sum;
};

// Hashed rather than ordered: every word of every document is looked up here,
// and nothing needs the atoms in text order. Lookups take a view, so the
// parser's token is not copied into a string to be found.
class AtomTable {
 public:
  AtomTable();
  AtomTable(const AtomTable &) = delete;
  AtomTable &operator=(const AtomTable &) = delete;

  // The string's id, entering it as a new atom if it is not one yet.
  uint32_t enter(std::string_view str);
  // True and the id when str is an atom; false and NoId otherwise.
  bool find(std::string_view str, uint32_t &id) const;
  const std::string &text(uint32_t id) const;
  unsigned long size() const { return texts.size(); }

  // The file and its checksum's side record (none when empty).
  void set_file(const std::string &name, const std::string &checksum_name = std::string()) {
    file.set_name(name, checksum_name);
  }
  const std::string &get_file_name() const { return file.get_name(); }
  // Loads the file into this empty table; ends the run on a damaged file.
  void read();
  // Appends the atoms entered since the last read or write.
  void write();

 private:
  // An open-addressing hash, probed linearly and at most half full. A slot
  // keeps the atom's hash beside its id, so that a probe compares text only
  // when the hashes agree, and growing needs no text.
  struct Slot {
    uint32_t id;  // NoId when free
    uint32_t hash;
  };
  size_t slot_of(std::string_view str, uint32_t hash) const;
  unsigned long add(std::string_view str, uint32_t hash);
  void grow();

  std::deque<std::string> texts;  // by id; elements never move
  std::vector<Slot> slots;        // a power of two long
  VocabularyFile file;
};

extern AtomTable atom_table;

uint32_t enter_atom(std::string_view str);
const std::string &atom_text(uint32_t id);

#endif  // MIVO_MODEL_ATOMTAB_H
