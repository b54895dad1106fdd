#include "model/classtab.h"

#include <algorithm>
#include <cerrno>

#include "base/eventlog.h"
#include "base/utils.h"

namespace {

// Splits name at its first '/' into the text before it and what follows the
// run of '/'; false when nothing follows.
bool split_first(const std::string &name, std::string *first,
                 std::string *rest) {
  std::string::size_type slash = name.find('/');
  if (slash == std::string::npos) return false;
  std::string::size_type next = name.find_first_not_of('/', slash);
  if (next == std::string::npos) return false;
  *first = name.substr(0, slash);
  *rest = name.substr(next);
  return true;
}

// Only the root may have an empty name (it is named after the examples
// directory, which may be the working directory given as nothing).
bool is_valid_name(const std::string &name, bool is_root) {
  return is_storable_class_name(name) && (is_root || !name.empty());
}

// A name that would spoil the "classes" file stops the run before anything
// has been written.
[[noreturn]] void refuse_class_name(const std::string &name) {
  error("invalid class name `%s'", name.c_str());
  myabort(0);
}

}  // namespace

bool ClassKeyLT::operator()(const ClassKey &a, const ClassKey &b) const {
  if (a.father != b.father) return a.father < b.father;
  if (a.name != b.name) return a.name < b.name;
  return a.root && !b.root;
}

std::ostream &operator<<(std::ostream &os, const ClassKey &key) {
  return os << key.father << '\t' << '"' << key.name << '"';
}

std::istream &operator>>(std::istream &is, ClassKey &key) {
  uint32_t father;
  char name[max_class_name_length + 1];
  if (!read_unsigned(is, &father)) return is;
  if (!read_string(name, sizeof name, is)) {
    is.setstate(std::ios::failbit);
    return is;
  }
  key.father = father;
  key.name = name;
  return is;
}

std::ostream &operator<<(std::ostream &os, const ClassData &data) {
  return os << data.id << '\t' << data.num_docs << '\t' << data.num_other_docs
            << '\t' << data.sum_freq;
}

std::istream &operator>>(std::istream &is, ClassData &data) {
  // Once one field fails, the stream is failed and the others are left alone.
  read_unsigned(is, &data.id);
  read_unsigned(is, &data.num_docs);
  read_unsigned(is, &data.num_other_docs);
  read_unsigned(is, &data.sum_freq);
  return is;
}

bool is_storable_class_name(const std::string &name) {
  static const std::string unstorable("\"\t\n\0", 4);
  return name.size() <= max_class_name_length &&
         name.find_first_of(unstorable) == std::string::npos &&
         (name.empty() || name.back() != '\\');
}

uint32_t ClassTable::checked(uint32_t id) const {
  mivo_assert(unsigned(id) < size());
  return id;
}

uint32_t ClassTable::enter_class(const std::string &name, uint32_t father) {
  if (!is_storable_class_name(name)) refuse_class_name(name);
  mivo_assert(!empty() || father == 0);
  if (!empty()) checked(father);
  ClassKey key{name, father, empty()};
  ClassMap::iterator it = class_map.find(key);
  if (it != class_map.end()) return it->second.id;
  if (!is_valid_name(name, empty())) refuse_class_name(name);
  uint32_t id = next_id++;
  it = class_map.emplace(key, ClassData(id)).first;
  by_id.push_back(it);
  maybe_enter_son(father, it);
  return id;
}

uint32_t ClassTable::enter_on_full_name(const std::string &full_name,
                                        uint32_t father) {
  if (full_name.size() > max_class_name_length) refuse_class_name(full_name);
  return enter_components(full_name, father, full_name);
}

uint32_t ClassTable::enter_components(const std::string &name, uint32_t father,
                                      const std::string &full_name) {
  std::string first, rest;
  bool more = split_first(name, &first, &rest);
  const std::string &component = more ? first : name;
  if (!is_valid_name(component, false)) refuse_class_name(full_name);
  uint32_t id = enter_class(component, father);
  return more ? enter_components(rest, id, full_name) : id;
}

void ClassTable::maybe_enter_son(uint32_t father, ClassMap::iterator position) {
  if (class_map.size() < 2) {
    position->second.father = nullptr;
    return;
  }
  ClassData &parent = get_data(father);
  position->second.father = &parent;
  parent.sons.push_back(&position->second);
}

ClassData &ClassTable::get_data(uint32_t id) {
  return by_id[checked(id)]->second;
}

const ClassData &ClassTable::get_data(uint32_t id) const {
  return by_id[checked(id)]->second;
}

const std::string &ClassTable::get_name(uint32_t id) const {
  return by_id[checked(id)]->first.name;
}

ClassProfile &ClassTable::get_profile(uint32_t id) {
  return get_data(id).profile;
}

void ClassList::push_back(ClassData *data) {
  mivo_assert(data != nullptr && (reinterpret_cast<uintptr_t>(data) & 1) == 0);
  if (one == nullptr) {
    one = data;
    return;
  }
  if (!many()) {
    auto *classes = new std::vector<ClassData *>{one, data};
    one = reinterpret_cast<ClassData *>(reinterpret_cast<uintptr_t>(classes) | 1);
    return;
  }
  list()->push_back(data);
}

void ClassList::append(const ClassList &more) {
  for (ClassData *data : more) push_back(data);
}

void ExampList::add(const std::string &document, ClassData *data) {
  ClassList classes;
  classes.push_back(data);
  add(document, classes);
}

void ExampList::add(const std::string &document, const ClassList &classes) {
  if (!entries.empty() && entries.back().first == document) {
    entries.back().second.append(classes);
    return;
  }
  if (!entries.empty() && entries.back().first > document) in_order = false;
  entries.emplace_back(document, classes);
}

// Sorted stably, so that a document's classes stay in order of entry.
void ExampList::arrange() {
  if (!in_order) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const value_type &a, const value_type &b) { return a.first < b.first; });
    auto kept = entries.begin();
    for (auto it = entries.begin() + 1; it != entries.end(); ++it) {
      if (it->first == kept->first)
        kept->second.append(it->second);
      else if (++kept != it)
        *kept = std::move(*it);
    }
    entries.erase(kept + 1, entries.end());
    in_order = true;
  }
  entries.shrink_to_fit();
}

ExampList::const_iterator ExampList::find(const std::string &document) const {
  auto found = std::lower_bound(
      begin(), end(), document,
      [](const value_type &entry, const std::string &name) { return entry.first < name; });
  return found != end() && found->first == document ? found : end();
}

const std::vector<ExampList::value_type> &ExampList::checked() const {
  mivo_assert(in_order);
  return entries;
}

void ClassTable::enter_train_example(uint32_t id, const std::string &document) {
  ClassData &data = get_data(id);
  data.examples.train.add(document, &data);
}

void ClassTable::enter_test_example(uint32_t id, const std::string &document) {
  ClassData &data = get_data(id);
  data.examples.test.add(document, &data);
}

Examples &ClassTable::collect_examples() {
  ClassData &root = get_data(0);
  collect_subtree(&root);
  return root.examples;
}

// A father's own entries come first, then each son's in order of the sons,
// as the merged lists name them.
void ClassTable::collect_subtree(ClassData *data) {
  Examples &into = data->examples;
  for (ClassData *son : data->sons) {
    collect_subtree(son);
    for (const auto &entry : son->examples.train) into.train.add(entry.first, son);
    for (const auto &entry : son->examples.test) into.test.add(entry.first, entry.second);
  }
  into.train.arrange();
  into.test.arrange();
}

bool ClassTable::have_training_docs() const {
  return !empty() && !get_data(0).examples.train.empty();
}

void ClassTable::print_full_name(std::ostream &os, uint32_t id) const {
  const ClassKey &key = by_id[checked(id)]->first;
  if (key.father != 0) {
    print_full_name(os, key.father);
    os << '/';
  }
  os << key.name;
}

bool ClassTable::extract_full_name(const std::string &name, ClassData **data) {
  *data = find_path(name, 0);
  if (*data == nullptr && !empty() && name == get_name(0)) *data = &get_data(0);
  return *data != nullptr;
}

// Descends the way enter_on_full_name enters, so that whatever print_full_name
// writes is found again; a whole name that is itself a key is taken first.
ClassData *ClassTable::find_path(const std::string &name, uint32_t father) {
  ClassMap::iterator it = class_map.find(ClassKey{name, father});
  if (it != class_map.end()) return &it->second;
  std::string first, rest;
  if (!split_first(name, &first, &rest)) return nullptr;
  it = class_map.find(ClassKey{first, father});
  return it == class_map.end() ? nullptr : find_path(rest, it->second.id);
}

bool ClassTable::write(std::ostream &os) const {
  os << size() << '\n';
  if (!os) return false;
  for (ClassMap::iterator position : by_id) {
    os << position->second << '\t' << position->first << '\n';
    if (!os) return false;
  }
  return os.good();
}

bool ClassTable::read(std::istream &is) {
  mivo_assert(empty());
  uint32_t count;
  if (!read_unsigned(is, &count)) return false;
  by_id.reserve(std::min<unsigned long>(count, max_size_hint));
  for (uint32_t id = 0; id < count; ++id) {
    if (!read_class(is, id)) {
      clear();
      return false;
    }
  }
  if (!only_blanks_left(is)) {
    clear();
    return false;
  }
  return true;
}

// One line of the "classes" file; false unless it is the class with the
// expected id, under a father already read, with a name not seen there.
bool ClassTable::read_class(std::istream &is, uint32_t expected_id) {
  ClassData data;
  ClassKey key;
  if (!(is >> data >> key)) return false;
  bool is_root = expected_id == 0;
  if (data.id != expected_id || !is_valid_name(key.name, is_root)) return false;
  if (is_root ? key.father != 0 : key.father >= data.id) return false;
  key.root = is_root;
  std::pair<ClassMap::iterator, bool> inserted = class_map.emplace(key, data);
  if (!inserted.second) return false;
  by_id.push_back(inserted.first);
  next_id = data.id + 1;
  maybe_enter_son(key.father, inserted.first);
  return true;
}

void ClassTable::clear() {
  class_map.clear();
  by_id.clear();
  next_id = 0;
}
