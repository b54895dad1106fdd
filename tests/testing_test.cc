#include "eval/testing.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "driver/eventlog.h"
#include "eval/confus.h"
#include "tests/collection_fixture.h"

namespace {

bool failed_run(int status) { return WIFEXITED(status) && WEXITSTATUS(status) != 0; }

std::string read_file(const std::string &name) {
  std::ifstream in(name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The log of this test program, opened once.
std::string log_text() {
  static bool opened = false;
  if (!opened) event_log.initialize("testing.log");
  opened = true;
  return read_file("testing.log");
}

void use_examples_directory(const char *directory) {
  std::filesystem::create_directory(directory);
  options = Options();
  const char *argv[] = {"mivo", directory, nullptr};
  options.parse(2, argv);
}

// news with the sons sport (sons football and tennis) and arts. Under SBC a
// score is the product of the weights of the document's terms, 0.01 for a
// term the class does not know: term 1 speaks for football, 2 for tennis,
// 3 for arts, and 1 and 2 half for sport. Every threshold is 0.5.
class TestPhase : public CollectionTest {
 protected:
  void SetUp() override {
    CollectionTest::SetUp();
    log_text();
    param.gen.set_algorithm(SBC);
    set_weights("sport/football", {{1, 0.9}});
    set_weights("sport/tennis", {{2, 0.9}});
    set_weights("arts", {{3, 0.9}});
    set_weights("sport", {{1, 0.5}, {2, 0.5}});
  }

  static void set_weights(const std::string &full_name,
                          std::vector<std::pair<uint32_t, double>> weights) {
    ClassData &data = class_table.get_data(class_table.enter_on_full_name(full_name, 0));
    for (const auto &weight : weights) data.profile.features[weight.first].weight = weight.second;
    data.profile.set_theta(0.5);
  }
};

TEST_F(TestPhase, WritesRankingsAndLogsTheReport) {
  use_examples_directory("examples");
  test_doc("t1", "sport/football", {{1, 1}});
  test_doc("t2", "arts", {{3, 1}});
  test_doc("t3", "sport/football", {{2, 1}});  // taken for tennis
  test_doc("t4", "arts", {{9, 1}, {2, 1}});    // nothing above threshold
  class_table.collect_examples();
  test();

  EXPECT_TRUE(param.gen.multiclass());
  EXPECT_FALSE(std::filesystem::exists("examples/rank0.tmp"));
  EXPECT_EQ("t1.txt sport:1 arts:0.02\n"
            "t2.txt arts:1.8 sport:0.02\n"
            "t3.txt sport:1 arts:0.02\n"
            "t4.txt sport:0.01 arts:0.0002\n",
            read_file("examples/rank0.dat"));
  std::string log = log_text();
  for (const char *line :
       {"testing SBC on `news' with 4 documents...\n",
        "renaming output file to `examples/rank0.dat'\n",
        // Two RS, two RNS and one NRS over four documents: NRNS would be -1.
        "news           2             2             1    0\n",
        "sport/football           1             1             0             2  \n",
        "sport/tennis           0             0             1             3  \n",
        "Total       66.67%        50.00%        57.14%         0.00% \n",
        "sport/football      100.00%        50.00%        66.67%         0.00% \n"})
    EXPECT_NE(std::string::npos, log.find(line)) << line;
  EXPECT_EQ(std::string::npos, log.find("complete"));  // fewer than ten documents
}

TEST_F(TestPhase, ProgressInTenths) {
  use_examples_directory("progress");
  for (int i = 0; i < 25; ++i) test_doc("p" + std::to_string(i), "arts", {{3, 1}});
  class_table.collect_examples();
  test();
  std::string log = log_text();
  EXPECT_NE(std::string::npos, log.find("Testing on <news> 10% complete\n"));
  EXPECT_NE(std::string::npos, log.find("Testing on <news> 120% complete\n"));
}

TEST_F(TestPhase, NoTestDocumentsNoOutput) {
  use_examples_directory("untested");
  test();
  EXPECT_TRUE(std::filesystem::is_empty("untested"));
}

TEST_F(TestPhase, AFailedWriteLeavesNoResultFile) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  std::filesystem::remove_all("full");
  use_examples_directory("full");
  const int names = 20;  // whichever number the output counter has reached
  for (int i = 0; i < names; ++i)
    std::filesystem::create_symlink("/dev/full", "full/rank" + std::to_string(i) + ".tmp");
  test_doc("t1", "arts", {{3, 1}});
  class_table.collect_examples();
  EXPECT_EXIT(test(), failed_run, "error writing file `full/rank[0-9]+.tmp'");
  int left = 0;
  for (const auto &entry : std::filesystem::directory_iterator("full")) {
    EXPECT_EQ(".tmp", entry.path().extension());
    ++left;
  }
  EXPECT_EQ(names - 1, left);
}

// Hand-made scores against the scaled threshold 1.0 (or theta unscaled).
class Decision : public TestPhase {
 protected:
  bool classify(std::vector<std::pair<const char *, double>> scores, Ranks &chosen) {
    Ranks scored;
    for (const auto &score : scores) scored.enter(&data(score.first), score.second);
    scored.sortGF();
    DocProfile doc;
    return classify_document(&class_table.get_data(0), doc, scored, chosen);
  }
  static std::string names(const Ranks &ranks) {
    std::ostringstream os;
    for (const Ranking &r : ranks) os << class_table.get_name(r.class_data->id) << ' ';
    return os.str();
  }
};

TEST_F(Decision, TrimsToMinranksAndMaxranks) {
  class_table.enter_on_full_name("music", 0);
  Ranks chosen;
  EXPECT_FALSE(classify({{"arts", 0.4}, {"music", 0.9}}, chosen));
  EXPECT_EQ("music ", names(chosen));  // minranks 1 keeps the best

  param.gen.set_maxrank(2);
  param.gen.set_minrank(0);
  chosen = Ranks();
  EXPECT_FALSE(classify({{"arts", 1.0}, {"music", NAN}}, chosen));
  EXPECT_EQ("arts ", names(chosen));  // equal stays, no number goes

  chosen = Ranks();
  class_table.enter_on_full_name("film", 0);
  EXPECT_TRUE(classify({{"arts", 3}, {"music", 2}, {"film", 4}}, chosen));
  EXPECT_EQ("film arts ", names(chosen));

  // Unscaled, each class has its own threshold (arts 0.5, film 5).
  param.gen.set_scaling(false);
  data("film").profile.set_theta(5);
  chosen = Ranks();
  EXPECT_FALSE(classify({{"arts", 0.3}, {"film", 4}}, chosen));
  EXPECT_EQ("", names(chosen));
  DocProfile doc;
  EXPECT_DEATH(classify_document(&data("arts"), doc, chosen, chosen),
               "failed assertion `class_data_P->sons.size\\(\\) > 0'");
}

TEST(Scaling, KeepsOrderAndThresholdForAnyTheta) {
  EXPECT_DOUBLE_EQ(2.0, scale_score(1.0, 0.5));
  for (double theta : {-2.0, 0.0, 0.5}) {
    EXPECT_DOUBLE_EQ(1.0, scale_score(theta, theta)) << theta;
    EXPECT_GT(scale_score(theta + 0.1, theta), 1.0) << theta;
    EXPECT_LT(scale_score(theta - 0.1, theta), 1.0) << theta;
    EXPECT_LT(scale_score(-3.0, theta), scale_score(-2.5, theta)) << theta;
  }
}

TEST(Scoring, EachAlgorithmsRule) {
  class_table.clear();
  ClassData &data = class_table.get_data(class_table.enter_class("r", 0));
  data.num_docs = 4;
  data.profile.features[1] = FeatureInfo{0, 1, 0.0, 2.0, 0.5, 0, 0};  // idf ln 4
  data.profile.features[2] = FeatureInfo{0, 4, 0.0, 3.0, 1.0, 0, 0};  // idf 0
  DocProfile doc;
  EXPECT_EQ(0.0, data.profile.predict_score(doc));
  param.gen.set_algorithm(SBC);
  EXPECT_EQ(1.0, data.profile.predict_score(doc));
  doc.enter_term(1, 3);
  doc.enter_term(7, 1);
  doc.enter_term(2, 1);
  doc.set_class_document_strengths(0);
  EXPECT_DOUBLE_EQ(2.0 * 0.01 * 3.0, data.profile.predict_score(doc));
  param.gen.set_algorithm(Rocchio);
  EXPECT_DOUBLE_EQ(2.0 * 3 * std::log(4.0), data.profile.predict_score(doc));
  param.gen.set_algorithm(Winnow);
  EXPECT_DOUBLE_EQ(1.5 * 3 * std::log(4.0), data.profile.predict_score(doc));
  param.win.set_negative_weights(false);
  EXPECT_DOUBLE_EQ(2.0 * 3 * std::log(4.0), data.profile.predict_score(doc));
  EXPECT_EQ(2u, data.profile.features.size());  // scoring adds no term
  param = Param();
  class_table.clear();
}

}  // namespace
