#include "store/filestore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/eventlog.h"
#include "base/fileio.h"

struct Repository {
  off_t size;  // current length, where the next record goes
  int fd;
};

struct FileStore {
  char *name;
  unsigned int nr_stores;
  Repository stores[MAX_NR_STORES];
  GTree *tree;  // record name -> FileStoreNode
  bool dirty;   // puts not yet in the index on disk
  // A repository file was created since the directory was last flushed: its
  // entry must be durable before an index that refers to it.
  bool new_repository;
  // A write failed and the run is ending: nothing more is written, so the
  // index on disk stays the last good one.
  bool failed;
};

namespace {

const mode_t store_file_mode = 0640;
const size_t word_size = 4;

char *index_path(const FileStore *fs) {
  return g_strdup_printf("%s.idx", fs->name);
}

char *temporary_index_path(const FileStore *fs) {
  return g_strdup_printf("%s.idx.tmp", fs->name);
}

char *repository_path(const FileStore *fs, unsigned int id) {
  return g_strdup_printf("%s.%03d", fs->name, static_cast<int>(id));
}

// Ends the run on a file error of path (which it frees), with the errno of
// the moment. The store, when given, is marked failed so that the close on
// the way out writes nothing.
[[noreturn]] void fail(FileStore *fs, char *path, FileErrors kind, int number = errno) {
  if (fs != nullptr) fs->failed = true;
  std::string name(path);
  g_free(path);
  fail_on_file(name, kind, number);
}

[[noreturn]] void format_error(char *path, const char *reason) {
  log_formatted_results(1, "%s: %s", path, reason);
  fail(nullptr, path, format_failure, 0);
}

int compare_names(gconstpointer a, gconstpointer b) {
  return strcmp(static_cast<const char *>(a), static_cast<const char *>(b));
}

void walk_post_order(GTree *tree, GTraverseFunc func, gpointer data) {
  // The index has always been written in post-order; keep its order.
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  g_tree_traverse(tree, func, G_POST_ORDER, data);
  G_GNUC_END_IGNORE_DEPRECATIONS
}

// Reads len bytes at offset; returns how many it got before end of file, or
// -1 on error.
ssize_t read_data(int fd, void *data, size_t len, off_t offset) {
  char *pos = static_cast<char *>(data);
  size_t got = 0;
  while (got < len) {
    ssize_t done = pread(fd, pos + got, len - got, offset + got);
    if (done < 0 && errno == EINTR) continue;
    if (done < 0) return -1;
    if (done == 0) break;
    got += static_cast<size_t>(done);
  }
  return static_cast<ssize_t>(got);
}

// The record's bytes in a new buffer of one byte at least, so that an empty
// record is not mistaken for a failure; got is what read_data returned.
void *read_record(const FileStore *fs, const FileStoreNode *node, ssize_t &got) {
  void *buffer = g_malloc(node->size > 0 ? node->size : 1);
  got = read_data(fs->stores[node->repository_id].fd, buffer, node->size, node->offset);
  return buffer;
}

void sync_directory(FileStore *fs) {
  char *dir = g_path_get_dirname(fs->name);
  int fd = open(dir, O_RDONLY | O_DIRECTORY);
  if (fd < 0) fail(fs, dir, open_for_reading);
  // Some file systems cannot flush a directory; there is nothing more to do.
  if (!sync_file(fd) && errno != EINVAL) fail(fs, dir, write_failure);
  close(fd);
  g_free(dir);
}

// ---- The index: a 32-bit count of repositories and of nodes, then the nodes.

struct IndexReader {
  char *path;
  const char *pos;
  const char *end;
};

guint32 read_word(IndexReader &in) {
  if (static_cast<size_t>(in.end - in.pos) < word_size)
    format_error(in.path, "the index ends inside a number");
  guint32 value;
  memcpy(&value, in.pos, word_size);
  in.pos += word_size;
  return value;
}

unsigned int read_unsigned(IndexReader &in) { return read_word(in); }
off_t read_off_t(IndexReader &in) { return static_cast<gint32>(read_word(in)); }
size_t read_size_t(IndexReader &in) { return read_word(in); }
time_t read_time_t(IndexReader &in) { return static_cast<gint32>(read_word(in)); }

char *read_str(IndexReader &in) {
  const void *nul = memchr(in.pos, '\0', in.end - in.pos);
  if (nul == nullptr) format_error(in.path, "the index ends inside a name");
  char *name = g_strdup(in.pos);
  in.pos = static_cast<const char *>(nul) + 1;
  return name;
}

void write_word(GString *out, guint32 value) {
  g_string_append_len(out, reinterpret_cast<const char *>(&value), word_size);
}

void write_unsigned(GString *out, unsigned int value) { write_word(out, value); }
void write_off_t(GString *out, off_t value) {
  write_word(out, static_cast<guint32>(value));
}
void write_size_t(GString *out, size_t value) {
  write_word(out, static_cast<guint32>(value));
}
void write_time_t(GString *out, time_t value) {
  write_word(out, static_cast<guint32>(value));
}
void write_str(GString *out, const char *name) {
  g_string_append_len(out, name, strlen(name) + 1);
}

gboolean idx_write_func(gpointer, gpointer value, gpointer data) {
  const FileStoreNode *node = static_cast<const FileStoreNode *>(value);
  GString *out = static_cast<GString *>(data);
  write_str(out, node->name);
  write_unsigned(out, node->repository_id);
  write_off_t(out, node->offset);
  write_size_t(out, node->size);
  write_time_t(out, node->time);
  return FALSE;
}

gboolean fs_free_func(gpointer, gpointer value, gpointer) {
  FileStoreNode *node = static_cast<FileStoreNode *>(value);
  g_free(node->name);
  g_free(node);
  return FALSE;
}

// Points name at the given place. A node already under that name is updated in
// place: the tree's key is the node's own name and must stay valid.
void enter_node(FileStore *fs, const char *name, unsigned int repository_id,
                off_t offset, size_t size, time_t time, bool fresh) {
  FileStoreNode *node =
      static_cast<FileStoreNode *>(g_tree_lookup(fs->tree, name));
  if (node == nullptr) {
    node = g_new0(FileStoreNode, 1);
    node->name = g_strdup(name);
    g_tree_insert(fs->tree, node->name, node);
  }
  node->repository_id = repository_id;
  node->offset = offset;
  node->size = size;
  node->time = time;
  node->fresh = fresh;
}

void read_node(FileStore *fs, IndexReader &in) {
  char *name = read_str(in);
  unsigned int repository_id = read_unsigned(in);
  off_t offset = read_off_t(in);
  size_t size = read_size_t(in);
  time_t time = read_time_t(in);
  if (repository_id >= fs->nr_stores)
    format_error(in.path, "a record names a repository beyond the last");
  if (offset < 0) format_error(in.path, "a record has a negative offset");
  enter_node(fs, name, repository_id, offset, size, time, false);
  g_free(name);
}

void parse_index(FileStore *fs, char *path, const char *contents, size_t len) {
  IndexReader in = {path, contents, contents + len};
  fs->nr_stores = read_unsigned(in);
  if (fs->nr_stores > MAX_NR_STORES)
    format_error(path, "the index counts more repositories than there can be");
  unsigned int count = read_unsigned(in);
  for (unsigned int i = 0; i < count; ++i) read_node(fs, in);
}

void open_repository(FileStore *fs, unsigned int id, int flags) {
  char *path = repository_path(fs, id);
  int fd = open(path, flags, store_file_mode);
  if (fd < 0) fail(fs, path, flags & O_CREAT ? open_for_writing : open_for_reading);
  fs->stores[id].fd = fd;
  g_free(path);
}

gboolean check_node_extent(gpointer, gpointer value, gpointer data) {
  const FileStoreNode *node = static_cast<const FileStoreNode *>(value);
  const FileStore *fs = static_cast<const FileStore *>(data);
  const Repository &repository = fs->stores[node->repository_id];
  if (node->offset + static_cast<off_t>(node->size) > repository.size)
    format_error(repository_path(fs, node->repository_id),
                 "a record ends beyond the end of its repository");
  return FALSE;
}

void open_repositories(FileStore *fs) {
  for (unsigned int id = 0; id < fs->nr_stores; ++id) {
    open_repository(fs, id, O_RDWR);
    struct stat st;
    if (fstat(fs->stores[id].fd, &st) != 0)
      fail(fs, repository_path(fs, id), read_failure);
    fs->stores[id].size = st.st_size;
  }
  g_tree_foreach(fs->tree, check_node_extent, fs);
}

// Reads an existing index, or creates an empty one for a new store.
void load_index(FileStore *fs) {
  char *path = index_path(fs);
  int fd = open(path, O_RDONLY | O_CREAT, store_file_mode);
  if (fd < 0) fail(fs, path, open_for_reading);
  close(fd);
  gchar *contents = nullptr;
  gsize len = 0;
  if (!g_file_get_contents(path, &contents, &len, nullptr))
    fail(fs, path, read_failure);
  if (len > 0) parse_index(fs, path, contents, len);
  g_free(contents);
  g_free(path);
}

void write_index(FileStore *fs) {
  GString *out = g_string_sized_new(1024);
  write_unsigned(out, fs->nr_stores);
  write_unsigned(out, g_tree_nnodes(fs->tree));
  walk_post_order(fs->tree, idx_write_func, out);

  char *temporary = temporary_index_path(fs);
  int fd = create_fresh(temporary, store_file_mode);
  if (fd < 0) fail(fs, temporary, open_for_writing);
  if (!write_all(fd, out->str, out->len) || !sync_file(fd)) {
    int number = errno;
    close(fd);
    unlink(temporary);
    fail(fs, temporary, write_failure, number);
  }
  if (close(fd) != 0) fail(fs, temporary, write_failure);
  g_string_free(out, TRUE);

  char *path = index_path(fs);
  if (rename(temporary, path) != 0) fail(fs, path, write_failure);
  g_free(path);
  g_free(temporary);
  sync_directory(fs);
}

// The lowest repository with room for len more bytes, starting a new one when
// none has; ends the run when all are full.
unsigned int choose_repository(FileStore *fs, const char *name,
                               unsigned int len) {
  for (unsigned int id = 0; id < fs->nr_stores; ++id)
    if (fs->stores[id].size + static_cast<off_t>(len) <= MAX_STORE_SIZE)
      return id;
  if (fs->nr_stores == MAX_NR_STORES || static_cast<off_t>(len) > MAX_STORE_SIZE) {
    error("no room for record `%s' of %u bytes in file store `%s'", name, len,
          fs->name);
    myabort(0);
  }
  unsigned int id = fs->nr_stores;
  // A file left by a put that was never synced holds nothing the index
  // refers to; it is reused from its start.
  open_repository(fs, id, O_RDWR | O_CREAT);
  fs->stores[id].size = 0;
  fs->nr_stores = id + 1;
  fs->new_repository = true;
  return id;
}

void release(FileStore *fs) {
  walk_post_order(fs->tree, fs_free_func, nullptr);
  g_tree_destroy(fs->tree);
  g_free(fs->name);
  g_free(fs);
}

}  // namespace

FileStore *filestore_open(const char *name) {
  mivo_assert(name != nullptr);
  FileStore *fs = g_new0(FileStore, 1);
  fs->name = g_strdup(name);
  for (Repository &repository : fs->stores) repository = {-1, -1};
  fs->tree = g_tree_new(compare_names);
  load_index(fs);
  open_repositories(fs);
  return fs;
}

void filestore_sync(FileStore *fs) {
  mivo_assert(fs != nullptr);
  if (fs->failed || !fs->dirty) return;
  for (unsigned int id = 0; id < fs->nr_stores; ++id)
    if (fs->stores[id].fd >= 0 && !sync_file(fs->stores[id].fd))
      fail(fs, repository_path(fs, id), write_failure);
  if (fs->new_repository) sync_directory(fs);
  fs->new_repository = false;
  write_index(fs);
  fs->dirty = false;
}

void filestore_close(FileStore *fs) {
  mivo_assert(fs != nullptr);
  filestore_sync(fs);
  for (unsigned int id = 0; id < fs->nr_stores; ++id) {
    int fd = fs->stores[id].fd;
    fs->stores[id].fd = -1;
    if (fd >= 0 && close(fd) != 0 && !fs->failed)
      fail(fs, repository_path(fs, id), write_failure);
  }
  release(fs);
}

void filestore_abandon(FileStore *fs) {
  mivo_assert(fs != nullptr);
  for (unsigned int id = 0; id < fs->nr_stores; ++id)
    if (fs->stores[id].fd >= 0) close(fs->stores[id].fd);
  release(fs);
}

gboolean filestore_file_exists(const FileStore *fs, const char *name) {
  return filestore_get_node(fs, name) != nullptr;
}

void filestore_put_file(FileStore *fs, const char *name, const void *data,
                        unsigned int len, bool stale) {
  mivo_assert(fs != nullptr);
  mivo_assert(name != nullptr);
  mivo_assert(data != nullptr);
  unsigned int id = choose_repository(fs, name, len);
  Repository &repository = fs->stores[id];
  if (!write_all(repository.fd, data, len, repository.size))
    fail(fs, repository_path(fs, id), write_failure);
  enter_node(fs, name, id, repository.size, len, stale ? stale_time : time(nullptr), true);
  repository.size += len;
  fs->dirty = true;
}

gboolean filestore_get_file(const FileStore *fs, const char *name, void **data,
                            size_t *len) {
  mivo_assert(data != nullptr);
  mivo_assert(len != nullptr);
  const FileStoreNode *node = filestore_get_node(fs, name);
  if (node == nullptr) return FALSE;
  ssize_t got;
  void *buffer = read_record(fs, node, got);
  if (got < 0 || static_cast<size_t>(got) < node->size) {
    g_free(buffer);
    // Shorter than at open: the file was cut while the store was open.
    char *path = repository_path(fs, node->repository_id);
    if (got < 0) fail(nullptr, path, read_failure);
    format_error(path, "a record ends beyond the end of its repository");
  }
  *data = buffer;
  *len = node->size;
  return TRUE;
}

void *filestore_try_read(const FileStore *fs, const FileStoreNode *node) {
  ssize_t got;
  void *buffer = read_record(fs, node, got);
  if (got >= 0 && static_cast<size_t>(got) == node->size) return buffer;
  g_free(buffer);
  return nullptr;
}

namespace {

gboolean prepend_name(gpointer key, gpointer, gpointer data) {
  GList **names = static_cast<GList **>(data);
  *names = g_list_prepend(*names, key);
  return FALSE;
}

}  // namespace

GList *filestore_get_filenames(const FileStore *fs) {
  mivo_assert(fs != nullptr);
  // Prepending and reversing once keeps the walk linear in the number of names.
  GList *names = nullptr;
  walk_post_order(fs->tree, prepend_name, &names);
  return g_list_reverse(names);
}

const FileStoreNode *filestore_get_node(const FileStore *fs, const char *name) {
  mivo_assert(fs != nullptr);
  mivo_assert(name != nullptr);
  return static_cast<const FileStoreNode *>(g_tree_lookup(fs->tree, name));
}
