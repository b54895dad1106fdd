// The file store: many small named records kept back to back in a few large
// repository files, with a binary index that maps every name to its place.
// Records are appended and never removed; the index on disk changes only at a
// sync, and is replaced whole, so a crash leaves the last synced state intact.
#ifndef MIVO_STORE_FILESTORE_H
#define MIVO_STORE_FILESTORE_H

#include <glib.h>
#include <sys/types.h>

#include <cstddef>
#include <ctime>

// Repository files "%s.000" to "%s.007", each of at most 2^30 bytes.
const unsigned int MAX_NR_STORES = 8;
const off_t MAX_STORE_SIZE = off_t(1) << 30;

struct FileStore;

// One record: its bytes are size bytes at offset in repository repository_id.
struct FileStoreNode {
  char *name;
  unsigned int repository_id;
  off_t offset;
  size_t size;
  time_t time;  // when the record was put; stale_time for a stale one
  bool fresh;   // put by this process, not read from the index
};

// The put time of a stale record: one its writer wants made again by a
// later process. The index keeps no other flag, so the mark costs no change
// of format, and older readers take such a record as any other.
const time_t stale_time = 0;

// Opens the store with this base name, creating an empty index "%s.idx" when
// there is none. A damaged or unreadable store ends the run; never null.
FileStore *filestore_open(const char *name);
// Syncs, then releases the store and everything it holds.
void filestore_close(FileStore *fs);
// Releases the store without syncing: puts since the last sync are forgotten.
// For a run that ends before its records may become durable.
void filestore_abandon(FileStore *fs);
// Makes every put so far durable: repositories are flushed first, then the
// index is replaced atomically. A failure ends the run with the old index kept.
void filestore_sync(FileStore *fs);

gboolean filestore_file_exists(const FileStore *fs, const char *name);
// Appends a copy of the bytes and points the name at it; a record of the same
// name is replaced (its old bytes stay as dead space). Ends the run when no
// repository has room. A stale record is put with stale_time.
void filestore_put_file(FileStore *fs, const char *name, const void *data,
                        unsigned int len, bool stale = false);
// FALSE when there is no such record (data and len untouched); otherwise a new
// buffer, never null, that the caller releases with g_free.
gboolean filestore_get_file(const FileStore *fs, const char *name, void **data,
                            size_t *len);
// The record's bytes in a new buffer, released with g_free, or null when
// they cannot all be read. Reports nothing, so that a thread other than the
// run's may call it (no put or sync meanwhile): the caller meets the failure
// again through filestore_get_file, which reports it.
void *filestore_try_read(const FileStore *fs, const FileStoreNode *node);
// All names in the order of the index; the caller frees the list cells (with
// g_list_free), the names belong to the store.
GList *filestore_get_filenames(const FileStore *fs);
// The record's node, owned by the store; null when there is none.
const FileStoreNode *filestore_get_node(const FileStore *fs, const char *name);

#endif  // MIVO_STORE_FILESTORE_H
