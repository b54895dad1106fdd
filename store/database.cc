#include "store/database.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <future>
#include <sstream>

#include "base/eventlog.h"
#include "base/fileio.h"
#include "base/utils.h"
#include "model/atomtab.h"
#include "model/classtab.h"
#include "model/termtab.h"
#include "store/filename.h"
#include "store/modelfiles.h"

namespace {

// Parses a file of the stored model, checked against its manifest.
void read_file(ModelFiles &model, const std::string &path, bool optional,
               const std::function<bool(std::istream &)> &take) {
  std::string text;
  if (!model.read(path, text, optional)) return;
  std::istringstream is(text);
  if (!take(is)) fail_on_file(path, read_failure, 0);
}

// How long a run waits for the lock of its data directory, and how often
// it tries, in milliseconds.
const int lock_grace_ms = 1000;
const int lock_poll_ms = 10;

DataBase *closed_at_exit = nullptr;

void close_at_exit_handler() { closed_at_exit->close(); }

}  // namespace

DataBase::DataBase()
    : have_data(false),
      profile_store(nullptr),
      lock_fd(-1),
      owner(0),
      durable_terms(0),
      terms_at_open(0),
      vocabulary_behind(false),
      saving_vocabulary(false) {}

DataBase::~DataBase() { release(); }

void DataBase::close() {
  // An abort inside save_vocabulary ends here again through exit; the store
  // is then abandoned by the destructor.
  if (profile_store != nullptr && vocabulary_behind && !saving_vocabulary &&
      getpid() == owner)
    save_vocabulary();
  release();
}

void DataBase::release() {
  if (profile_store != nullptr) {
    FileStore *store = profile_store;
    profile_store = nullptr;
    // A forked copy of the process owns none of the files.
    if (vocabulary_behind || getpid() != owner)
      filestore_abandon(store);
    else
      filestore_close(store);
  }
  docprof_table.clear();
  if (lock_fd >= 0) ::close(lock_fd);
  lock_fd = -1;
  have_data = false;
  directory.clear();
  durable_terms = 0;
  terms_at_open = 0;
  vocabulary_behind = false;
}

void DataBase::initialise(const std::string &dir) {
  mivo_assert(profile_store == nullptr);
  directory = dir;
  selection.clear();
  if (!is_directory(io_directory())) {
    log_formatted(1, "creating data directory `%s'", directory.c_str());
    if (create_directory(io_directory(), 0770) != 0)
      fail_on_file(directory, create_directory_failure, errno);
  }
  lock_directory();
  owner = getpid();
  profile_store = filestore_open(profile_store_name(directory).c_str());
  atom_table.set_file(atoms_file_name(directory), atoms_checksum_file_name(directory));
  term_table.set_file(terms_file_name(directory), terms_checksum_file_name(directory));
  // A vocabulary file gone with its side record left is damage, reported
  // when the file is read.
  have_data = file_exists(atoms_file_name(directory)) ||
              file_exists(atoms_checksum_file_name(directory));
}

void DataBase::close_at_exit() {
  if (closed_at_exit == this) return;
  mivo_assert(closed_at_exit == nullptr);
  closed_at_exit = this;
  if (atexit(close_at_exit_handler) != 0) {
    error("cannot register the closing of the data base");
    myabort(0);
  }
}

std::string DataBase::io_directory() const {
  return directory.empty() ? "." : directory;
}

// A second process would append to the same vocabulary files and store, each
// believing it knows what they hold: one process per data directory.
void DataBase::lock_directory() {
  std::string path = lock_file_name(directory);
  lock_fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0664);
  if (lock_fd < 0) fail_on_file(path, open_for_writing, errno);
  // A run killed while it forks an analyser leaves the child holding the
  // lock until it execs, which closes the descriptor: a moment, that a busy
  // machine may stretch. A run started right after such a kill waits for it.
  for (int waited_ms = 0;; waited_ms += lock_poll_ms) {
    if (flock(lock_fd, LOCK_EX | LOCK_NB) == 0) return;
    if (errno != EWOULDBLOCK || waited_ms >= lock_grace_ms) break;
    usleep(lock_poll_ms * 1000);
  }
  if (errno == EWOULDBLOCK) {
    error("data directory `%s' is in use by another mivo process",
          directory.c_str());
    myabort(0);
  }
  int number = errno;
  error("cannot lock data directory `%s': %s", directory.c_str(),
        strerror(number));
  myabort(number);
}

void DataBase::read(bool with_classes) {
  if (have_data) {
    log_results(1, "reading profiles...");
    atom_table.read();
    // A run stopped between the first writes of the two files leaves atoms
    // without terms (and without their side record); no durable profile can
    // name a term then.
    if (file_exists(terms_file_name(directory)) ||
        file_exists(terms_checksum_file_name(directory)))
      term_table.read();
    log_formatted_results(2, "read %d terms", static_cast<int>(term_table.size()));
    if (with_classes) {
      ModelFiles model(directory);
      read_class_table(model);
      read_class_profiles(model);
      log_formatted_results(2, "read %d classes",
                            static_cast<int>(class_table.size()));
    }
  }
  durable_terms = term_table.size();
  terms_at_open = durable_terms;
}

void DataBase::write(bool save) {
  if (!save) return;
  log_results(1, "writing class profiles...");
  ModelFiles model(directory);
  std::ostringstream classes;
  if (!class_table.write(classes)) fail_on_file(classes_file_name(directory), write_failure, 0);
  model.add(classes_file_name(directory), classes.str());
  for (const auto &entry : class_table) {
    const ClassData &data = entry.second;
    std::ostringstream weights, profile;
    if (!data.profile.write_weights(weights))
      fail_on_file(class_weights_file_name(directory, data.id), write_failure, 0);
    model.add(class_weights_file_name(directory, data.id), weights.str());
    if (!data.profile.write(profile, data.sum_freq, profile_format))
      fail_on_file(class_profile_file_name(directory, data.id), write_failure, 0);
    model.add(class_profile_file_name(directory, data.id), profile.str());
  }
  model.commit();
}

void DataBase::read_class_table(ModelFiles &model) {
  read_file(model, classes_file_name(directory), false,
            [](std::istream &is) { return class_table.read(is); });
}

void DataBase::read_class_profiles(ModelFiles &model) {
  log_results(1, "reading class profiles...");
  for (auto &entry : class_table) {
    ClassData &data = entry.second;
    read_file(model, class_profile_file_name(directory, data.id), false,
              [this, &data](std::istream &is) {
                return data.profile.read(is, &data.sum_freq, profile_format);
              });
    // Profiles stored before weights files existed have none.
    read_file(model, class_weights_file_name(directory, data.id), true,
              [&data](std::istream &is) { return data.profile.read_weights(is); });
  }
}

bool DataBase::have_class_table() const {
  return file_exists(classes_file_name(directory));
}

bool DataBase::have_document_profile(const std::string &name) const {
  mivo_assert(profile_store != nullptr);
  if (docprof_table.count(name) != 0) return true;
  const FileStoreNode *node = filestore_get_node(profile_store, name.c_str());
  return node != nullptr && (node->fresh || node->time != stale_time);
}

void DataBase::enter_document_profile(const std::string &name,
                                      DocProfile *profile, bool stale) {
  mivo_assert(profile_store != nullptr);
  if (docprof_table.count(name) != 0) return;
  char *blob = nullptr;
  size_t len = 0;
  if (!profile->write(&blob, &len) || len > UINT_MAX) {
    g_free(blob);
    error("could not build stream for profile of document \"%s\"", name.c_str());
    myabort(0);
  }
  for (const Feature &feature : profile->get_features())
    if (feature.term >= durable_terms) vocabulary_behind = true;
  filestore_put_file(profile_store, name.c_str(), blob,
                     static_cast<unsigned int>(len), stale);
  g_free(blob);
}

void DataBase::fetch_profile(const std::string &name, DocProfile &profile) const {
  void *blob = nullptr;
  size_t len = 0;
  if (!filestore_get_file(profile_store, name.c_str(), &blob, &len)) {
    error("could not retrieve profile for \"%s\" from profile store",
          name.c_str());
    myabort(0);
  }
  bool built = profile.read(static_cast<const char *>(blob), len);
  g_free(blob);
  if (!built) {
    error("could not build profile from stored data for document \"%s\"",
          name.c_str());
    // The index or a repository is damaged: say which store.
    fail_on_file(profile_store_name(directory), format_failure, 0);
  }
  if (!filestore_get_node(profile_store, name.c_str())->fresh) check_stored_terms(name, profile);
}

bool DataBase::try_fetch_profile(const std::string &name, DocProfile &profile) const {
  const FileStoreNode *node = filestore_get_node(profile_store, name.c_str());
  if (node == nullptr) return false;
  void *blob = filestore_try_read(profile_store, node);
  if (blob == nullptr) return false;
  bool built = profile.read(static_cast<const char *>(blob), node->size);
  g_free(blob);
  if (!built) return false;
  return node->fresh || first_unknown_term(profile) == nullptr;
}

const Feature *DataBase::first_unknown_term(const DocProfile &profile) const {
  for (const Feature &feature : profile.get_features())
    if (feature.term >= terms_at_open) return &feature;
  return nullptr;
}

// A profile stored by an earlier run that names a term beyond terms.dat was
// stored by a run whose vocabulary was lost; the ids it names would be given
// to other terms. Checked when the profile is read, so that opening a data
// directory does not read every profile.
void DataBase::check_stored_terms(const std::string &name, const DocProfile &profile) const {
  const Feature *unknown = first_unknown_term(profile);
  if (unknown == nullptr) return;
  // Either file may be the damaged one; name both.
  error("format error in profile store of `%s': document \"%s\" names "
        "term %lu of only %lu in `%s'",
        directory.c_str(), name.c_str(), static_cast<unsigned long>(unknown->term),
        terms_at_open, terms_file_name(directory).c_str());
  myabort(0);
}

DocProfile *DataBase::get_document_profile(const std::string &name) {
  mivo_assert(profile_store != nullptr);
  auto cached = docprof_table.find(name);
  if (cached != docprof_table.end()) return cached->second.get();
  std::unique_ptr<DocProfile> profile(new DocProfile);
  fetch_profile(name, *profile);
  prune_to_selection(*profile);
  DocProfile *result = profile.get();
  docprof_table.emplace(name, std::move(profile));
  return result;
}

// A flag per term id answers at once what a lookup in the ordered set of
// selected terms answers in some twenty steps, for every term of every
// document loaded.
void DataBase::set_selection(const std::set<unsigned long> &terms) {
  selection.assign(terms.empty() ? 0 : *terms.rbegin() + 1, false);
  for (unsigned long term : terms) selection[term] = true;
}

void DataBase::prune_to_selection(DocProfile &profile) {
  if (selection.empty()) return;
  const std::vector<bool> &flags = selection;
  profile.keep_terms([&flags](uint32_t term) { return term < flags.size() && flags[term]; });
}

void DataBase::peek_document_profile(const std::string &name,
                                     DocProfile &profile) {
  mivo_assert(profile_store != nullptr);
  fetch_profile(name, profile);
}

namespace {

// A stored profile read ahead, and whether it was read whole and sound.
struct Peeked {
  DocProfile profile;
  bool sound = false;
};

const size_t peek_batch = 256;

}  // namespace

// A phase that reads every stored profile spends much of its time finding
// and decoding them; the other thread does that a batch ahead.
void DataBase::peek_document_profiles(const std::vector<const std::string *> &names,
                                      const std::function<void(size_t, DocProfile &)> &use) {
  mivo_assert(profile_store != nullptr);
  auto peek = [this, &names](size_t begin, std::vector<Peeked> &batch) {
    batch.assign(std::min(peek_batch, names.size() - begin), Peeked());
    for (size_t k = 0; k < batch.size(); ++k)
      batch[k].sound = try_fetch_profile(*names[begin + k], batch[k].profile);
  };
  std::vector<Peeked> batch, next_batch;
  if (!names.empty()) peek(0, batch);
  for (size_t begin = 0; begin < names.size(); begin += peek_batch) {
    std::future<void> next;
    if (begin + peek_batch < names.size())
      next = std::async(std::launch::async, peek, begin + peek_batch, std::ref(next_batch));
    for (size_t k = 0; k < batch.size(); ++k) {
      Peeked &peeked = batch[k];
      if (!peeked.sound) {
        // Read again to report why, once the other thread has let the store be.
        if (next.valid()) next.wait();
        peeked.profile = DocProfile();
        fetch_profile(*names[begin + k], peeked.profile);
      }
      use(begin + k, peeked.profile);
    }
    if (next.valid()) next.get();
    batch.swap(next_batch);
  }
}

// A phase's profiles are a million small blocks: their pages go back to the
// system, so that the next phase's resident peak does not count them.
void DataBase::release_all_profiles() {
  docprof_table.clear();
  malloc_trim(0);
}

void DataBase::cleanup() { release_all_profiles(); }

void DataBase::sync() {
  mivo_assert(profile_store);
  save_vocabulary();
  filestore_sync(profile_store);
}

// Appends the new atoms, then the new terms, each made durable and then
// recorded in its side record; only then may profiles that name them become
// durable.
void DataBase::save_vocabulary() {
  saving_vocabulary = true;
  term_table.finish_check();
  atom_table.write();
  term_table.write();
  if (!sync_path(io_directory(), true)) fail_on_file(io_directory(), write_failure, errno);
  durable_terms = term_table.size();
  vocabulary_behind = false;
  saving_vocabulary = false;
}
