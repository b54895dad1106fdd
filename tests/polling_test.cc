#include "eval/polling.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "driver/eventlog.h"
#include "driver/options.h"
#include "driver/param.h"
#include "driver/utils.h"
#include "intake/analyser.h"
#include "intake/profiling.h"
#include "learn/winnow.h"
#include "model/classtab.h"
#include "store/database.h"
#include "tests/child_run.h"

namespace {

void write_file(const std::string &path, const std::string &text) {
  std::ofstream(path) << text;
}

std::vector<std::string> sorted_lines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

uint32_t term_of(const std::string &document) {
  DocProfile profile;
  database.peek_document_profile(document, profile);
  return profile.get_features().at(0).term;
}

// Both runs start the counting analyser, which logs every document it reads.
void start_run(const char *verbosity) {
  const char *argv[] = {"mivo", verbosity, "examples", nullptr};
  options.parse(3, argv);
  param.gen.set_file_directory("docs");
  analyser.initialise(std::string(getenv("MIVO_SOURCE_DIR")) +
                      "/tests/data/counting_analyser.sh requests.log");
  database.initialise("data");
  database.read(false);
}

// A first run profiles a; the polling run finds a and b (and nothing else) in
// input/in, analyses only b, and ranks both with hand-set SBC weights: sport
// knows a's word, arts b's.
TEST(Polling, RanksTheNewDocumentsIntoTheNextResultFile) {
  for (const char *name : {"docs", "data", "examples", "input"}) fresh_directory(name);
  std::filesystem::create_directory("input/in");
  std::filesystem::remove("requests.log");
  write_file("docs/a.txt", "apple");
  write_file("docs/b.txt", "kiwi");
  for (const char *entry : {"a.txt", "b.txt", ".txt", ".hidden.txt", "notes.TXT"})
    write_file(std::string("input/in/") + entry, "not read from here");

  EXPECT_EQ(0, run_in_child([] {
    start_run("-v");
    profile_document("a");
  }));
  EXPECT_EQ(0, run_in_child([] {
    event_log.initialize("polling.log");
    start_run("-vvvv");
    param.gen.set_algorithm(SBC);
    class_table.enter_class("news", 0);
    ClassData &root = class_table.get_data(0);
    get_or_make_profile("b", root);
    class_table.get_profile(class_table.enter_class("sport", 0)).features[term_of("a")].weight = 0.5;
    class_table.get_profile(class_table.enter_class("arts", 0)).features[term_of("b")].weight = 0.5;
    char name[16];
    set_output_name(name, sizeof name);  // as a test phase before polling would
    classify_documents("input");

    // With maxranks 0 nothing is chosen, and the log line says so.
    param.gen.set_maxrank(0);
    param.gen.set_minrank(0);
    Ranks ranks;
    EXPECT_FALSE(predict_winnow("a", ranks));
    EXPECT_TRUE(ranks.empty());
  }));

  EXPECT_EQ(std::vector<std::string>({"a.txt sport:-0.69315", "b.txt arts:-0.69315"}),
            sorted_lines(file_text("examples/rank1.dat")));
  EXPECT_FALSE(std::filesystem::exists("examples/rank1.tmp"));
  EXPECT_EQ(2u, sorted_lines(file_text("requests.log")).size());
  std::string log = file_text("polling.log");
  for (const char *line : {"polling directory `input/in'\n", "collected input document `b'\n",
                           "writing output to file `examples/rank1.tmp'\n",
                           "renaming output file to `examples/rank1.dat'\n",
                           "classified document `a' in class `none' (not significant)\n"})
    EXPECT_NE(std::string::npos, log.find(line)) << line;
}

TEST(Polling, NothingToPoll) {
  fresh_directory("empty");
  std::filesystem::create_directory("empty/in");
  write_file("empty/in/.txt", "");
  write_file("empty/in/notes.TXT", "");
  classify_documents("empty");
  for (const auto &entry : std::filesystem::directory_iterator("."))
    EXPECT_NE(0u, entry.path().filename().string().find("rank")) << entry.path();
  EXPECT_EXIT(classify_documents("nowhere"), [](int status) { return WIFEXITED(status) && WEXITSTATUS(status); },
              "ERROR: cannot find directory `nowhere/in'");
}

}  // namespace
