#include "store/filestore.h"

#include <sys/resource.h>

#include <filesystem>

#include "tests/child_run.h"
#include "tests/fsync_seam.h"

namespace fsys = std::filesystem;
using ::testing::ExitedWithCode;
using Records = std::map<std::string, std::string>;

namespace {

// Index bytes as the store writes them: 32-bit words and NUL-ended names.
struct Index {
  std::string bytes;
  Index &word(guint32 value) {
    bytes.append(reinterpret_cast<const char *>(&value), 4);
    return *this;
  }
  Index &node(const std::string &name, guint32 id, guint32 offset, guint32 size,
              guint32 time = 7) {
    bytes.append(name.c_str(), name.size() + 1);
    return word(id).word(offset).word(size).word(time);
  }
};

void put(FileStore *fs, const std::string &name, const std::string &data) {
  filestore_put_file(fs, name.c_str(), data.data(), data.size());
}

Records contents(const std::string &base) {
  FileStore *fs = filestore_open(base.c_str());
  Records records;
  GList *names = filestore_get_filenames(fs);
  for (GList *cell = names; cell != nullptr; cell = cell->next) {
    void *data;
    size_t len;
    EXPECT_TRUE(filestore_get_file(fs, static_cast<char *>(cell->data), &data, &len));
    records[static_cast<char *>(cell->data)].assign(static_cast<char *>(data), len);
    g_free(data);
  }
  g_list_free(names);
  filestore_close(fs);
  return records;
}

class FileStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    umask(022);
    dir = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fresh_directory(dir);
    base = dir + "/store";
  }
  void sparse_repository(unsigned int id, off_t length) {
    std::string path = base + ".00" + std::to_string(id);
    std::ofstream{path};
    ASSERT_EQ(0, truncate(path.c_str(), length));
  }
  std::string dir, base;
};

TEST_F(FileStoreTest, RecordsSurviveCloseAndReopen) {
  FileStore *fs = filestore_open(base.c_str());
  put(fs, "doc", "first");
  filestore_put_file(fs, "empty", "", 0, true);  // stale: the index says so
  put(fs, "doc", "second");
  filestore_close(fs);

  // Nodes in post-order of the name tree; the put times are taken as found.
  std::string index = file_text(base + ".idx");
  ASSERT_EQ(50u, index.size());
  guint32 put_time;
  memcpy(&put_time, &index[46], 4);
  EXPECT_LE(std::abs(time(nullptr) - put_time), 5);
  Index expected;
  expected.word(1).word(2).node("empty", 0, 5, 0, stale_time).node("doc", 0, 5, 6, put_time);
  EXPECT_EQ(expected.bytes, index);
  EXPECT_EQ("firstsecond", file_text(base + ".000"));
  for (const char *suffix : {".idx", ".000"})
    EXPECT_EQ(0640u, unsigned(fsys::status(base + suffix).permissions()));
  EXPECT_EQ((Records{{"doc", "second"}, {"empty", ""}}), contents(base));
}

TEST_F(FileStoreTest, RepositoriesFillUpToTheirLimit) {
  std::ofstream(base + ".idx") << Index().word(1).word(0).bytes;
  sparse_repository(0, MAX_STORE_SIZE - 4);
  FileStore *fs = filestore_open(base.c_str());
  put(fs, "fits", "four");
  put(fs, "spills", "x");
  put(fs, "nothing", "");
  EXPECT_EQ(MAX_STORE_SIZE - 4, filestore_get_node(fs, "fits")->offset);
  EXPECT_EQ(1u, filestore_get_node(fs, "spills")->repository_id);
  EXPECT_EQ(0u, filestore_get_node(fs, "nothing")->repository_id);
  filestore_close(fs);
  EXPECT_EQ((Records{{"fits", "four"}, {"spills", "x"}, {"nothing", ""}}), contents(base));

  std::ofstream(base + ".idx") << Index().word(MAX_NR_STORES).word(0).bytes;
  for (unsigned int id = 0; id < MAX_NR_STORES; ++id)
    sparse_repository(id, MAX_STORE_SIZE);
  EXPECT_EXIT(put(filestore_open(base.c_str()), "doc", "x"), ExitedWithCode(1),
              "no room for record `doc'");
  EXPECT_FALSE(fsys::exists(base + ".008"));
}

// Damaged and cut indexes end in a clean exit with a format error. (Random
// ones are the index fuzz target's.)
TEST_F(FileStoreTest, DamagedIndexesStopTheRunCleanly) {
  std::ofstream(base + ".000") << "0123456789";
  std::vector<std::string> damaged = {
      Index().word(9).word(0).bytes,
      Index().word(1).word(1).node("doc", 8, 0, 1).bytes,
      Index().word(1).word(1).node("doc", 1, 0, 1).bytes,
      Index().word(1).word(1).node("doc", 0, 6, 5).bytes,
      Index().word(1).word(1).node("doc", 0, 0xfffffff0u, 1).bytes,
      Index().word(1).word(1).bytes + "doc"};
  std::string whole = Index().word(1).word(2).node("ab", 0, 0, 2).node("cdef", 0, 2, 6).bytes;
  for (size_t length = 1; length < whole.size(); ++length) damaged.push_back(whole.substr(0, length));
  for (size_t i = 0; i < damaged.size(); ++i) {
    std::ofstream(base + ".idx") << damaged[i];
    EXPECT_EXIT(filestore_open(base.c_str()), ExitedWithCode(1), "format error in file") << i;
  }
  std::ofstream(base + ".idx") << damaged[3];
  EXPECT_EXIT(filestore_open(base.c_str()), ExitedWithCode(1), "format error in file `" + base + ".000'");
  std::ofstream(base + ".idx") << Index().word(2).word(0).bytes;
  EXPECT_EXIT(filestore_open(base.c_str()), ExitedWithCode(ENOENT),
              "cannot open file `" + base + ".001' for reading");
}

// Before the new index may replace the old one, the repositories it points
// into, a new repository's directory entry and the new index itself reach
// the disk; then the rename is made durable.
TEST_F(FileStoreTest, SyncFlushesRecordsBeforeTheIndexThatNamesThem) {
  FileStore *fs = filestore_open(base.c_str());
  put(fs, "doc", "bytes");
  seam_calls.clear();
  filestore_sync(fs);
  EXPECT_EQ((std::vector<std::string>{"fsync store.000", "fsync " + dir, "fsync store.idx.tmp",
                                      "rename store.idx", "fsync " + dir}),
            seam_calls);
  filestore_close(fs);
}

TEST_F(FileStoreTest, FailedIndexWriteKeepsTheOldIndex) {
  FileStore *fs = filestore_open(base.c_str());
  for (int i = 0; i < 100; ++i) put(fs, std::string(90, 'a') + std::to_string(i), "");
  filestore_close(fs);
  auto disk_full = [&] {
    static struct Closer {
      FileStore *fs;
      ~Closer() { filestore_close(fs); }  // as the data base does on the way out
    } closer{filestore_open(base.c_str())};
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit = {4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    put(closer.fs, "new", "x");
    filestore_sync(closer.fs);
  };
  EXPECT_EXIT(disk_full(), ExitedWithCode(EFBIG), "error writing file `.*idx.tmp'");
  EXPECT_EQ(100u, contents(base).size());
}

std::string record_name(unsigned int k) { return "doc" + std::to_string(k % 41); }
std::string record_data(unsigned int k) { return std::string(k * 37 % 301, char(k)); }

Records state_after(unsigned int puts) {
  Records records;
  for (unsigned int k = 1; k <= puts; ++k) records[record_name(k)] = record_data(k);
  return records;
}

// A writer killed at random moments: every synced put is found, byte for
// byte, and nothing that was put after the last sync.
TEST_F(FileStoreTest, KilledWriterLosesNoSyncedRecord) {
  std::mt19937 rng(42);
  unsigned int synced = 0;
  for (int round = 0; round < 200; ++round) {
    synced = kill_after_random_pause(rng, synced, [&](int fd) {
      FileStore *fs = filestore_open(base.c_str());
      for (unsigned int k = synced + 1;; ++k) {
        put(fs, record_name(k), record_data(k));
        if (k % 4 != 0) continue;
        filestore_sync(fs);
        report_done(fd, k);
      }
    });
    // The kill may come after a sync and before it was told.
    Records found = contents(base);
    if (found != state_after(synced)) synced += 4;
    ASSERT_TRUE(found == state_after(synced)) << "round " << round;
  }
}

}  // namespace
