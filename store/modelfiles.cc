#include "store/modelfiles.h"

#include <glib.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>

#include "base/eventlog.h"
#include "base/fileio.h"
#include "base/utils.h"
#include "store/filename.h"

namespace {

const char *const manifest_header = "mivo model 1";
const mode_t model_file_mode = 0664;

std::string name_within(const std::string &path) {
  std::string::size_type slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string directory_of(const std::string &directory) {
  return directory.empty() ? "." : directory;
}

// The whole file, or false when it cannot be read.
bool read_text(const std::string &path, std::string &text) {
  gchar *contents = nullptr;
  gsize len = 0;
  if (!g_file_get_contents(path.c_str(), &contents, &len, nullptr)) return false;
  text.assign(contents, len);
  g_free(contents);
  return true;
}

}  // namespace

ModelFiles::ModelFiles(const std::string &dir) : directory(dir), have_manifest(false) {
  have_manifest = load_manifest();
  if (have_manifest) finish_renames();
}

std::string ModelFiles::checksum_of(const std::string &text) {
  gchar *sum = g_compute_checksum_for_data(
      G_CHECKSUM_SHA256, reinterpret_cast<const guchar *>(text.data()), text.size());
  std::string result(sum);
  g_free(sum);
  return result;
}

std::string ModelFiles::manifest_path() const { return model_file_name(directory); }

bool ModelFiles::load_manifest() {
  std::string text;
  if (!file_exists(manifest_path())) return false;
  if (!read_text(manifest_path(), text)) fail_on_file(manifest_path(), open_for_reading, errno);
  std::istringstream is(text);
  std::string line;
  if (!std::getline(is, line) || line != manifest_header)
    fail_on_file(manifest_path(), format_failure, 0);
  while (std::getline(is, line)) {
    std::istringstream fields(line);
    std::string name;
    Entry entry;
    if (!(fields >> name >> entry.size >> entry.checksum) || entry.checksum.size() != 64)
      fail_on_file(manifest_path(), format_failure, 0);
    entries[name] = entry;
  }
  return true;
}

bool ModelFiles::matches(const std::string &name, const std::string &text) const {
  auto entry = entries.find(name);
  return entry != entries.end() && entry->second.size == text.size() &&
         entry->second.checksum == checksum_of(text);
}

void ModelFiles::add(const std::string &path, const std::string &text) {
  write_fresh_file(path + ".tmp", path, text, model_file_mode);
  added[name_within(path)] = Entry{text.size(), checksum_of(text)};
}

void ModelFiles::commit() {
  std::string dir = directory_of(directory);
  // The new files must be on disk before the manifest that names them.
  if (!sync_path(dir, true)) fail_on_file(dir, write_failure, errno);
  std::ostringstream manifest;
  manifest << manifest_header << '\n';
  for (const auto &entry : added)
    manifest << entry.first << '\t' << entry.second.size << '\t' << entry.second.checksum << '\n';
  replace_file(manifest_path(), manifest.str(), model_file_mode);
  have_manifest = true;
  entries.swap(added);
  added.clear();
  finish_renames();
}

void ModelFiles::finish_renames() {
  bool renamed = false;
  for (const auto &entry : entries) {
    std::string path = PathName(directory, entry.first).get();
    std::string temporary = path + ".tmp", text;
    // A temporary file that is not the one named is left from a save that
    // never committed; the next save removes it.
    if (!file_exists(temporary) || !read_text(temporary, text) || !matches(entry.first, text))
      continue;
    if (rename(temporary.c_str(), path.c_str()) != 0) fail_on_file(path, write_failure, errno);
    renamed = true;
  }
  std::string dir = directory_of(directory);
  if (renamed && !sync_path(dir, true)) fail_on_file(dir, write_failure, errno);
}

bool ModelFiles::read(const std::string &path, std::string &text, bool optional) {
  std::string name = name_within(path);
  bool named = have_manifest && entries.count(name) != 0;
  if (!read_text(path, text)) {
    if (!named && optional && !file_exists(path)) return false;
    if (named) error("file `%s' of the stored model is missing or unreadable", path.c_str());
    fail_on_file(path, open_for_reading, errno);
  }
  if (have_manifest && !matches(name, text)) {
    error("file `%s' does not belong to the stored model (damaged, or left by another save)",
          path.c_str());
    fail_on_file(path, format_failure, 0);
  }
  return true;
}
