// The profile database: the data directory that keeps everything a run learns
// for later runs (vocabulary, class table, one profile file per class, and the
// store of every document profile), plus a cache of the document profiles in
// use during training and testing.
#ifndef MIVO_STORE_DATABASE_H
#define MIVO_STORE_DATABASE_H

#include <sys/types.h>

#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "base/param.h"
#include "model/docprof.h"
#include "store/filestore.h"

struct ClassData;
class ModelFiles;

// Cached document profiles by document name, owned by the data base.
typedef std::map<std::string, std::unique_ptr<DocProfile>> DocProfTable;

class DataBase {
 public:
  DataBase();
  // Closes the profile store; when profiles were stored whose terms are not
  // yet safe in the vocabulary files, abandons those instead.
  ~DataBase();
  DataBase(const DataBase &) = delete;
  DataBase &operator=(const DataBase &) = delete;

  // Saves the vocabulary that stored profiles name, closes the profile store
  // and unlocks the directory. initialise may follow.
  void close();
  // Has close run as the process exits, before any global object goes, so
  // that a failure of the final close still reaches the event log: for a
  // data base that lives as long as the process; one per process.
  void close_at_exit();
  // Creates the directory if needed, locks it for this process, opens the
  // profile store and names the vocabulary files. Ends the run on failure.
  void initialise(const std::string &directory);
  // Loads the vocabulary left by earlier runs, and the class table with its
  // profiles when with_classes. Stored profiles are checked against the
  // vocabulary as they are read.
  void read(bool with_classes);
  // Saves the class table and every class profile when save is true, all
  // of them replacing the stored ones at once.
  void write(bool save);

  // True when the name is in the cache or in the profile store, unless an
  // earlier run stored it stale.
  bool have_document_profile(const std::string &name) const;
  // Stores the profile under name unless the name is cached; not cached. A
  // stale profile serves this run, but later runs make it again.
  void enter_document_profile(const std::string &name, DocProfile *profile,
                              bool stale = false);
  // The cached profile, loaded and pruned to the selected terms on first use.
  // Owned by the data base until release_all_profiles or cleanup.
  DocProfile *get_document_profile(const std::string &name);
  // From now on, profiles loaded into the cache keep only these terms; an
  // empty set means that no selection was made and keeps them all.
  void set_selection(const std::set<unsigned long> &terms);
  // The learner whose fields the class profile files hold (Winnow's until
  // set): files of one learner do not read as another's.
  void set_profile_format(AlgorithmType algorithm) { profile_format = algorithm; }
  // Appends the whole stored profile to the caller's profile; no cache.
  void peek_document_profile(const std::string &name, DocProfile &profile);
  // Hands use(k, profile) the whole stored profile of each names[k] in turn,
  // while a second thread reads and decodes the next ones: what
  // peek_document_profile does a name at a time, with the same errors, met
  // in the caller's thread. Nothing may be stored meanwhile.
  void peek_document_profiles(const std::vector<const std::string *> &names,
                              const std::function<void(size_t, DocProfile &)> &use);
  void release_all_profiles();
  // Releases the cache as the program ends.
  void cleanup();
  // Writes the new atoms and terms durably, then makes the profile store
  // durable, so that no stored profile names an unsaved term.
  void sync();

  DocProfTable::const_iterator get_docprof_table_begin() const {
    return docprof_table.begin();
  }
  DocProfTable::const_iterator get_docprof_table_end() const {
    return docprof_table.end();
  }
  size_t get_docprof_table_size() const { return docprof_table.size(); }

  // Whether the data directory held results of earlier runs at initialise.
  bool get_have_data() const { return have_data; }
  // Whether a class table is stored in the data directory.
  bool have_class_table() const;

 private:
  // The directory for system calls: the working directory has the empty name.
  std::string io_directory() const;
  // Closes the store, or abandons it when the vocabulary is behind; unlocks.
  void release();
  void lock_directory();
  void read_class_table(ModelFiles &model);
  // Every class profile, in class-table order, with its weights file.
  void read_class_profiles(ModelFiles &model);
  void save_vocabulary();
  void check_stored_terms(const std::string &name, const DocProfile &profile) const;
  // The profile's first feature naming a term beyond those at open, or null.
  const Feature *first_unknown_term(const DocProfile &profile) const;
  void fetch_profile(const std::string &name, DocProfile &profile) const;
  // What fetch_profile does, reporting nothing: false where it would fail.
  bool try_fetch_profile(const std::string &name, DocProfile &profile) const;
  // Prunes a profile being cached to the selection.
  void prune_to_selection(DocProfile &profile);

  bool have_data;
  std::string directory;
  DocProfTable docprof_table;
  FileStore *profile_store;
  int lock_fd;
  pid_t owner;  // the process that opened the directory
  // Terms known to be in terms.dat on disk; a profile naming a later term
  // must not become durable before the vocabulary is written.
  unsigned long durable_terms;
  unsigned long terms_at_open;  // what a profile stored before this run may name
  bool vocabulary_behind;
  bool saving_vocabulary;
  // The selected terms as a flag per term id; empty when no selection was
  // made.
  std::vector<bool> selection;
  AlgorithmType profile_format = Winnow;
};

extern DataBase database;

#endif  // MIVO_STORE_DATABASE_H
