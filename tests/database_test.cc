#include "store/database.h"

#include "base/eventlog.h"
#include "base/utils.h"
#include "model/classtab.h"
#include "model/termtab.h"
#include "tests/child_run.h"
#include "tests/fsync_seam.h"

namespace {

typedef std::vector<std::string> Words;

// As a run opens its data directory (closed as the process exits) and reads
// the vocabulary, with the class table too when asked.
void open_database(const std::string &directory, bool read = false, bool classes = false) {
  database.initialise(directory);
  database.close_at_exit();
  if (read) database.read(classes);
}

// A profile of head-only terms, one occurrence each, entering the words.
DocProfile profile_of(const Words &words) {
  DocProfile profile;
  for (const std::string &word : words)
    profile.enter_term(term_table.enter(atom_table.enter(word), NoId), 1);
  return profile;
}

Words stored_words(const std::string &name) {
  DocProfile profile;
  database.peek_document_profile(name, profile);
  Words words;
  for (const Feature &feature : profile.get_features())
    words.push_back(atom_text(term_table.get_term(feature.term).head));
  return words;
}

TEST(DataBaseTest, ASecondRunFindsVocabularyClassesAndProfiles) {
  ASSERT_EQ(0, system("rm -rf reuse"));
  ASSERT_EQ(0, run_in_child([] {
    open_database("reuse");
    EXPECT_FALSE(database.get_have_data());
    database.read(false);
    DocProfile a = profile_of({"car", "red", "fast"});
    database.enter_document_profile("a", &a);
    class_table.enter_class("reuse", 0);
    uint32_t cars = class_table.enter_on_full_name("vehicles/cars", 0);
    class_table.get_data(cars).sum_freq = 3;
    class_table.get_profile(cars).features[0].term_freq = 3;
    class_table.get_profile(cars).features[0].weight = 0.1 + 0.2;
    database.sync();
    database.write(true);
  }));
  // A directory written before models had a manifest, and whose profiles
  // have no weights files, still reads.
  EXPECT_EQ(0, std::remove("reuse/class1.cpw"));
  EXPECT_EQ(0, std::remove("reuse/model"));
  EXPECT_EQ(0, run_in_child([] {
    open_database("reuse");
    EXPECT_TRUE(database.get_have_data());
    database.read(true);
    ASSERT_EQ(3u, class_table.size());
    EXPECT_EQ(3u, class_table.get_data(2).sum_freq);
    EXPECT_EQ(3u, class_table.get_profile(2).get_feature(0)->term_freq);
    EXPECT_EQ(0.1 + 0.2, class_table.get_profile(2).get_feature(0)->weight);
    EXPECT_EQ(Words({"car", "red", "fast"}), stored_words("a"));
  }));
}

// Damage to a stored profile is an error naming the document and the file,
// when the profile is read: a profile naming a term beyond terms.dat (it
// would take the meaning of whatever term gets that id next), a blob of the
// wrong size, a flipped bit.
TEST(DataBaseTest, ADamagedStoredProfileIsAnError) {
  const struct { const char *damage, *message; } cases[] = {
      {"beyond", "document \"doc\" names term 7 of only 0 in `beyond/terms.dat'"},
      {"size", "document \"doc\"(.|\n)*format error in file `size/profile-store'"},
      {"bit", "document \"doc\"(.|\n)*format error in file `bit/profile-store'"},
  };
  for (const auto &c : cases) {
    fresh_directory(c.damage);
    FileStore *store = filestore_open((std::string(c.damage) + "/profile-store").c_str());
    DocProfile doc;
    doc.enter_term(7, 1);
    char *blob;
    size_t len;
    doc.write(&blob, &len);
    if (std::string(c.damage) == "bit") blob[5] ^= 4;
    filestore_put_file(store, "doc", blob, std::string(c.damage) == "size" ? 3 : len);
    g_free(blob);
    filestore_close(store);
    // Read among others ahead by a second thread, it is reported from the first.
    std::string name = "doc";
    std::vector<const std::string *> names(300, &name);
    EXPECT_EXIT((open_database(c.damage, true),
                 database.peek_document_profiles(names, [](size_t, DocProfile &) {})),
                testing::ExitedWithCode(1), c.message);
  }
}

// A first run killed between creating atoms.dat and terms.dat leaves a
// directory that the next run opens with no terms; a profile stored with
// terms that were lost is still refused.
TEST(DataBaseTest, AMissingTermsFileAfterTheFirstSaveMeansNoTerms) {
  fresh_directory("torn");
  for (int run = 0; run < 2; ++run) {
    EXPECT_EQ(0, run_in_child([run] {
      open_database("torn", true);
      EXPECT_EQ(run == 0 ? 0UL : 2UL, atom_table.size());
      EXPECT_EQ(0UL, term_table.size());
      DocProfile profile = profile_of({"car", "red"});
      database.enter_document_profile("a", &profile);
      database.sync();
    }));
    if (run == 0) {
      ASSERT_EQ(0, system("rm -f torn/terms.* torn/profile-store.*"));
    }
  }
  EXPECT_EQ("car\nred\n", file_text("torn/atoms.dat"));
  std::string terms = file_text("torn/terms.dat");
  EXPECT_EQ(2, std::count(terms.begin(), terms.end(), '\n'));
  // Lost with its side record left, the file is missing, not empty.
  ASSERT_EQ(0, unlink("torn/terms.dat"));
  EXPECT_EXIT(open_database("torn", true), failed_run, "cannot open file `torn/terms.dat'");
  ASSERT_EQ(0, unlink("torn/terms.sum"));
  EXPECT_EXIT((open_database("torn", true), database.get_document_profile("a")),
              testing::ExitedWithCode(1), "document \"a\" names term 0 of only 0");
}

// An abort after profiles were stored still saves their vocabulary and keeps
// them; when the vocabulary cannot be saved, the store is abandoned instead.
TEST(DataBaseTest, AnAbortKeepsProfilesOnlyWithTheirVocabulary) {
  fresh_directory("abort");
  EXPECT_EQ(1, run_in_child([] {
    open_database("abort", true);
    DocProfile kept = profile_of({"kept"});
    database.enter_document_profile("kept", &kept);
    myabort(0);
  }));
  EXPECT_EQ("kept\n", file_text("abort/atoms.dat"));
  EXPECT_EQ(1, run_in_child([] {
    open_database("abort", true);
    EXPECT_EQ(Words({"kept"}), stored_words("kept"));
    DocProfile lost = profile_of({"lost"});
    database.enter_document_profile("lost", &lost);
    // Another hand changes atoms.dat: this run must not append to it.
    std::ofstream("abort/atoms.dat", std::ios::app) << "intruder\n";
    myabort(0);
  }));
  EXPECT_EQ(0, run_in_child([] {
    open_database("abort", true);
    EXPECT_EQ(1UL, term_table.size());
    EXPECT_TRUE(database.have_document_profile("kept"));
    EXPECT_FALSE(database.have_document_profile("lost"));
  }));
}

// Version v of a model of two classes whose ids swap from one version to
// the next; each class's profile tells its name and the version.
void enter_model_version(int64_t v) {
  class_table.clear();
  class_table.enter_class("model", 0);
  for (const char *name : v % 2 == 0 ? std::vector<const char *>{"a", "b"}
                                     : std::vector<const char *>{"b", "a"}) {
    ClassData &data = class_table.get_data(class_table.enter_class(name, 0));
    data.sum_freq = static_cast<uint64_t>(v);
    data.profile.features[name[0] == 'a' ? 100 : 200].term_freq = static_cast<uint32_t>(v);
  }
}

// A fresh data directory that earlier runs used, holding version 0.
void save_first_model(const std::string &directory) {
  fresh_directory(directory);
  ASSERT_EQ(0, run_in_child([&] {
    open_database(directory);
    enter_model_version(0);
    database.write(true);
  }));
  std::ofstream(directory + "/atoms.dat");
}

// The version of the stored model, or -1 when its classes disagree.
int64_t stored_model_version() {
  int64_t versions[2];
  for (uint32_t id = 1; id <= 2; ++id) {
    const ClassData &data = class_table.get_data(id);
    uint32_t mark = class_table.get_name(id) == "a" ? 100 : 200;
    const FeatureInfo *info = data.profile.get_feature(mark);
    if (info == nullptr || info->term_freq != data.sum_freq) return -1;
    versions[id - 1] = static_cast<int64_t>(data.sum_freq);
  }
  return versions[0] == versions[1] ? versions[0] : -1;
}

// A save that fails keeps the previous model whole and leaves no temporary
// file of its own; a link planted at a temporary name is not written through.
TEST(DataBaseTest, AFailedSaveKeepsThePreviousModel) {
  save_first_model("full");
  ASSERT_EQ(0, symlink("../victim", "full/class1.cpw.tmp"));
  std::ofstream("victim") << "mine";
  EXPECT_EXIT(
      {
        open_database("full");
        enter_model_version(1);
        failing_fsyncs = 2;
        database.write(true);
      },
      testing::ExitedWithCode(ENOSPC), "error writing file `full/class");
  EXPECT_EQ("mine", file_text("victim"));
  EXPECT_EQ(0, run_in_child([] {
    open_database("full", true, true);
    EXPECT_EQ(0, stored_model_version());
  }));
}

// Saves of models whose class ids differ are killed at random moments: the
// next run reads one whole model, the last saved or the one after it, and a
// file that belongs to no stored model is an error naming it.
TEST(DataBaseTest, KilledSavesLeaveOneWholeModel) {
  save_first_model("crash");
  std::mt19937 random(6);
  int64_t stored = 0;
  for (int round = 0; round < 100; ++round) {
    int64_t last = kill_after_random_pause(random, stored, [&](int fd) {
      open_database("crash");
      for (int64_t version = stored + 1;; ++version) {
        enter_model_version(version);
        database.write(true);
        report_done(fd, version);
      }
    });
    ASSERT_EQ(0, run_in_child([&] {
      open_database("crash", true, true);
      int64_t version = stored_model_version();
      EXPECT_TRUE(version == last || version == last + 1) << version << " after " << last;
      std::ofstream("crash/version") << version;
    })) << "round " << round;
    std::ifstream("crash/version") >> stored;
  }
  std::ofstream("crash/classes", std::ios::app) << " ";
  EXPECT_EXIT(open_database("crash", true, true), failed_run,
              "file `crash/classes' does not belong to the stored model");
}

// Runs that profile and sync are killed at random moments; each next run must
// open cleanly and find every synced profile with the terms it was made of.
TEST(DataBaseTest, KilledRunsKeepEverySyncedProfileWithItsVocabulary) {
  fresh_directory("killed");
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    auto name_of = [round](int64_t i) {
      return std::to_string(round) + "-" + std::to_string(i);
    };
    int64_t synced = kill_after_random_pause(random, -1, [&](int fd) {
      open_database("killed", true);
      for (int64_t i = 0;; ++i) {
        DocProfile profile = profile_of({"w" + name_of(i), "common"});
        database.enter_document_profile(name_of(i), &profile);
        database.sync();
        report_done(fd, i);
      }
    });
    ASSERT_EQ(0, run_in_child([&] {
      open_database("killed", true);
      for (int64_t i = 0; i <= synced; ++i) {
        ASSERT_TRUE(database.have_document_profile(name_of(i))) << name_of(i);
        EXPECT_EQ(Words({"w" + name_of(i), "common"}), stored_words(name_of(i)));
      }
    })) << "round " << round;
  }
}

}  // namespace
