// The atom table: interns every word and phrase of the analysed documents as a
// dense atom id, stable for the life of the data directory ("atoms.dat", one
// atom a line, only ever appended to). Also the append-only line file that the
// atom and term tables share.
#ifndef MIVO_MODEL_ATOMTAB_H
#define MIVO_MODEL_ATOMTAB_H

#include <functional>
#include <unordered_map>
#include <string>
#include <vector>

// No atom: never given to a string.
const unsigned long EmptyAtom = 4294967295UL;

// A vocabulary file: one entry a line in id order, only ever appended to, with
// the number of entries already in it.
class VocabularyFile {
 public:
  // Names the file; nothing of the table is in it yet.
  void set_name(const std::string &path);
  const std::string &get_name() const { return name; }
  unsigned long get_saved() const { return saved; }

  // Hands every complete line (without its newline) to take, in order; a
  // false answer ends the run with a format error. A torn last line is dropped
  // with a warning and cut off the file. Afterwards every line counts as saved.
  void read_lines(const std::function<bool(const std::string &)> &take);
  // Appends the lines of entries saved .. total - 1 (line_of gives an entry's
  // line without newline), logging "creating"/"updating" with the noun.
  void append_lines(unsigned long total, const char *noun,
                    const std::function<std::string(unsigned long)> &line_of);
  [[noreturn]] void format_error() const;

 private:
  void cut_torn_line();

  std::string name;
  unsigned long saved = 0;
  // Bytes the file holds as this table last read or wrote it: appending to a
  // file that has changed since would shift every later id.
  unsigned long bytes = 0;
};

// Hashed rather than ordered: every word of every document is looked up here,
// and nothing needs the atoms in text order.
class AtomTable : private std::unordered_map<std::string, unsigned long> {
 public:
  AtomTable() : next_id(0) {}
  AtomTable(const AtomTable &) = delete;
  AtomTable &operator=(const AtomTable &) = delete;

  // The string's id, entering it as a new atom if it is not one yet.
  unsigned long enter(const std::string &str);
  // True and the id when str is an atom; false and EmptyAtom otherwise.
  bool find(const std::string &str, unsigned long &id) const;
  const std::string &text(unsigned long id) const;
  unsigned long size() const { return next_id; }

  void set_file(const std::string &name) { file.set_name(name); }
  const std::string &get_file_name() const { return file.get_name(); }
  // Loads the file into this empty table; ends the run on a damaged file.
  void read();
  // Appends the atoms entered since the last read or write.
  void write();

 private:
  unsigned long add(const std::string &str);
  bool sizes_agree() const;

  std::vector<const std::string *> index;  // by id; elements never move
  unsigned long next_id;
  VocabularyFile file;
};

extern AtomTable atom_table;

unsigned long enter_atom(const std::string &str);
const std::string &atom_text(unsigned long id);

#endif  // MIVO_MODEL_ATOMTAB_H
