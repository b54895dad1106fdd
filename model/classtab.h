// The class hierarchy: a tree of categories addressed by ids (0 is the root)
// and by '/'-separated full names, each node with its training and test
// examples, its class profile and its term statistics. Saved as "classes".
#ifndef MIVO_MODEL_CLASSTAB_H
#define MIVO_MODEL_CLASSTAB_H

#include <cstdint>
#include <initializer_list>
#include <istream>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "model/classprof.h"

// Longest class name (full name or component) the "classes" file can hold.
const std::string::size_type max_class_name_length = 1023;

struct ClassKey {
  std::string name;     // one component of a full name
  uint32_t father = 0;  // 0 for the root and for the sons of the root
  // Tells the root from a son of the root that bears its name: a collection
  // in a folder named like one of its classes.
  bool root = false;
};

// Orders by father id, then byte-wise by name, the root before a son of the
// same name.
struct ClassKeyLT {
  bool operator()(const ClassKey &a, const ClassKey &b) const;
};

struct ClassData;

// The classes through which a document is an example, in order of entry.
// Nearly every document comes through one class, which is kept in place of
// a pointer to a list: a million documents are examples of every class on
// their paths.
class ClassList {
 public:
  ClassList() : one(nullptr) {}
  ClassList(std::initializer_list<ClassData *> classes) : one(nullptr) {
    for (ClassData *data : classes) push_back(data);
  }
  ClassList(const ClassList &other) : one(nullptr) { append(other); }
  ClassList(ClassList &&other) noexcept : one(other.one) { other.one = nullptr; }
  ClassList &operator=(ClassList other) {
    std::swap(one, other.one);
    return *this;
  }
  ~ClassList() { delete list(); }

  ClassData *const *begin() const { return many() ? list()->data() : &one; }
  ClassData *const *end() const { return begin() + size(); }
  size_t size() const { return many() ? list()->size() : (one != nullptr ? 1 : 0); }
  bool empty() const { return one == nullptr; }
  ClassData *front() const { return *begin(); }
  void push_back(ClassData *data);
  void append(const ClassList &more);

 private:
  // A list's address, made odd, stands in one's place: classes are aligned.
  bool many() const { return (reinterpret_cast<uintptr_t>(one) & 1) != 0; }
  std::vector<ClassData *> *list() const {
    return many() ? reinterpret_cast<std::vector<ClassData *> *>(
                        reinterpret_cast<uintptr_t>(one) & ~uintptr_t{1})
                  : nullptr;
  }

  ClassData *one;
};

// Document name -> the classes through which the document is an example, in
// name order, as one sorted array rather than a tree node per document.
// Entries may come in any order; arrange puts them in order before they are
// read (collect_examples does) and merges those of one document, their
// classes in order of entry.
class ExampList {
 public:
  typedef std::pair<std::string, ClassList> value_type;
  typedef std::vector<value_type>::const_iterator const_iterator;

  void add(const std::string &document, ClassData *data);
  void add(const std::string &document, const ClassList &classes);
  void arrange();

  size_t size() const { return entries.size(); }
  bool empty() const { return entries.empty(); }
  const_iterator begin() const { return checked().begin(); }
  const_iterator end() const { return entries.end(); }
  // The document's entry, or end().
  const_iterator find(const std::string &document) const;

 private:
  const std::vector<value_type> &checked() const;

  std::vector<value_type> entries;
  bool in_order = true;
};

struct Examples {
  ExampList train;
  ExampList test;
};

struct ClassData {
  explicit ClassData(uint32_t class_id = 0) : id(class_id) {}

  uint32_t id;
  uint32_t num_docs = 0;
  uint32_t num_other_docs = 0;
  uint64_t sum_freq = 0;  // grows with the collection, so 64 bits
  double sum_strength = 0.0;
  ClassProfile profile;
  ClassData *father = nullptr;
  std::vector<ClassData *> sons;  // in order of entry
  Examples examples;
};

// The "classes" file's fields: "father<TAB>\"name\"" and
// "id<TAB>num_docs<TAB>num_other_docs<TAB>sum_freq". The readers fail the
// stream on a missing or malformed field.
std::ostream &operator<<(std::ostream &os, const ClassKey &key);
std::istream &operator>>(std::istream &is, ClassKey &key);
std::ostream &operator<<(std::ostream &os, const ClassData &data);
std::istream &operator>>(std::istream &is, ClassData &data);

// True when the name can be written to the "classes" file and read back: no
// double quote, tab, newline or NUL, no backslash at the end, not too long.
bool is_storable_class_name(const std::string &name);

class ClassTable {
 public:
  typedef std::map<ClassKey, ClassData, ClassKeyLT> ClassMap;

  ClassTable() : next_id(0) {}
  ClassTable(const ClassTable &) = delete;
  ClassTable &operator=(const ClassTable &) = delete;

  // The id of class (name, father), created if absent. The first class
  // entered is the root. A name that cannot be stored stops the run.
  uint32_t enter_class(const std::string &name, uint32_t father);
  // Enters every component of a '/'-separated name below father; returns the
  // id of the last. Runs of '/' count as one; trailing ones stay in the name.
  // An empty component or a name that cannot be stored stops the run.
  uint32_t enter_on_full_name(const std::string &full_name, uint32_t father);
  // Links the just-inserted node at position to its father's sons.
  void maybe_enter_son(uint32_t father, ClassMap::iterator position);

  uint32_t size() const { return static_cast<uint32_t>(by_id.size()); }
  bool empty() const { return by_id.empty(); }
  ClassData &get_data(uint32_t id);
  const ClassData &get_data(uint32_t id) const;
  const std::string &get_name(uint32_t id) const;
  ClassProfile &get_profile(uint32_t id);

  void enter_train_example(uint32_t id, const std::string &document);
  void enter_test_example(uint32_t id, const std::string &document);
  // Merges every class's examples into its ancestors, depth-first (run once):
  // a father's train list for a document names the sons it came through, its
  // test list the classes where it was entered. Returns the root's examples.
  Examples &collect_examples();
  bool have_training_docs() const;

  // The names from the topmost class below the root down to the class,
  // joined by '/'; the root prints as its own name.
  void print_full_name(std::ostream &os, uint32_t id) const;
  // Finds the class whose full name print_full_name writes as name.
  bool extract_full_name(const std::string &name, ClassData **data);

  // The "classes" file. read fills an empty table and fails, leaving the
  // table empty, on any damage.
  bool write(std::ostream &os) const;
  bool read(std::istream &is);
  // Forgets every class.
  void clear();

  // All classes in key order (father id, then name).
  ClassMap::iterator begin() { return class_map.begin(); }
  ClassMap::iterator end() { return class_map.end(); }
  ClassMap::const_iterator begin() const { return class_map.begin(); }
  ClassMap::const_iterator end() const { return class_map.end(); }

 private:
  // id itself; stops the run when there is no class with that id.
  uint32_t checked(uint32_t id) const;
  uint32_t enter_components(const std::string &rest, uint32_t father,
                            const std::string &full_name);
  ClassData *find_path(const std::string &name, uint32_t father);
  void collect_subtree(ClassData *data);
  bool read_class(std::istream &is, uint32_t expected_id);

  ClassMap class_map;
  std::vector<ClassMap::iterator> by_id;
  uint32_t next_id;
};

extern ClassTable class_table;

#endif  // MIVO_MODEL_CLASSTAB_H
