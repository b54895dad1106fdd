#include "store/filestore.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

namespace fsys = std::filesystem;
using Records = std::map<std::string, std::string>;

namespace {

std::string slurp(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void spill(const std::string &path, const std::string &bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

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

Records contents(const FileStore *fs) {
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
  return records;
}

// Opens the store in a child process; its wait status tells how that went.
int open_in_child(const std::string &base) {
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    if (freopen("/dev/null", "w", stderr) == nullptr) _exit(2);
    alarm(10);  // a hang ends in a signal, not a stuck test
    filestore_close(filestore_open(base.c_str()));
    _exit(0);
  }
  int status;
  waitpid(pid, &status, 0);
  return status;
}

class FileStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    umask(022);
    dir = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fsys::remove_all(dir);
    fsys::create_directory(dir);
    base = dir + "/store";
  }
  void sparse_repository(unsigned int id, off_t length) {
    char suffix[8];
    snprintf(suffix, sizeof suffix, ".%03u", id);
    spill(base + suffix, "");
    ASSERT_EQ(0, truncate((base + suffix).c_str(), length));
  }
  std::string dir, base;
};

TEST_F(FileStoreTest, RecordsSurviveCloseAndReopen) {
  FileStore *fs = filestore_open(base.c_str());
  EXPECT_EQ("", slurp(base + ".idx"));
  EXPECT_FALSE(fsys::exists(base + ".000"));
  void *data = &fs;
  size_t len = 99;
  EXPECT_FALSE(filestore_get_file(fs, "absent", &data, &len));
  EXPECT_EQ(99u, len);
  put(fs, "doc", "first");
  put(fs, "empty", "");
  put(fs, "doc", "second");
  EXPECT_TRUE(filestore_file_exists(fs, "empty"));
  filestore_close(fs);

  // Nodes in post-order of the name tree; the put times are taken as found.
  std::string index = slurp(base + ".idx");
  ASSERT_EQ(50u, index.size());
  guint32 times[2];
  memcpy(&times[0], &index[26], 4);
  memcpy(&times[1], &index[46], 4);
  EXPECT_LE(std::abs(time(nullptr) - times[1]), 5);
  Index expected;
  expected.word(1).word(2).node("empty", 0, 5, 0, times[0]).node("doc", 0, 5, 6, times[1]);
  EXPECT_EQ(expected.bytes, index);
  EXPECT_EQ("firstsecond", slurp(base + ".000"));
  for (const char *suffix : {".idx", ".000"})
    EXPECT_EQ(0640u, unsigned(fsys::status(base + suffix).permissions()));

  fs = filestore_open(base.c_str());
  EXPECT_EQ((Records{{"doc", "second"}, {"empty", ""}}), contents(fs));
  EXPECT_EQ(6u, filestore_get_node(fs, "doc")->size);
  filestore_close(fs);
}

TEST_F(FileStoreTest, RecordsFillRepositoriesUpToTheLimit) {
  spill(base + ".idx", Index().word(1).word(0).bytes);
  sparse_repository(0, MAX_STORE_SIZE - 4);
  FileStore *fs = filestore_open(base.c_str());
  put(fs, "fits", "four");
  put(fs, "spills", "x");
  put(fs, "nothing", "");
  filestore_close(fs);
  fs = filestore_open(base.c_str());
  EXPECT_EQ((Records{{"fits", "four"}, {"spills", "x"}, {"nothing", ""}}), contents(fs));
  EXPECT_EQ(MAX_STORE_SIZE - 4, filestore_get_node(fs, "fits")->offset);
  EXPECT_EQ(1u, filestore_get_node(fs, "spills")->repository_id);
  EXPECT_EQ(0u, filestore_get_node(fs, "nothing")->repository_id);
  filestore_close(fs);
}

TEST_F(FileStoreTest, FullStoreEndsTheRun) {
  spill(base + ".idx", Index().word(MAX_NR_STORES).word(0).bytes);
  for (unsigned int id = 0; id < MAX_NR_STORES; ++id)
    sparse_repository(id, MAX_STORE_SIZE);
  EXPECT_EXIT(put(filestore_open(base.c_str()), "doc", "x"),
              ::testing::ExitedWithCode(1), "no room for record `doc'");
  EXPECT_FALSE(fsys::exists(base + ".008"));
}

TEST_F(FileStoreTest, DamagedStoresAreFormatErrors) {
  spill(base + ".000", "0123456789");
  const Index damaged[] = {
      Index().word(9).word(0),
      Index().word(1).word(1).node("doc", 8, 0, 1),
      Index().word(1).word(1).node("doc", 1, 0, 1),
      Index().word(1).word(1).node("doc", 0, 6, 5),
      Index().word(1).word(1).node("doc", 0, 0xfffffff0u, 1),
      Index().word(1).word(2).node("doc", 0, 0, 1),
  };
  for (const Index &index : damaged) {
    spill(base + ".idx", index.bytes);
    EXPECT_EXIT(filestore_open(base.c_str()), ::testing::ExitedWithCode(1),
                "format error in file `" + base + "\\.(idx|000)'");
  }
  spill(base + ".idx", Index().word(1).word(1).bytes + "doc");
  EXPECT_EXIT(filestore_open(base.c_str()), ::testing::ExitedWithCode(1), "format error");
  spill(base + ".idx", Index().word(2).word(0).bytes);
  EXPECT_EXIT(filestore_open(base.c_str()), ::testing::ExitedWithCode(ENOENT),
              "cannot open file `" + base + "\\.001' for reading");
}

TEST_F(FileStoreTest, TruncatedOrRandomIndexesNeverCrash) {
  spill(base + ".000", "abcdef");
  Index whole = Index().word(1).word(2).node("ab", 0, 0, 2).node("cdef", 0, 2, 4);
  for (size_t length = 1; length < whole.bytes.size(); ++length) {
    spill(base + ".idx", whole.bytes.substr(0, length));
    int status = open_in_child(base);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << length;
  }
  std::mt19937 rng(6);
  for (int round = 0; round < 300; ++round) {
    std::string bytes = Index().word(rng() % 2).word(rng() % 4).bytes;
    for (unsigned int n = rng() % 40; n > 0; --n)
      bytes += char(rng() % 4 == 0 ? 0 : rng());
    spill(base + ".idx", bytes.substr(rng() % 3 == 0 ? 4 : 0));
    int status = open_in_child(base);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 1) << round;
  }
}

// A crash leaves the files as they are at that moment: copies of them are
// what the next run finds.
TEST_F(FileStoreTest, UnsyncedPutsAreLostCleanly) {
  sparse_repository(0, MAX_STORE_SIZE - 8);
  spill(base + ".idx", Index().word(1).word(1).node("old", 0, 0, 0).bytes);
  FileStore *fs = filestore_open(base.c_str());
  put(fs, "small", "12345678");
  put(fs, "large", "in a new repository");
  std::string crashed = dir + "-crashed";
  fsys::remove_all(crashed);
  ASSERT_EQ(0, system(("cp -r --sparse=always " + dir + " " + crashed).c_str()));
  spill(crashed + "/store.idx.tmp", "torn");
  filestore_abandon(fs);

  fs = filestore_open((crashed + "/store").c_str());
  EXPECT_EQ((Records{{"old", ""}}), contents(fs));
  put(fs, "again", "reuses the orphan");
  filestore_close(fs);
  fs = filestore_open((crashed + "/store").c_str());
  EXPECT_EQ((Records{{"old", ""}, {"again", "reuses the orphan"}}), contents(fs));
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
  EXPECT_EXIT(disk_full(), ::testing::ExitedWithCode(EFBIG), "error writing file `.*idx.tmp'");
  fs = filestore_open(base.c_str());
  EXPECT_EQ(100u, contents(fs).size());
  filestore_close(fs);
}

std::string record_name(unsigned int k) { return "doc" + std::to_string(k % 41); }
std::string record_data(unsigned int k) { return std::string(k * 37 % 301, char(k)); }

Records state_after(unsigned int puts) {
  Records records;
  for (unsigned int k = 1; k <= puts; ++k) records[record_name(k)] = record_data(k);
  return records;
}

// The writer tells the test how many puts a sync covers, before and after it.
void tell(int fd, unsigned int puts, bool synced) {
  unsigned int marks[2] = {puts, synced};
  if (write(fd, marks, sizeof marks) != sizeof marks) _exit(2);
}

// A writer killed at random moments: every synced put is found, byte for
// byte, and nothing else but the puts of a sync that was under way.
TEST_F(FileStoreTest, KilledWriterLosesNoSyncedRecord) {
  std::mt19937 rng(42);
  unsigned int synced = 0;
  for (int round = 0; round < 200; ++round) {
    int pipe_fds[2];
    ASSERT_EQ(0, pipe(pipe_fds));
    pid_t pid = fork();
    if (pid == 0) {
      FileStore *fs = filestore_open(base.c_str());
      for (unsigned int k = synced + 1;; ++k) {
        put(fs, record_name(k), record_data(k));
        if (k % 4 != 0) continue;
        tell(pipe_fds[1], k, false);
        filestore_sync(fs);
        tell(pipe_fds[1], k, true);
      }
    }
    close(pipe_fds[1]);
    usleep(rng() % 20000);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    unsigned int marks[2], pending = synced;
    while (read(pipe_fds[0], marks, sizeof marks) == sizeof marks)
      (marks[1] ? synced : pending) = marks[0];
    close(pipe_fds[0]);
    FileStore *fs = filestore_open(base.c_str());
    Records found = contents(fs);
    filestore_close(fs);
    if (found != state_after(synced)) {
      ASSERT_TRUE(found == state_after(pending)) << "round " << round;
      synced = pending;
    }
  }
}

}  // namespace
