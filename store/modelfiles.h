// A stored model is several files (the class table, a profile and a weights
// file per class) that only make sense together, so they are replaced as one
// and every file is checked on reading against a small manifest that names
// each with its size and checksum.
#ifndef MIVO_STORE_MODELFILES_H
#define MIVO_STORE_MODELFILES_H

#include <map>
#include <string>

class ModelFiles {
 public:
  // The model of the data directory; reads its manifest when there is one
  // (data directories written before manifests existed have none).
  explicit ModelFiles(const std::string &directory);

  // Saving. add writes the file durably beside the old one, as path + ".tmp";
  // commit then replaces the manifest by rename, the moment at which the new
  // model takes the old one's place, and renames the files into place. A run
  // killed before that rename leaves the old model, one killed after it
  // leaves renames that the next reader finishes. Both end the run on failure.
  void add(const std::string &path, const std::string &text);
  void commit();

  // Reading. The text of a file of the model, checked against the manifest:
  // a file the manifest names that is missing or differs from its entry is
  // damage, reported naming it, and the run ends. Without a manifest a
  // missing file gives false when optional and ends the run otherwise.
  bool read(const std::string &path, std::string &text, bool optional);

 private:
  struct Entry {
    size_t size;
    std::string checksum;
  };
  static std::string checksum_of(const std::string &text);
  std::string manifest_path() const;
  bool load_manifest();
  // Renames into place the files of a committed save that a kill left at
  // their temporary names.
  void finish_renames();
  bool matches(const std::string &name, const std::string &text) const;

  std::string directory;
  bool have_manifest;
  // By file name within the directory: the stored model's, and those of the
  // save under way.
  std::map<std::string, Entry> entries;
  std::map<std::string, Entry> added;
};

#endif  // MIVO_STORE_MODELFILES_H
