#include "eval/testing.h"

#include "base/eventlog.h"
#include "eval/scoring.h"
#include "tests/collection_fixture.h"

namespace {

// news with the sons sport (sons football and tennis) and arts, each son
// with half of its father's documents. Under SBC a score is the log
// probability of the class given the document: term 1 speaks for football,
// 2 for tennis, 3 for arts, 1 and 2 for sport, so that a document of one
// term is sport's or arts' with 2/3 or 3/4, football's or tennis's with 2/3
// of that. Every threshold is ln 0.5.
class TestPhase : public CollectionTest {
 protected:
  void SetUp() override {
    CollectionTest::SetUp();
    param.gen.set_algorithm(SBC);
    const struct { const char *name; uint32_t docs; std::vector<uint32_t> terms; } classes[] = {
        {"sport", 2, {1, 2}}, {"sport/football", 1, {1}}, {"sport/tennis", 1, {2}},
        {"arts", 2, {3, 3}}, {"", 4, {1, 2, 3}}};
    for (const auto &entry : classes) {
      uint32_t id = *entry.name ? class_table.enter_on_full_name(entry.name, 0) : 0;
      ClassData &data = class_table.get_data(id);
      data.num_docs = entry.docs;
      data.sum_freq = entry.terms.size();
      for (uint32_t term : entry.terms) ++data.profile.features[term].term_freq;
      if (id != 0) data.profile.set_theta(std::log(0.5));
    }
    fresh_directory("examples");  // no rank file of an earlier run
    const char *argv[] = {"mivo", "examples", nullptr};
    options.parse(2, argv);
  }
};

TEST_F(TestPhase, WritesRankingsAndLogsTheReport) {
  event_log.initialise("testing.log");
  example("t1", "sport/football", {{1, 1}}, false);
  example("t2", "arts", {{3, 1}}, false);
  example("t3", "sport/football", {{2, 1}}, false);  // taken for tennis
  example("t4", "arts", {{9, 1}}, false);            // nothing above its threshold
  class_table.collect_examples();
  // The decisions follow the list, its names and its first line of each.
  std::ofstream("examples/test") << "t3.txt sport/football\nt1 sport/football\nt4.txt arts\n"
                                    "t2.txt arts\nt1.txt sport/football\n";
  test();
  EXPECT_EQ("t3.txt sport/tennis\nt1 sport/football\nt4.txt\nt2.txt arts\n",
            file_text("examples/decisions.dat"));
  param.gen.set_always_decide(true);  // t4 gets its best class all the same
  test();
  EXPECT_NE(std::string::npos, file_text("examples/decisions.dat").find("\nt4.txt arts\n"));
  // Scaled by a negative threshold t: 1 + (score - t) / -t, 2 - log2(1/p).
  std::string ranks = "t1.txt sport:1.415 arts:0.41504\nt2.txt arts:1.585 sport:0\n"
                      "t3.txt sport:1.415 arts:0.41504\nt4.txt sport:1 arts:1\n";
  EXPECT_EQ(ranks, file_text("examples/rank0.dat"));
  std::string log = file_text("testing.log");
  for (const char *line :
       {"testing SBC on `news' with 4 documents...\n",
        "sport/football           1             1             0             2  \n",
        "sport/tennis           0             0             1             3  \n",
        "Total       66.67%        50.00%        57.14%         0.00% \n"})
    EXPECT_NE(std::string::npos, log.find(line)) << line;
  EXPECT_EQ(std::string::npos, log.find("complete"));  // fewer than ten documents

  // Blocks of documents classified in threads: each ranking keeps its place.
  for (int k = 0; k < 600; ++k) {
    std::string name = "u" + std::to_string(1000 + k);
    example(name, k % 3 ? "sport/football" : "arts", {{k % 3 ? 1 : 3, 1}}, false);
    ranks += name + (k % 3 ? ".txt sport:1.415 arts:0.41504\n" : ".txt arts:1.585 sport:0\n");
  }
  class_table.collect_examples();
  EXPECT_EQ(ranks, file_text(test().files.at(0)));
}

TEST_F(TestPhase, ChoosesAboveThresholdsWithinMinranksAndMaxranks) {
  auto classify = [](std::vector<std::pair<const char *, double>> scores) {
    Ranks scored, chosen;
    for (const auto &score : scores) scored.enter(&data(score.first), score.second);
    scored.sortGF();
    DocProfile doc;  // football 1.3561 and tennis -0.64386 when sport is descended into
    doc.enter_term(1, 2);
    FrozenWeights frozen;
    frozen.get_scorer().set_document(doc);
    bool significant = classify_document(frozen.get_scorer(), scored, chosen);
    std::string names = significant ? "+" : "-";
    for (const Ranking &r : chosen) names += class_table.get_name(r.class_data->id) + " ";
    return names;
  };
  class_table.enter_on_full_name("film", 0);
  EXPECT_EQ("-film ", classify({{"arts", 0.4}, {"film", 0.9}}));  // minranks 1
  param.gen.set_maxrank(2);
  param.gen.set_minrank(0);
  EXPECT_EQ("-arts ", classify({{"arts", 1.0}, {"film", NAN}}));
  EXPECT_EQ("+arts football ", classify({{"arts", 4}, {"film", 1.2}, {"sport", 1}}));
  param.gen.set_scaling(false);  // each class's own threshold: arts 0.5, film 5
  data("arts").profile.set_theta(0.5);
  data("film").profile.set_theta(5);
  EXPECT_EQ("-", classify({{"arts", 0.3}, {"film", 4}}));
  // Gated: only into inner classes above their thresholds, or else the best.
  param.gen.set_scaling(true);
  param.gen.set_gated_descent(true);
  param.gen.set_minrank(3);
  class_table.enter_on_full_name("music/rock", 0);
  EXPECT_EQ("+rock ", classify({{"sport", 0.5}, {"music", 2}}));
  EXPECT_EQ("+football arts ", classify({{"sport", 0.6}, {"music", 0.5}, {"arts", 0.4}}));
  // Path means: football's (0.6 + 1.3561) / 2 is below its threshold 1.
  param.gen.set_gated_descent(false);
  param.gen.set_path_mean(true);
  param.gen.set_minrank(0);
  EXPECT_EQ("-", classify({{"sport", 0.6}}));
  EXPECT_EQ("+football ", classify({{"sport", 1.0}}));
}

}  // namespace
